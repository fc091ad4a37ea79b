#pragma once
// Standard error of quorvane-cli: one progress line, redrawn in place, and the core's
// messages. Both go through here so that they never share a line: the progress line is
// cleared before any message is printed.
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/user_prompts.h"

namespace quorvane::cli {

// Shown only when standard error is a terminal, at most ten times a second. Safe to use
// from the loader's and the saver's threads.
class ProgressLine {
public:
    ProgressLine();
    ~ProgressLine() { Clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Standard error is a terminal: Show shows something.
    bool Enabled() const { return enabled_; }
    void Show(const std::string& text);
    void Clear();
    // Clears the line and runs `print` before the line may be shown again.
    void WithLineCleared(const std::function<void()>& print);
    // A line of its own on standard error.
    void PrintMessage(std::string_view line);

private:
    void ClearLocked();

    const bool enabled_;
    std::mutex mutex_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_{};
};

// StderrPrompts that clear the progress line first; questions take the answer of --yes.
class CliPrompts final : public UserPrompts {
public:
    CliPrompts(ProgressLine& progress, PromptAnswer answer) : progress_(progress), prompts_(answer) {}
    void ShowError(std::u16string_view caption, std::u16string_view text) override;
    void ShowInformation(std::u16string_view caption, std::u16string_view text) override;
    bool AskYesNo(std::u16string_view caption, std::u16string_view text) override;
    PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) override;
    unsigned ErrorCount() const { return prompts_.ErrorCount(); }

private:
    ProgressLine& progress_;
    StderrPrompts prompts_;
};

}  // namespace quorvane::cli

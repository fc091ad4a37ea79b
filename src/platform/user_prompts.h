#pragma once
// The message boxes of the program. The core asks through this interface; the desktop
// program shows real boxes, the command-line tool prints to standard error.
#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

namespace quorvane {

enum class PromptAnswer { Yes, No, Cancel };

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // Error icon, OK button.
    virtual void ShowError(std::u16string_view caption, std::u16string_view text) = 0;
    // Information icon, OK button.
    virtual void ShowInformation(std::u16string_view caption, std::u16string_view text) = 0;
    // Question icon, Yes and No.
    virtual bool AskYesNo(std::u16string_view caption, std::u16string_view text) = 0;
    // Question icon, Yes, No and Cancel.
    virtual PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) = 0;
};

// "Quorvane 1.7": the window title and the caption of most message boxes.
std::u16string ProgramTitle();

// Prompts for programs without a window: every box becomes one message on standard
// error, and questions take the answer given when the object was made.
class StderrPrompts final : public UserPrompts {
public:
    explicit StderrPrompts(PromptAnswer answer = PromptAnswer::No) : answer_(answer) {}
    void ShowError(std::u16string_view caption, std::u16string_view text) override;
    void ShowInformation(std::u16string_view caption, std::u16string_view text) override;
    bool AskYesNo(std::u16string_view caption, std::u16string_view text) override;
    PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) override;
    // How many errors were shown: the command-line tool's exit status depends on it.
    unsigned ErrorCount() const { return errors_.load(); }

private:
    PromptAnswer answer_;
    std::atomic<unsigned> errors_{0};
    std::mutex output_;
};

}  // namespace quorvane

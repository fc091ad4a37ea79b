#include "cli/progress_prompts.h"

#include <unistd.h>

#include <cstdio>

namespace quorvane::cli {

ProgressLine::ProgressLine() : enabled_(isatty(STDERR_FILENO) == 1) {}

void ProgressLine::Show(const std::string& text) {
    if (!enabled_) return;
    std::lock_guard lock(mutex_);
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    std::lock_guard lock(mutex_);
    ClearLocked();
}

void ProgressLine::ClearLocked() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    shown_ = false;
}

void ProgressLine::WithLineCleared(const std::function<void()>& print) {
    std::lock_guard lock(mutex_);
    ClearLocked();
    print();
    std::fflush(stderr);
}

void ProgressLine::PrintMessage(std::string_view line) {
    WithLineCleared([line] { std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data()); });
}

void CliPrompts::ShowError(std::u16string_view caption, std::u16string_view text) {
    progress_.WithLineCleared([&] { prompts_.ShowError(caption, text); });
}

void CliPrompts::ShowInformation(std::u16string_view caption, std::u16string_view text) {
    progress_.WithLineCleared([&] { prompts_.ShowInformation(caption, text); });
}

bool CliPrompts::AskYesNo(std::u16string_view caption, std::u16string_view text) {
    bool yes = false;
    progress_.WithLineCleared([&] { yes = prompts_.AskYesNo(caption, text); });
    return yes;
}

PromptAnswer CliPrompts::AskYesNoCancel(std::u16string_view caption, std::u16string_view text) {
    PromptAnswer answer = PromptAnswer::No;
    progress_.WithLineCleared([&] { answer = prompts_.AskYesNoCancel(caption, text); });
    return answer;
}

}  // namespace quorvane::cli

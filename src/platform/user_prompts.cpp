#include "platform/user_prompts.h"

#include <cstdio>

#include "platform/text_codec.h"
#include "quorvane/version.h"

namespace quorvane {

std::u16string ProgramTitle() {
    return U16(std::string(kProgramName) + " " + std::to_string(kVersionMajor) + "." +
               std::to_string(kVersionMinor));
}

namespace {
void PrintLine(std::mutex& m, std::u16string_view text) {
    std::lock_guard lock(m);
    std::string line = U8(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::fprintf(stderr, "%s\n", line.c_str());
}
}  // namespace

void StderrPrompts::ShowError(std::u16string_view, std::u16string_view text) {
    ++errors_;
    PrintLine(output_, text);
}

void StderrPrompts::ShowInformation(std::u16string_view, std::u16string_view text) {
    PrintLine(output_, text);
}

bool StderrPrompts::AskYesNo(std::u16string_view, std::u16string_view text) {
    const bool yes = answer_ == PromptAnswer::Yes;
    PrintLine(output_, std::u16string(text) + (yes ? u" [yes]" : u" [no]"));
    return yes;
}

PromptAnswer StderrPrompts::AskYesNoCancel(std::u16string_view, std::u16string_view text) {
    PrintLine(output_, std::u16string(text) +
                           (answer_ == PromptAnswer::Yes  ? u" [yes]"
                            : answer_ == PromptAnswer::No ? u" [no]"
                                                          : u" [cancel]"));
    return answer_;
}

}  // namespace quorvane

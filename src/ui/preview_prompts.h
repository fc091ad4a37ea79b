#pragma once
// The boxes of a live preview. A preview runs on every change of the text, so a mistake
// in it ("Unrecognized field: x") would show its box again on every key typed after it:
// here a message is shown when it first appears and not again while the following runs
// still raise it. The boxes of a run wait until its preview is shown, so a box never
// stands over the preview of the text before. Questions and other boxes pass straight
// through.
#include <string>
#include <vector>

#include "platform/user_prompts.h"

namespace quorvane::ui {

class PreviewPrompts final : public UserPrompts {
public:
    explicit PreviewPrompts(UserPrompts& prompts) : prompts_(prompts) {}

    // Starts the next run of the preview.
    void NextRun();
    // Shows the new messages of this run.
    void ShowNew();

    void ShowError(std::u16string_view caption, std::u16string_view text) override;
    void ShowInformation(std::u16string_view caption, std::u16string_view text) override {
        prompts_.ShowInformation(caption, text);
    }
    bool AskYesNo(std::u16string_view caption, std::u16string_view text) override {
        return prompts_.AskYesNo(caption, text);
    }
    PromptAnswer AskYesNoCancel(std::u16string_view caption, std::u16string_view text) override {
        return prompts_.AskYesNoCancel(caption, text);
    }

private:
    UserPrompts& prompts_;
    std::vector<std::u16string> previous_;  // the messages of the last run
    std::vector<std::u16string> current_;
    struct Message {
        std::u16string caption;
        std::u16string text;
    };
    std::vector<Message> new_;  // not shown yet
};

}  // namespace quorvane::ui

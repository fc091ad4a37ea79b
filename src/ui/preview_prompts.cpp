#include "ui/preview_prompts.h"

#include <algorithm>

namespace quorvane::ui {

void PreviewPrompts::NextRun() {
    previous_ = std::move(current_);
    current_.clear();
    new_.clear();
}

void PreviewPrompts::ShowError(std::u16string_view caption, std::u16string_view text) {
    const std::u16string message = std::u16string(caption) + u'\n' + std::u16string(text);
    current_.push_back(message);
    if (std::find(previous_.begin(), previous_.end(), message) != previous_.end()) return;
    new_.push_back({std::u16string(caption), std::u16string(text)});
}

void PreviewPrompts::ShowNew() {
    std::vector<Message> messages;
    messages.swap(new_);
    for (const Message& message : messages) prompts_.ShowError(message.caption, message.text);
}

}  // namespace quorvane::ui

#include "operations/completion.h"

#include "platform/text_codec.h"

namespace quorvane {

std::optional<std::u16string> CompletionSource(std::span<const RecordPtr> selection, FrameId id,
                                               std::u16string_view typed) {
    if (typed.empty()) return std::nullopt;
    std::u16string value;
    for (const RecordPtr& record : selection) {
        record->Tag().GetText(id, value);
        if (value.size() >= typed.size() && EqualsIgnoreCase(std::u16string_view(value).substr(0, typed.size()), typed)) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<Completion> InlineCompleter::Complete(std::span<const RecordPtr> selection, FrameId id,
                                                    std::u16string_view text, size_t caret) const {
    if (erasing_ || caret != text.size()) return std::nullopt;
    const std::optional<std::u16string> value = CompletionSource(selection, id, text);
    if (!value || value->size() == text.size()) return std::nullopt;
    Completion completion;
    completion.text = std::u16string(text) + value->substr(text.size());
    completion.selectionStart = text.size();
    completion.selectionEnd = completion.text.size();
    return completion;
}

}  // namespace quorvane

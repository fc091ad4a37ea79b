#include "operations/completion.h"

#include <unordered_set>

#include "platform/text_codec.h"

namespace quorvane {
namespace {

bool BeginsWith(std::u16string_view value, std::u16string_view typed) {
    return value.size() >= typed.size() && EqualsIgnoreCase(value.substr(0, typed.size()), typed);
}

std::optional<Completion> CompletionOf(std::u16string_view text, const std::optional<std::u16string>& value) {
    if (!value || value->size() == text.size()) return std::nullopt;
    Completion completion;
    completion.text = std::u16string(text) + value->substr(text.size());
    completion.selectionStart = text.size();
    completion.selectionEnd = completion.text.size();
    return completion;
}

}  // namespace

std::vector<std::u16string> CompletionValues(std::span<const RecordPtr> selection, FrameId id) {
    std::vector<std::u16string> values;
    std::unordered_set<std::u16string> seen;
    std::u16string value;
    for (const RecordPtr& record : selection) {
        record->Tag().GetText(id, value);
        if (!value.empty() && seen.insert(value).second) values.push_back(value);
    }
    return values;
}

std::optional<std::u16string> FirstCompletion(std::span<const std::u16string> values, std::u16string_view typed) {
    if (typed.empty()) return std::nullopt;
    for (const std::u16string& value : values) {
        if (BeginsWith(value, typed)) return value;
    }
    return std::nullopt;
}

std::optional<Completion> InlineCompleter::Complete(std::span<const std::u16string> values, std::u16string_view text,
                                                    size_t caret) const {
    if (erasing_ || caret != text.size()) return std::nullopt;
    return CompletionOf(text, FirstCompletion(values, text));
}

}  // namespace quorvane

#include "operations/common_value.h"

namespace quorvane {

FieldDisplay CommonField(std::span<const RecordPtr> selection, const FieldReader& read) {
    if (selection.empty()) return {};
    std::u16string candidate = read(*selection.front());
    for (const RecordPtr& record : selection.subspan(1)) {
        if (read(*record) != candidate) return {std::u16string(), DisplayState::Multiple};
    }
    if (candidate.empty()) return {};
    return {std::move(candidate), DisplayState::Value};
}

std::u16string_view PlaceholderText(DisplayState state, bool modified) {
    if (modified) return {};
    switch (state) {
        case DisplayState::Empty: return u"(empty)";
        case DisplayState::Multiple: return u"(multiple)";
        case DisplayState::Value: break;
    }
    return {};
}

}  // namespace quorvane

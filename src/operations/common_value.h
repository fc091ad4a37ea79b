#pragma once
// One value for many files: what a multi-value edit shows for a field over the selection.
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "library/mp3_file_record.h"

namespace quorvane {

enum class DisplayState {
    Value,     // every file holds the same non-empty value; the edit shows it
    Empty,     // every file holds the empty value (or lacks the field): "(empty)"
    Multiple,  // the files disagree: "(multiple)"
};

struct FieldDisplay {
    std::u16string text;  // empty unless the state is Value
    DisplayState state = DisplayState::Empty;
    bool operator==(const FieldDisplay&) const = default;
};

// A field's value in one record; a field the record lacks reads as the empty text.
using FieldReader = std::function<std::u16string(const Mp3FileRecord&)>;

// The field over the selection, compared exactly (case-sensitive). An empty selection
// holds the common empty value.
FieldDisplay CommonField(std::span<const RecordPtr> selection, const FieldReader& read);

// The grey text an edit paints while it is not modified: "(empty)", "(multiple)", or
// nothing for a value (and for any state once the user typed).
std::u16string_view PlaceholderText(DisplayState state, bool modified = false);

}  // namespace quorvane

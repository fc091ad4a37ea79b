#pragma once
// Inline completion of the "General ID3v2" pane's edits: a value of the same field from
// the selected files is offered while the user types.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/mp3_file_record.h"
#include "tags/frame_id.h"

namespace quorvane {

// The distinct non-empty texts of the frame over the selection, in the order first met:
// an edit takes them once per selection instead of reading every record at each key.
std::vector<std::u16string> CompletionValues(std::span<const RecordPtr> selection, FrameId id);

// The first of `values` that begins with `typed`, compared case-insensitively over the
// typed length; none for an empty `typed`.
std::optional<std::u16string> FirstCompletion(std::span<const std::u16string> values, std::u16string_view typed);

// What the edit shows after a completion: the typed characters as typed, then the rest
// of the stored value, which is selected so that typing on overwrites it.
struct Completion {
    std::u16string text;
    size_t selectionStart = 0;
    size_t selectionEnd = 0;
    bool operator==(const Completion&) const = default;
};

// The completion state of one edit.
class InlineCompleter {
public:
    // Every key pressed in the edit: after Backspace or Delete nothing is completed until
    // another key is pressed.
    void KeyPressed(bool eraseKey) { erasing_ = eraseKey; }

    // On a text update by the user (not one that applies a completion): the completed
    // text from the values CompletionValues took, or none. Only a caret at the end of the text is completed; a suffix put in
    // the middle would garble what follows the caret.
    std::optional<Completion> Complete(std::span<const std::u16string> values, std::u16string_view text,
                                       size_t caret) const;

private:
    bool erasing_ = false;
};

}  // namespace quorvane

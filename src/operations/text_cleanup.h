#pragma once
// The text rules of the clean-up tools: capitalizing words, turning underscores into
// blanks, and the "Track #" counter that numbers files in the order they are clicked.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// Raises the first letter of every word and lowers nothing. A word starts at the
// beginning of the text and after a blank (any white space), an underscore or a hyphen
// ("-", U+2010, U+2011); its first character is raised only when it is a lower-case
// letter. Digits, apostrophes and brackets do not start words: "rock'n'roll" gives
// "Rock'n'roll", "(live) version" gives "(live) Version". Raising uses the title-case
// form, so the digraph "ǆ" becomes "ǅ" and Georgian letters stay as they are. The length
// never changes; a frame is worth writing only when the result differs from `text`.
std::u16string Capitalize(std::u16string_view text);

// Every "_" becomes one blank. The result differs from `text` exactly when at least one
// underscore was replaced.
std::u16string ConvertUnderscores(std::u16string_view text);

// The counter behind the "Track #" toggle: pressing it down starts at 1, each newly
// selected row takes the next number while it is down, releasing it stops numbering.
class TrackCounter {
public:
    void Press();
    void Release();
    bool IsDown() const { return down_; }

    // "Track #" while up, "Track N" with the next number while down.
    std::u16string Caption() const;

    // The track text for a newly selected row (decimal, no leading zeros) and one step
    // on; nothing while the toggle is up.
    std::optional<std::u16string> TakeNumber();

private:
    bool down_ = false;
    uint32_t next_ = 1;
};

}  // namespace quorvane

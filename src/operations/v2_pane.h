#pragma once
// The "General ID3v2" pane: what its six fields show for a selection, and its Save.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "operations/common_value.h"
#include "operations/edit_context.h"
#include "tags/frame_id.h"

namespace quorvane {

// The five edits, in the order Save writes them, with the frame behind each.
enum class V2Field { Album, LeadArtist, Year, Title, Track };
inline constexpr V2Field kV2Fields[] = {V2Field::Album, V2Field::LeadArtist, V2Field::Year, V2Field::Title,
                                        V2Field::Track};
FrameId FrameOf(V2Field field);

// The genre combo box: the genre list in index order, free text allowed, no placeholder.
struct GenreDisplay {
    std::u16string text;          // the common genre text; empty when the files disagree
    std::optional<uint32_t> item;  // the list item to select, when the text is a genre name
    bool multiple = false;
    bool operator==(const GenreDisplay&) const = default;
};

struct V2PaneFields {
    FieldDisplay album, leadArtist, year, title, track;
    GenreDisplay genre;
    const FieldDisplay& Of(V2Field field) const;
    FieldDisplay& Of(V2Field field);
};

// Each field over the selection (TCON with "(n)" references resolved for the genre).
V2PaneFields RefreshV2Pane(std::span<const RecordPtr> selection);

// The genre list item whose name is exactly the text, ignoring case; none otherwise, so
// an empty genre selects nothing and "Classic" does not select "Classic Rock".
std::optional<uint32_t> GenreListIndex(std::u16string_view text);

// What the user changed: only modified edits carry a value, so a field shown as
// "(multiple)" and left alone keeps each file's own value.
struct V2Edits {
    std::optional<std::u16string> album, leadArtist, year, title, track;
    std::optional<std::u16string> genre;  // the combo's text, when the genre was changed
    std::optional<std::u16string>& Of(V2Field field);
    const std::optional<std::u16string>& Of(V2Field field) const;
};

// Writes the edited fields into every record of the selection (in memory; the saver
// writes the files) and tells the listener of each file processed. False, with nothing
// changed, when a running save covers any of the records.
bool SaveV2Pane(const EditContext& context, std::span<const RecordPtr> selection, const V2Edits& edits);

}  // namespace quorvane

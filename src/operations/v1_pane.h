#pragma once
// The "ID3v1" pane: what its fields show for a selection, and its Save.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "operations/common_value.h"
#include "operations/edit_context.h"

namespace quorvane {

// The first item of the pane's genre list, before the genre names in index order.
inline constexpr std::u16string_view kUnchangedGenre = u"(unchanged)";
inline constexpr std::u16string_view kV1TrackRange = u"The ID3v1 track must be a number from 0 to 255.";

struct V1PaneFields {
    FieldDisplay title, artist, album, year, comment;
    FieldDisplay track;            // a track of 0 is the empty value
    std::optional<uint8_t> genre;  // the genre every file has; none selects "(unchanged)"
};

V1PaneFields RefreshV1Pane(std::span<const RecordPtr> selection);

// What the user changed: only modified edits carry a value.
struct V1Edits {
    std::optional<std::u16string> title, artist, album, year, comment;
    std::optional<std::u16string> track;  // digits; empty for no track
    std::optional<std::u16string> genre;  // the list's text when the genre was changed
    bool Any() const;
};

// The track a Track edit holds: empty is 0, else a decimal number up to 255. None for
// anything else (256 to 999 included), which the field cannot store.
std::optional<uint8_t> ParseV1Track(std::u16string_view text);

enum class V1SaveResult {
    Saved,
    NothingChanged,  // no edit modified and the genre not changed
    BadTrack,        // the track is above 255: the user was told, nothing was written
    Refused,         // a running save covers the records: the user was told
};

// Writes the edited fields into the ID3v1 record of every file of the selection (texts
// cut to the field widths), keeps its ID3v1 tag even if its removal was requested, and
// tells the listener once. A genre text that is not a genre name ("(unchanged)") writes
// no genre.
V1SaveResult SaveV1Pane(const EditContext& context, std::span<const RecordPtr> selection, const V1Edits& edits);

}  // namespace quorvane

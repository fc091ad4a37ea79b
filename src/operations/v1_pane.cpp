#include "operations/v1_pane.h"

#include <array>

#include "platform/text_codec.h"
#include "tags/id3v1.h"

namespace quorvane {
namespace {

using Member = std::optional<std::u16string> V1Edits::*;
// The edits of the record's strings, by string index.
constexpr std::array<Member, Id3v1Record::kStringCount> kStringEdits = {
    &V1Edits::title, &V1Edits::artist, &V1Edits::album, &V1Edits::year, &V1Edits::comment};

std::u16string TrackText(uint8_t track) { return track ? U16(std::to_string(track)) : std::u16string(); }

// At most `width` characters, never half a surrogate pair.
std::u16string_view CutToWidth(std::u16string_view text, size_t width) {
    if (text.size() <= width) return text;
    text = text.substr(0, width);
    if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.remove_suffix(1);
    return text;
}

}  // namespace

bool V1Edits::Any() const {
    for (const Member member : kStringEdits) {
        if ((this->*member).has_value()) return true;
    }
    return track.has_value() || genre.has_value();
}

V1PaneFields RefreshV1Pane(std::span<const RecordPtr> selection) {
    V1PaneFields fields;
    FieldDisplay* strings[] = {&fields.title, &fields.artist, &fields.album, &fields.year, &fields.comment};
    for (size_t i = 0; i < Id3v1Record::kStringCount; ++i) {
        *strings[i] =
            CommonField(selection, [i](const Mp3FileRecord& record) { return record.Tag().V1().GetString(i); });
    }
    fields.track =
        CommonField(selection, [](const Mp3FileRecord& record) { return TrackText(record.Tag().V1().Track()); });
    if (!selection.empty()) {
        const uint8_t genre = selection.front()->Tag().V1().Genre();
        bool common = genre < kGenreCount;
        for (const RecordPtr& record : selection) common = common && record->Tag().V1().Genre() == genre;
        if (common) fields.genre = genre;
    }
    return fields;
}

std::optional<uint8_t> ParseV1Track(std::u16string_view text) {
    unsigned value = 0;
    for (const char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > 255) return std::nullopt;
    }
    return static_cast<uint8_t>(value);
}

V1SaveResult SaveV1Pane(const EditContext& context, std::span<const RecordPtr> selection, const V1Edits& edits) {
    if (!edits.Any()) return V1SaveResult::NothingChanged;
    std::optional<uint8_t> track;
    if (edits.track) {
        track = ParseV1Track(*edits.track);
        if (!track) {
            context.prompts.ShowError(ProgramTitle(), kV1TrackRange);
            return V1SaveResult::BadTrack;
        }
    }
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return V1SaveResult::Refused;
    bool genreFound = false;
    const uint8_t genre = edits.genre ? GenreIndex(*edits.genre, &genreFound) : Id3v1Record::kNoGenre;
    for (const RecordPtr& record : selection) {
        Id3v1Record& v1 = record->Tag().V1();
        for (size_t i = 0; i < Id3v1Record::kStringCount; ++i) {
            if (const auto& text = edits.*kStringEdits[i]) v1.SetString(i, CutToWidth(*text, Id3v1Record::kWidths[i]));
        }
        if (track) v1.SetTrack(*track);
        record->CancelRemoveV1();
        if (genreFound) v1.SetGenre(genre);
    }
    context.listener.SelectionEdited();
    return V1SaveResult::Saved;
}

}  // namespace quorvane

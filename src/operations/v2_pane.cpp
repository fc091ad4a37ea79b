#include "operations/v2_pane.h"

#include "tags/id3v1.h"

namespace quorvane {

FrameId FrameOf(V2Field field) {
    switch (field) {
        case V2Field::Album: return kFrameTALB;
        case V2Field::LeadArtist: return kFrameTPE1;
        case V2Field::Year: return kFrameTDRC;
        case V2Field::Title: return kFrameTIT2;
        case V2Field::Track: break;
    }
    return kFrameTRCK;
}

namespace {

// The member of a pane struct (fields shown, edits made) that holds a field.
template <class Member, class Fields>
Member& MemberOf(Fields& fields, V2Field field) {
    switch (field) {
        case V2Field::Album: return fields.album;
        case V2Field::LeadArtist: return fields.leadArtist;
        case V2Field::Year: return fields.year;
        case V2Field::Title: return fields.title;
        case V2Field::Track: break;
    }
    return fields.track;
}

}  // namespace

const FieldDisplay& V2PaneFields::Of(V2Field field) const { return MemberOf<const FieldDisplay>(*this, field); }
FieldDisplay& V2PaneFields::Of(V2Field field) { return MemberOf<FieldDisplay>(*this, field); }

const std::optional<std::u16string>& V2Edits::Of(V2Field field) const {
    return MemberOf<const std::optional<std::u16string>>(*this, field);
}
std::optional<std::u16string>& V2Edits::Of(V2Field field) {
    return MemberOf<std::optional<std::u16string>>(*this, field);
}

std::optional<uint32_t> GenreListIndex(std::u16string_view text) {
    bool found = false;
    const uint8_t index = GenreIndex(text, &found);
    if (!found) return std::nullopt;
    return index;
}

V2PaneFields RefreshV2Pane(std::span<const RecordPtr> selection) {
    V2PaneFields fields;
    const FieldDisplay genre =
        CommonField(selection, [](const Mp3FileRecord& record) { return record.Tag().GetGenre(); });
    fields.genre.multiple = genre.state == DisplayState::Multiple;
    fields.genre.text = genre.text;
    fields.genre.item = GenreListIndex(genre.text);
    for (const V2Field field : kV2Fields) {
        const FrameId id = FrameOf(field);
        fields.Of(field) =
            CommonField(selection, [id](const Mp3FileRecord& record) { return record.Tag().GetText(id); });
    }
    return fields;
}

bool SaveV2Pane(const EditContext& context, std::span<const RecordPtr> selection, const V2Edits& edits) {
    if (RefuseWhileSaving(context.gate, selection, context.prompts)) return false;
    for (const RecordPtr& record : selection) {
        Id3Tag& tag = record->Tag();
        for (const V2Field field : kV2Fields) {
            if (const auto& text = edits.Of(field)) tag.SetText(FrameOf(field), *text);
        }
        if (edits.genre) tag.SetText(kFrameTCON, *edits.genre);
        context.listener.FileEdited(record);
    }
    return true;
}

}  // namespace quorvane

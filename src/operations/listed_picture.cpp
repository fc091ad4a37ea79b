#include "operations/listed_picture.h"

#include "library/edit_gate.h"

namespace quorvane {

bool HoldsListedPicture(const Id3Frame& frame, const SharedPicture& picture) {
    if (frame.Id() != kFrameAPIC || PictureTypeOf(frame) != picture.type) return false;
    const AsciiField* mime = frame.Ascii(FieldRole::MimeType);
    const TextField* description = frame.Text(FieldRole::Description);
    const DataField* data = frame.Data(FieldRole::PictureData);
    return mime && description && data && mime->Value() == picture.mimeType &&
           description->Text() == picture.description && data->Data() == picture.bytes;
}

Id3Frame* FindListedPicture(const Id3Tag& tag, const SharedPicture& picture, bool firstFile) {
    size_t position = 0;
    Id3Frame* first = nullptr;
    for (Id3Frame* frame = tag.FindFrame(kFrameAPIC); frame; frame = tag.FindFrame(kFrameAPIC, frame), ++position) {
        if (!HoldsListedPicture(*frame, picture)) continue;
        if (!firstFile || position == picture.position) return frame;
        if (!first) first = frame;
    }
    return first;
}

size_t DeleteListedPicture(std::span<const RecordPtr> records, const SharedPicture& picked, const EditGate& gate,
                           UserPrompts& prompts) {
    if (RefuseWhileSaving(gate, records, prompts)) return 0;
    size_t removed = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        Id3Tag& tag = records[i]->Tag();
        if (const Id3Frame* frame = FindListedPicture(tag, picked, i == 0)) {
            tag.RemoveFrame(frame);
            ++removed;
        }
    }
    return removed;
}

}  // namespace quorvane

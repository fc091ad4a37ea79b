#include "operations/shared_pictures.h"

#include <algorithm>

#include "tags/id3_tag.h"

namespace quorvane {
namespace {

bool HoldsEqualPicture(const Id3Tag& tag, const Id3Frame& picture) {
    for (const Id3Frame* frame = tag.FindFrame(kFrameAPIC); frame; frame = tag.FindFrame(kFrameAPIC, frame)) {
        if (frame->Equals(picture)) return true;
    }
    return false;
}

}  // namespace

std::vector<SharedPicture> SharedPictures(std::span<const RecordPtr> records) {
    std::vector<SharedPicture> shared;
    if (records.empty()) return shared;
    const Id3Tag& first = records.front()->Tag();
    size_t position = 0;
    for (const Id3Frame* frame = first.FindFrame(kFrameAPIC); frame; frame = first.FindFrame(kFrameAPIC, frame)) {
        const size_t at = position++;
        const bool everywhere = std::all_of(records.begin() + 1, records.end(), [frame](const RecordPtr& record) {
            return HoldsEqualPicture(record->Tag(), *frame);
        });
        if (!everywhere) continue;
        SharedPicture picture;
        picture.position = at;
        picture.type = PictureTypeOf(*frame);
        if (const AsciiField* mime = frame->Ascii(FieldRole::MimeType)) picture.mimeType = mime->Value();
        picture.format = PictureFormatFromMime(picture.mimeType);
        if (const TextField* text = frame->Text(FieldRole::Description)) picture.description = text->Text();
        if (const DataField* data = frame->Data(FieldRole::PictureData)) picture.bytes = data->Data();
        shared.push_back(std::move(picture));
    }
    return shared;
}

bool AnyHasPicture(std::span<const RecordPtr> records) {
    return std::any_of(records.begin(), records.end(),
                       [](const RecordPtr& record) { return record->Tag().FindFrame(kFrameAPIC) != nullptr; });
}

}  // namespace quorvane

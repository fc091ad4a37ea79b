#include "operations/set_pictures.h"

#include <algorithm>
#include <functional>
#include <vector>

#include "library/edit_gate.h"
#include "operations/listed_picture.h"
#include "platform/user_prompts.h"
#include "tags/id3_tag.h"
#include "tags/id3v2_write_plan.h"

namespace quorvane {
namespace {

// A frame header, and the bytes a compressed, encrypted or grouped frame keeps in front
// of its body (at most 6 in either version).
constexpr uint64_t kFrameOverhead = 10 + 6;

// The larger of UTF-16 with BOM (2n + 2 and a 2-byte terminator) and UTF-8 (3n and a
// 1-byte terminator); the code page takes at most n.
uint64_t TextBound(size_t units) { return std::max<uint64_t>(2 * uint64_t{units} + 4, 3 * uint64_t{units} + 1); }

uint64_t FrameBound(const Id3Frame& frame) {
    static const RenderContext kContexts[] = {{1, true}, {3, true}};
    uint64_t size = kFrameOverhead;
    for (size_t i = 0; i < frame.FieldCount(); ++i) {
        uint64_t most = 0;
        for (const RenderContext& context : kContexts) most = std::max<uint64_t>(most, frame.FieldAt(i).RenderedSize(context));
        size += most;
    }
    return size;
}

std::u16string DescriptionOf(const Id3Frame* frame) {
    const TextField* text = frame ? frame->Text(FieldRole::Description) : nullptr;
    return text ? text->Text() : std::u16string();
}

std::u16string TooLargeText(const Mp3FileRecord& record) {
    return u"The picture does not fit into the ID3v2 tag of \"" + record.FullPath() +
           u"\": a tag holds at most 256 MB.";
}

}  // namespace

std::u16string CutPictureDescription(std::u16string_view typed) {
    if (typed.size() <= kPictureDescriptionLimit) return std::u16string(typed);
    size_t length = kPictureDescriptionLimit;
    const char16_t last = typed[length - 1];
    if (last >= 0xD800 && last <= 0xDBFF) --length;  // a lead surrogate whose pair would be cut
    return std::u16string(typed.substr(0, length));
}

uint64_t FramesSizeBound(const Id3Tag& tag) {
    uint64_t size = 0;
    for (const auto& frame : tag.Frames()) size += FrameBound(*frame);
    return size;
}

bool PictureFitsIntoTag(const Id3Tag& tag, uint8_t type, PictureFormat format, uint64_t imageSize,
                        size_t descriptionLength) {
    return PictureFitsInPlaceOf(tag, tag.FindPicture(type), format, imageSize, descriptionLength);
}

bool PictureFitsInPlaceOf(const Id3Tag& tag, const Id3Frame* old, PictureFormat format, uint64_t imageSize,
                          size_t descriptionLength) {
    const uint64_t others = FramesSizeBound(tag) - (old ? FrameBound(*old) : 0);
    // Encoding byte, MIME type and its terminator, type byte, description, image.
    const uint64_t picture =
        kFrameOverhead + 1 + PictureMimeType(format).size() + 1 + 1 + TextBound(descriptionLength) + imageSize;
    // Padding adds at most one block.
    return others + picture + kV2PaddingBlock <= kV2MaxTagSize;
}

namespace {

// The frame of each file a change goes into; null when the file has none (a new image
// then adds one).
using TargetFrame = std::function<Id3Frame*(const Id3Tag& tag, size_t index)>;

void ChangeFrame(Id3Frame& frame, uint8_t type, std::u16string_view description, const ImageFile* image) {
    if (image) {
        if (AsciiField* mime = frame.Ascii(FieldRole::MimeType)) mime->SetValue(PictureMimeType(image->format));
        if (DataField* data = frame.Data(FieldRole::PictureData)) data->SetData(image->bytes);
    }
    if (TextField* text = frame.Text(FieldRole::Description)) text->SetText(description);
    if (DataField* typeByte = frame.Data(FieldRole::PictureType)) typeByte->SetData(std::span<const uint8_t>(&type, 1));
}

bool ApplyChange(std::span<const RecordPtr> records, const PictureChange& change, const EditGate& gate,
                 UserPrompts& prompts, const TargetFrame& target) {
    if (RefuseWhileSaving(gate, records, prompts)) return false;
    const uint8_t type = change.type < kPictureTypeCount ? change.type : 0;
    std::vector<Id3Frame*> frames;
    frames.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) frames.push_back(target(records[i]->Tag(), i));
    // Checked for every file before any changes, so a refusal leaves the selection as it was.
    for (size_t i = 0; change.image && i < records.size(); ++i) {
        const std::u16string description = change.description.value_or(DescriptionOf(frames[i]));
        if (!PictureFitsInPlaceOf(records[i]->Tag(), frames[i], change.image->format, change.image->bytes.size(),
                                  description.size())) {
            prompts.ShowError(ProgramTitle(), TooLargeText(*records[i]));
            return false;
        }
    }
    for (size_t i = 0; i < records.size(); ++i) {
        const std::u16string description = change.description.value_or(DescriptionOf(frames[i]));
        if (frames[i]) {
            ChangeFrame(*frames[i], type, description, change.image);
        } else if (change.image) {
            records[i]->Tag().SetPicture(type, PictureMimeType(change.image->format), description,
                                         change.image->bytes);
        }
        // No new image and no picture of the type: the file is left alone.
    }
    return true;
}

}  // namespace

bool SetPictures(std::span<const RecordPtr> records, const PictureChange& change, const EditGate& gate,
                 UserPrompts& prompts) {
    const uint8_t type = change.type < kPictureTypeCount ? change.type : 0;
    return ApplyChange(records, change, gate, prompts,
                       [type](const Id3Tag& tag, size_t) { return tag.FindPicture(type); });
}

bool SetListedPicture(std::span<const RecordPtr> records, const SharedPicture& picked, const PictureChange& change,
                      const EditGate& gate, UserPrompts& prompts) {
    const uint8_t type = change.type < kPictureTypeCount ? change.type : 0;
    return ApplyChange(records, change, gate, prompts, [&picked, type](const Id3Tag& tag, size_t index) {
        Id3Frame* frame = FindListedPicture(tag, picked, index == 0);
        return frame ? frame : tag.FindPicture(type);
    });
}

}  // namespace quorvane

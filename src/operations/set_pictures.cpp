#include "operations/set_pictures.h"

#include <algorithm>

#include "library/edit_gate.h"
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
    const Id3Frame* old = tag.FindPicture(type);
    const uint64_t others = FramesSizeBound(tag) - (old ? FrameBound(*old) : 0);
    // Encoding byte, MIME type and its terminator, type byte, description, image.
    const uint64_t picture =
        kFrameOverhead + 1 + PictureMimeType(format).size() + 1 + 1 + TextBound(descriptionLength) + imageSize;
    // Padding adds at most one block.
    return others + picture + kV2PaddingBlock <= kV2MaxTagSize;
}

bool SetPictures(std::span<const RecordPtr> records, const PictureChange& change, const EditGate& gate,
                 UserPrompts& prompts) {
    if (RefuseWhileSaving(gate, records, prompts)) return false;
    const uint8_t type = change.type < kPictureTypeCount ? change.type : 0;
    // Checked for every file before any changes, so a refusal leaves the selection as it was.
    for (const RecordPtr& record : change.image ? records : std::span<const RecordPtr>()) {
        const Id3Tag& tag = record->Tag();
        const std::u16string description = change.description.value_or(DescriptionOf(tag.FindPicture(type)));
        if (!PictureFitsIntoTag(tag, type, change.image->format, change.image->bytes.size(), description.size())) {
            prompts.ShowError(ProgramTitle(), TooLargeText(*record));
            return false;
        }
    }
    for (const RecordPtr& record : records) {
        Id3Tag& tag = record->Tag();
        Id3Frame* frame = tag.FindPicture(type);
        const std::u16string description = change.description.value_or(DescriptionOf(frame));
        if (change.image) {
            tag.SetPicture(type, PictureMimeType(change.image->format), description, change.image->bytes);
            continue;
        }
        // No new image: the file keeps its picture's bytes and MIME type, and a file
        // without a picture of this type is left alone.
        if (!frame) continue;
        if (TextField* text = frame->Text(FieldRole::Description)) text->SetText(description);
        if (DataField* typeByte = frame->Data(FieldRole::PictureType)) typeByte->SetData(std::span<const uint8_t>(&type, 1));
    }
    return true;
}

}  // namespace quorvane

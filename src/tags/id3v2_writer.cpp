#include "tags/id3v2_writer.h"

#include "tags/id3_tag.h"
#include "tags/id3v2_header.h"
#include "tags/id3v2_render.h"

namespace quorvane {
namespace {

void RefuseHugeFile(uint64_t fileSize) {
    if (fileSize >= kV2MaxFileSize) throw FileException{kErrorFileTooLarge};
}

}  // namespace

V2WritePlan WriteV2Frames(const std::vector<uint8_t>& frames, BinaryFile& file, std::u16string_view path,
                          const TagWriteOptions& options, std::span<const uint8_t> unread) {
    const uint64_t fileSize = file.GetSize();
    RefuseHugeFile(fileSize);
    const auto oldSpace = OldTagSpace(ReadV2Header(file), fileSize);
    const uint64_t zerosBeforeUnread = unread.empty() ? 0 : kZerosBeforeUnread;
    const V2WritePlan plan = PlanV2Write(oldSpace, frames.size() + zerosBeforeUnread + unread.size(), fileSize,
                                         options.decreasePaddingVal);
    // The size field holds 28 bits; a larger tag cannot be written truthfully.
    if (plan.tagBytes - kV2HeaderSize > kV2MaxTagSize) throw FileException{kErrorFileTooLarge};
    const uint64_t zeros = plan.padding + zerosBeforeUnread;

    if (!plan.MovesAudio() && zeros > kMoveBlock) {
        // A tag kept large by "DecreasePaddingVal": the padding goes from one zeroed block.
        const auto header = FormatV2Header(options.use24, static_cast<uint32_t>(plan.tagBytes - kV2HeaderSize));
        file.Seek(0);
        WriteBytes(file, header.data(), header.size(), options.faults);
        WriteBytes(file, frames.data(), frames.size(), options.faults);
        WriteZeros(file, zeros, options.faults);
        WriteBytes(file, unread.data(), unread.size(), options.faults);
        return plan;
    }
    // One buffer, one write in the common case.
    const std::vector<uint8_t> head = BuildV2TagBytes(frames, options.use24, zeros, unread);
    if (!plan.MovesAudio()) {
        file.Seek(0);
        WriteBytes(file, head.data(), head.size(), options.faults);
        return plan;
    }
    RewriteFile(file, path, head, plan.keepFrom, options.faults);
    return plan;
}

V2Removal RemoveV2Tags(BinaryFile& file, std::u16string_view path, SaveFaults* faults) {
    const uint64_t fileSize = file.GetSize();
    RefuseHugeFile(fileSize);
    V2Removal removal;
    uint64_t end = 0;
    while (removal.tags < kMaxStackedV2Tags && fileSize - end >= kV2HeaderSize) {
        uint8_t bytes[kV2HeaderSize];
        file.Seek(end);
        if (file.Read(bytes, kV2HeaderSize) != kV2HeaderSize) break;
        const auto header = DecodeV2Header(bytes, kV2HeaderSize);
        if (!header) break;
        if (header->Extent() > fileSize - end) {
            removal.overlong = V2Removal::Overlong{end, header->Extent(), fileSize - end};
            break;
        }
        end += header->Extent();
        ++removal.tags;
    }
    if (end == 0) return removal;
    RewriteFile(file, path, {}, end, faults);
    removal.bytes = end;
    return removal;
}

void WriteV2(Id3Tag& tag, BinaryFile& file, std::u16string_view path, const TagWriteOptions& options) {
    if (!tag.IsChanged()) return;
    RefuseHugeFile(file.GetSize());
    const RenderContext context{CurrentEncoding(options.encoding, options.use24), options.use24, options.codePage};
    // The marks are cleared only once the tag is on disk: a save that failed (and left
    // the file as it was) keeps the record unsaved, so the next save tries again.
    WriteV2Frames(RenderFrameBytes(tag, context), file, path, options, tag.UnreadBytes());
    tag.ClearChanged();
}

V2Removal RemoveV2(Id3Tag& tag, BinaryFile& file, std::u16string_view path, const TagWriteOptions& options) {
    const V2Removal removal = RemoveV2Tags(file, path, options.faults);
    tag.ClearChanged();
    return removal;
}

}  // namespace quorvane

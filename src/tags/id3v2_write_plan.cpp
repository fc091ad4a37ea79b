#include "tags/id3v2_write_plan.h"

#include <algorithm>

namespace quorvane {

uint32_t PadFor(uint64_t length) {
    const uint64_t next = (length + kV2PaddingBlock) / kV2PaddingBlock * kV2PaddingBlock;
    return static_cast<uint32_t>(next - length);
}

std::optional<uint64_t> OldTagSpace(const std::optional<V2Header>& header, uint64_t fileSize) {
    // A file of 10 bytes or less holds no tag worth reusing.
    if (!header || fileSize <= kV2HeaderSize) return std::nullopt;
    // The reader takes a header whose size exceeds the file for no tag and looks for
    // audio from offset 0; overwriting those bytes as "tag space" would destroy them.
    if (header->size > fileSize) return std::nullopt;
    uint64_t space = header->size + (header->HasFooter() ? kV2HeaderSize : 0);
    // A tag cut off by the end of the file offers only what is there.
    if (kV2HeaderSize + space > fileSize) space = fileSize - kV2HeaderSize;
    return space;
}

V2WritePlan PlanV2Write(std::optional<uint64_t> oldSpace, uint64_t framesLength, uint64_t fileSize,
                        uint32_t decreasePaddingVal) {
    const uint64_t L = framesLength;
    const uint64_t F = fileSize;
    V2WritePlan plan;
    if (!oldSpace) {
        plan.kind = V2WriteKind::Insert;
        plan.padding = PadFor(L + F + kV2HeaderSize);
        plan.keepFrom = 0;
        plan.shiftStart = 0;
        plan.shiftDistance = L + plan.padding + kV2HeaderSize;
    } else if (const uint64_t old = *oldSpace; old < L) {
        plan.kind = V2WriteKind::Grow;
        plan.padding = PadFor(L + F - old);
        plan.keepFrom = old + kV2HeaderSize;
        plan.shiftStart = old + kV2HeaderSize;
        plan.shiftDistance = L + plan.padding - old;
    } else {
        // The file length if the tag shrank to its frames.
        const uint64_t shrunk = F + L - old;
        const uint64_t ideal = L + PadFor(shrunk);
        plan.keepFrom = old + kV2HeaderSize;
        if (old <= ideal || old - ideal < decreasePaddingVal) {
            plan.kind = V2WriteKind::InPlace;
            plan.padding = old - L;
        } else {
            plan.kind = V2WriteKind::Cut;
            plan.padding = ideal - L;
            plan.cutCount = old - ideal;
        }
    }
    plan.tagBytes = kV2HeaderSize + L + plan.padding;
    plan.newLength = plan.tagBytes + (F > plan.keepFrom ? F - plan.keepFrom : 0);
    return plan;
}

std::vector<uint8_t> BuildV2TagBytes(const std::vector<uint8_t>& frames, bool use24, uint64_t padding,
                                     std::span<const uint8_t> unread) {
    const uint64_t size = frames.size() + padding + unread.size();
    const auto header = FormatV2Header(use24, static_cast<uint32_t>(size));
    std::vector<uint8_t> bytes(kV2HeaderSize + size, 0);
    std::copy(header.begin(), header.end(), bytes.begin());
    std::copy(frames.begin(), frames.end(), bytes.begin() + kV2HeaderSize);
    std::copy(unread.begin(), unread.end(), bytes.end() - static_cast<long>(unread.size()));
    return bytes;
}

}  // namespace quorvane

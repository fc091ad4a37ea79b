#pragma once
// Where a new ID3v2 tag goes and how much padding it gets: pure arithmetic, no file.
//
// The padding makes the file's new length the next multiple of 4096 above what the tag
// without padding would give. A tag that fits into the old tag's space is written over
// it; surplus padding is cut out only when it reaches "DecreasePaddingVal".
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "tags/id3v2_header.h"

namespace quorvane {

// The padding target: file lengths become multiples of this.
inline constexpr uint32_t kV2PaddingBlock = 4096;
// The largest value a syncsafe size field holds (28 bits).
inline constexpr uint64_t kV2MaxTagSize = (uint64_t{1} << 28) - 1;

// Padding for a file that would be `length` bytes long without it: 1..4096 bytes, so
// that the padded length is the next multiple of 4096 above `length` (4096 when
// `length` already is one).
uint32_t PadFor(uint64_t length);

enum class V2WriteKind {
    Insert,   // no tag before: everything moves up
    Grow,     // the old tag is too small: the audio moves up
    InPlace,  // the new tag takes exactly the old tag's space; nothing else changes
    Cut,      // the old tag's surplus padding is taken out: the audio moves down
};

// The space an old tag offers for reuse: its size field, plus the footer's 10 bytes
// (a v2.4 footer is overwritten by the new tag). Nothing when the file holds no tag
// that the reader would accept.
std::optional<uint64_t> OldTagSpace(const std::optional<V2Header>& header, uint64_t fileSize);

struct V2WritePlan {
    V2WriteKind kind = V2WriteKind::Insert;
    uint64_t padding = 0;    // P: zero bytes after the frames
    uint64_t tagBytes = 0;   // 10 + frames + P: the bytes written at offset 0
    uint64_t keepFrom = 0;   // offset in the old file where the kept bytes (the audio) begin
    uint64_t newLength = 0;  // the file's length afterwards
    // The in-place moves that give the same result (moving the audio towards the end
    // by shiftDistance from shiftStart, or cutting cutCount bytes off the front).
    uint64_t shiftStart = 0;
    uint64_t shiftDistance = 0;
    uint64_t cutCount = 0;
    bool MovesAudio() const { return kind != V2WriteKind::InPlace; }
};

// Decides where a frames area of `framesLength` bytes goes in a file of `fileSize`
// bytes whose old tag offers `oldSpace` bytes (nothing: no tag). `oldSpace` must not
// reach beyond the file (OldTagSpace guarantees that).
V2WritePlan PlanV2Write(std::optional<uint64_t> oldSpace, uint64_t framesLength, uint64_t fileSize,
                        uint32_t decreasePaddingVal);

// Bytes the reader could not read are written back at the end of the tag, behind the
// padding, with at least a frame header's worth of zeros before them: every reader ends
// its frame list at the padding and never takes them for frames.
inline constexpr uint32_t kZerosBeforeUnread = 10;

// The bytes written at offset 0: header, frames, `padding` zero bytes, then `unread`.
std::vector<uint8_t> BuildV2TagBytes(const std::vector<uint8_t>& frames, bool use24, uint64_t padding,
                                     std::span<const uint8_t> unread = {});

}  // namespace quorvane

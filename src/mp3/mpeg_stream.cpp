#include "mp3/mpeg_stream.h"

#include <array>
#include <cstring>
#include <limits>

#include "platform/binary_file.h"

namespace quorvane {
namespace {

// The search reads blocks of this size and tests every byte offset in them.
constexpr uint32_t kBlockSize = 32768;
// The first read is smaller: the first frame almost always starts right at the audio
// start, and a listing of thousands of files should not copy 32 KiB per file. This
// gives the same result as reading 32768-byte blocks from the start: the search tests
// every 4-byte window from the start position in order and stops at the first that
// passes, and carrying the last three bytes of each read into the next one means that
// every window is tested exactly once, whatever the sizes of the reads.
constexpr uint32_t kFirstReadSize = 1024;
// A header starting in the last three bytes of a read is completed by the next read.
constexpr uint32_t kCarry = 3;

// Side information between the frame header and a Xing header (MPEG-1).
constexpr uint32_t kSideInfoTwoChannels = 32;
constexpr uint32_t kSideInfoSingleChannel = 17;
// The Xing header as far as it is read: tag, flags, frame count, byte count.
constexpr uint32_t kXingBytes = 16;

constexpr uint32_t kXingFramesPresent = 0x1;  // Xing flag: frame count follows
constexpr uint32_t kXingBytesPresent = 0x2;   // Xing flag: byte count follows

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint32_t Version(uint32_t h) { return (h >> 19) & 0x3; }          // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
uint32_t Layer(uint32_t h) { return (h >> 17) & 0x3; }            // 1 Layer III, 2 II, 3 I
uint32_t BitrateIndex(uint32_t h) { return (h >> 12) & 0xF; }
uint32_t SampleRateIndex(uint32_t h) { return (h >> 10) & 0x3; }
uint32_t ChannelMode(uint32_t h) { return (h >> 6) & 0x3; }       // 3 single channel
uint32_t Emphasis(uint32_t h) { return h & 0x3; }

// Offset of the first window of `data` that holds a frame header, or `size` when none.
size_t ScanForHeader(const uint8_t* data, size_t size) {
    if (size < 4) return size;
    const uint8_t* p = data;
    const uint8_t* const last = data + size - 4;
    while (p <= last) {
        // Every header starts with 0xFF (the first eight sync bits).
        p = static_cast<const uint8_t*>(std::memchr(p, 0xFF, static_cast<size_t>(last - p) + 1));
        if (p == nullptr) break;
        if (IsFrameHeader(BigEndian32(p))) return static_cast<size_t>(p - data);
        ++p;
    }
    return size;
}

struct FoundHeader {
    uint32_t header = 0;
    uint64_t next = 0;            // file offset just behind the header's four bytes
    const uint8_t* tail = nullptr;  // the bytes behind the header that the read brought in
    uint32_t tailSize = 0;
    bool tailReachesEnd = false;  // the read stopped at the end of the file
};

using Block = std::array<uint8_t, kBlockSize>;

// The frame search from `start`, the file's current position. The file is left
// wherever the last read ended.
bool SearchHeader(BinaryFile& file, uint64_t start, Block& block, FoundHeader& found) {
    uint64_t blockStart = start;
    uint32_t carried = 0;
    uint32_t want = kFirstReadSize;
    for (;;) {
        const uint32_t got = file.Read(block.data() + carried, want);
        const uint32_t size = carried + got;
        if (size < 4) return false;
        const size_t offset = ScanForHeader(block.data(), size);
        const bool atEnd = got < want;
        if (offset < size) {
            found.header = BigEndian32(block.data() + offset);
            found.next = blockStart + offset + 4;
            found.tail = block.data() + offset + 4;
            found.tailSize = size - static_cast<uint32_t>(offset) - 4;
            found.tailReachesEnd = atEnd;
            return true;
        }
        // The next read would bring only the three carried bytes back.
        if (atEnd) return false;
        std::memmove(block.data(), block.data() + size - kCarry, kCarry);
        blockStart += size - kCarry;
        carried = kCarry;
        want = kBlockSize - kCarry;
    }
}

// Bitrate from a Xing/Info header's counts: the sample rate times the mean frame
// length, over 144000 (1152 samples per frame, 8 bits, kbit), in double and in this
// order, truncated.
uint16_t XingBitrate(uint32_t header, uint32_t frames, uint32_t bytes) {
    if (frames == 0) return 0;
    static constexpr double kPerKilobit = 1.0 / 144000;
    const double rate =
        (static_cast<double>(FrameSampleRate(header)) * (static_cast<double>(bytes) / static_cast<double>(frames))) *
        kPerKilobit;
    // A rate beyond 16 bits comes only from a broken header: unknown rather than wrapped.
    if (!(rate < 65536.0)) return 0;
    return static_cast<uint16_t>(rate);
}

}  // namespace

bool IsFrameHeader(uint32_t h) {
    return (h & 0xFFE0'0000u) == 0xFFE0'0000u  // eleven sync bits
           && Version(h) != 1                    // reserved version
           && Layer(h) != 0                      // reserved layer
           && BitrateIndex(h) != 0               // free format
           && BitrateIndex(h) != 15              // bad bitrate
           && SampleRateIndex(h) != 3            // reserved sample rate
           && Emphasis(h) != 2;                  // reserved emphasis
}

bool FindFrameHeader(BinaryFile& file, uint32_t& header) {
    Block block;
    FoundHeader found;
    if (!SearchHeader(file, file.GetPosition(), block, found)) return false;
    file.Seek(found.next);
    header = found.header;
    return true;
}

MpegStreamInfo ReadStreamInfo(BinaryFile& file, uint64_t audioStart) {
    MpegStreamInfo info;
    file.Seek(audioStart);
    Block block;
    FoundHeader found;
    if (!SearchHeader(file, audioStart, block, found)) return info;
    const uint32_t h = found.header;
    if (Version(h) != 3 || Layer(h) != 1) return info;  // only MPEG-1 Layer III
    info.bitrate = static_cast<uint16_t>(FrameBitrate(h));

    // The side information is taken as directly behind the header; a CRC announced by
    // the protection bit is not allowed for.
    const uint32_t sideInfo = ChannelMode(h) == 3 ? kSideInfoSingleChannel : kSideInfoTwoChannels;
    const uint32_t needed = sideInfo + kXingBytes;
    // The bytes behind the header, from the search's own read when it brought them in.
    uint8_t behind[kSideInfoTwoChannels + kXingBytes] = {};
    uint32_t have;
    if (found.tailSize >= needed || found.tailReachesEnd) {
        have = found.tailSize < needed ? found.tailSize : needed;
        std::memcpy(behind, found.tail, have);
    } else {
        file.Seek(found.next);
        have = file.Read(behind, needed);
    }
    if (have < sideInfo + 4) return info;
    const uint8_t* xing = behind + sideInfo;
    const uint32_t xingSize = have - sideInfo;
    if (std::memcmp(xing, "Xing", 4) != 0 && std::memcmp(xing, "Info", 4) != 0) return info;

    // Fields follow one another as the flags say; one cut off by the end of the file
    // counts as absent.
    uint32_t at = 4;
    auto next = [&](uint32_t& value) {
        if (xingSize - at < 4) return false;
        value = BigEndian32(xing + at);
        at += 4;
        return true;
    };
    uint32_t flags = 0;
    uint32_t frames = 0;
    uint32_t bytes = 0;
    bool haveFrames = false;
    bool haveBytes = false;
    if (next(flags)) {
        if (flags & kXingFramesPresent) haveFrames = next(frames);
        if (flags & kXingBytesPresent) haveBytes = next(bytes);
    }
    info.bitrate = haveFrames && haveBytes ? XingBitrate(h, frames, bytes) : 0;
    info.vbr = true;  // "Info" (lame's CBR mark) counts as well
    return info;
}

uint32_t FrameSampleRate(uint32_t header) {
    static constexpr uint32_t kRates[4] = {44100, 48000, 32000, 0};
    return kRates[SampleRateIndex(header)];
}

uint32_t FrameBitrate(uint32_t header) {
    static constexpr uint32_t kRates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    return kRates[BitrateIndex(header)];
}

uint32_t StreamDuration(uint64_t fileSize, uint16_t bitrate) {
    if (bitrate == 0) return 0;
    const uint64_t seconds = fileSize / (uint64_t{bitrate} * 125);
    return seconds > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                          : static_cast<uint32_t>(seconds);
}

}  // namespace quorvane

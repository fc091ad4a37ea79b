#include "mp3/mpeg_stream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/binary_file.h"
#include "tags/id3v2_header.h"

namespace quorvane {
namespace {

// The search reads blocks of this size and tests every byte offset in them.
constexpr uint32_t kBlockSize = 32768;
// The first read is smaller: the first frame almost always starts right at the audio
// start, and a listing of thousands of files should not copy 32 KiB per file. The frame
// behind it, the encoder header and any stacked tag header are then usually in hand.
constexpr uint32_t kFirstReadSize = 1024;
constexpr uint32_t kHeaderSize = 4;
// A header starting in the last three bytes of a block is completed by the next one.
constexpr uint32_t kCarry = kHeaderSize - 1;

// The bytes at the start of the first frame that an encoder header can occupy.
constexpr uint32_t kEncoderHeaderArea = 64;
constexpr uint32_t kCrcSize = 2;
// Fraunhofer's "VBRI" header: a fixed 32 bytes behind the frame header; tag, version,
// delay, quality (2 bytes each after the tag), byte count, frame count.
constexpr uint32_t kVbriAt = kHeaderSize + 32;
constexpr uint32_t kVbriBytesAt = 10;
constexpr uint32_t kVbriFramesAt = 14;
constexpr uint32_t kVbriSize = 18;
constexpr uint32_t kXingFramesPresent = 0x1;  // Xing flag: frame count follows
constexpr uint32_t kXingBytesPresent = 0x2;   // Xing flag: byte count follows

// Tags at the end of the file.
constexpr uint32_t kTailReadSize = 256;  // ID3v1 and the footer in front of it, in one read
constexpr uint32_t kId3v1Size = 128;
constexpr uint32_t kApeFooterSize = 32;
constexpr uint32_t kApeHasHeader = 0x8000'0000u;     // APE flag: a 32-byte header starts the tag
constexpr uint32_t kLyrics3v2FooterSize = 6 + 9;     // six size digits, "LYRICS200"
constexpr uint32_t kLyrics3BeginSize = 11;           // "LYRICSBEGIN"
constexpr uint32_t kLyrics3v1MaxSize = 11 + 5100 + 9;  // "LYRICSBEGIN", lyrics, "LYRICSEND"
constexpr int kMaxTrailingTags = 4;

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}
uint32_t LittleEndian32(const uint8_t* p) {
    return (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[0]};
}

uint32_t Version(uint32_t h) { return (h >> 19) & 0x3; }  // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
uint32_t Layer(uint32_t h) { return (h >> 17) & 0x3; }    // 1 Layer III, 2 II, 3 I
bool HasCrc(uint32_t h) { return ((h >> 16) & 0x1) == 0; }  // protection bit clear: a CRC follows
uint32_t BitrateIndex(uint32_t h) { return (h >> 12) & 0xF; }
uint32_t SampleRateIndex(uint32_t h) { return (h >> 10) & 0x3; }
uint32_t Padding(uint32_t h) { return (h >> 9) & 0x1; }
uint32_t ChannelModeBits(uint32_t h) { return (h >> 6) & 0x3; }  // 3 single channel
uint32_t Emphasis(uint32_t h) { return h & 0x3; }
// The fields one stream keeps from frame to frame: version, layer, sample rate.
constexpr uint32_t kSameStreamMask = 0x001E'0C00u;

uint32_t LayerNumber(uint32_t h) { return Layer(h) == 0 ? 0 : 4 - Layer(h); }

// kbit/s by [MPEG-1, MPEG-2 and 2.5][layer I, II, III][bitrate index].
constexpr uint16_t kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
};
// Hz by [version field][sample-rate index].
constexpr uint32_t kSampleRates[4][4] = {
    {11025, 12000, 8000, 0},  // MPEG-2.5
    {0, 0, 0, 0},             // reserved
    {22050, 24000, 16000, 0},  // MPEG-2
    {44100, 48000, 32000, 0},  // MPEG-1
};

// Layer III side information: the bytes between the frame header and a Xing header.
uint32_t SideInfoSize(uint32_t h) {
    const bool mono = ChannelModeBits(h) == 3;
    if (Version(h) == 3) return mono ? 17 : 32;
    return mono ? 9 : 17;
}

MpegVersion VersionOf(uint32_t h) {
    switch (Version(h)) {
        case 3: return MpegVersion::Mpeg1;
        case 2: return MpegVersion::Mpeg2;
        case 0: return MpegVersion::Mpeg25;
        default: return MpegVersion::None;
    }
}

uint32_t HeldAt32Bits(uint64_t value) {
    return value > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                        : static_cast<uint32_t>(value);
}

// The file's bytes, read in pieces; the piece in hand serves every request it covers.
class Reader {
public:
    Reader(BinaryFile& file, uint64_t size) : file_(file), size_(size) {}
    uint64_t Size() const { return size_; }

    // Makes the piece the bytes at [at, at + count), cut at the end of the file.
    void Load(uint64_t at, uint32_t count) {
        start_ = at;
        filled_ = 0;
        count = Available(at, std::min(count, kBlockSize));
        if (count == 0) return;
        file_.Seek(at);
        filled_ = file_.Read(block_.data(), count);
    }
    uint64_t Start() const { return start_; }
    uint32_t Filled() const { return filled_; }
    const uint8_t* Data() const { return block_.data(); }

    // Copies the bytes at [at, at + count), cut at the end of the file, into `out`;
    // returns how many there were.
    uint32_t Copy(uint64_t at, uint8_t* out, uint32_t count) {
        count = Available(at, count);
        if (count == 0) return 0;
        if (at >= start_ && at - start_ + count <= filled_) {
            std::memcpy(out, block_.data() + (at - start_), count);
            return count;
        }
        file_.Seek(at);
        return file_.Read(out, count);
    }

private:
    uint32_t Available(uint64_t at, uint32_t count) const {
        return at >= size_ ? 0 : static_cast<uint32_t>(std::min<uint64_t>(count, size_ - at));
    }

    BinaryFile& file_;
    uint64_t size_;
    uint64_t start_ = 0;
    uint32_t filled_ = 0;
    std::array<uint8_t, kBlockSize> block_;  // only `filled_` bytes are valid
};

bool Matches(Reader& reader, uint64_t at, const char* text, uint32_t size) {
    uint8_t bytes[16];
    return size <= sizeof bytes && reader.Copy(at, bytes, size) == size && std::memcmp(bytes, text, size) == 0;
}

// Skips ID3v2 tags stacked at `at` (some taggers put a new tag in front of the old one)
// and the 10-byte footer of a v2.4 tag, which the audio start does not count.
uint64_t SkipStackedTags(Reader& reader, uint64_t at) {
    for (int i = 0; i < kMaxStackedV2Tags; ++i) {
        uint8_t head[kV2HeaderSize];
        if (reader.Copy(at, head, kV2HeaderSize) != kV2HeaderSize) break;
        // v2.4 footer: "3DI", version 4
        if (head[0] == '3' && head[1] == 'D' && head[2] == 'I' && head[3] == 4) {
            at += kV2HeaderSize;
            continue;
        }
        const std::optional<V2Header> tag = DecodeV2Header(head, kV2HeaderSize);
        if (!tag || tag->Extent() > reader.Size() - at) break;
        at += tag->Extent();
    }
    return at;
}

// Lyrics3 v1 has no size: its start is the last "LYRICSBEGIN" in the 5120 bytes before
// its end. Returns that offset, or nothing.
std::optional<uint64_t> Lyrics3v1Start(Reader& reader, uint64_t floor, uint64_t end) {
    std::array<uint8_t, kLyrics3v1MaxSize> bytes;
    const uint32_t span = static_cast<uint32_t>(std::min<uint64_t>(end - floor, kLyrics3v1MaxSize));
    if (span < kLyrics3BeginSize + 9) return std::nullopt;
    const uint64_t from = end - span;
    if (reader.Copy(from, bytes.data(), span) != span) return std::nullopt;
    // "LYRICSBEGIN" ends before "LYRICSEND" begins.
    for (uint32_t i = span - 9 - kLyrics3BeginSize + 1; i-- > 0;) {
        if (std::memcmp(bytes.data() + i, "LYRICSBEGIN", kLyrics3BeginSize) == 0) return from + i;
    }
    return std::nullopt;
}

uint64_t FindAudioEnd(Reader& reader, uint64_t floor) {
    uint64_t end = reader.Size();
    if (floor >= end) return end;
    // The last bytes, where every one of these tags ends, in one read: the ID3v1 reader
    // that comes next in a load finds them in the read-ahead.
    std::array<uint8_t, kTailReadSize> tail;
    const uint32_t tailSize = static_cast<uint32_t>(std::min<uint64_t>(end - floor, kTailReadSize));
    const uint64_t tailStart = end - tailSize;
    const uint32_t tailFilled = reader.Copy(tailStart, tail.data(), tailSize);
    // The bytes at [at, at + size): from the tail when it holds them.
    auto get = [&](uint64_t at, uint8_t* out, uint32_t size) {
        if (at >= tailStart && at - tailStart + size <= tailFilled) {
            std::memcpy(out, tail.data() + (at - tailStart), size);
            return true;
        }
        return reader.Copy(at, out, size) == size;
    };
    auto room = [&] { return end - floor; };

    uint8_t v1[3];
    if (room() >= kId3v1Size && get(end - kId3v1Size, v1, 3) && std::memcmp(v1, "TAG", 3) == 0) end -= kId3v1Size;
    for (int i = 0; i < kMaxTrailingTags; ++i) {
        uint8_t footer[kApeFooterSize];
        if (room() >= kApeFooterSize && get(end - kApeFooterSize, footer, kApeFooterSize) &&
            std::memcmp(footer, "APETAGEX", 8) == 0) {
            // APE footer: version, size (items and footer), item count, flags; little-endian
            const uint32_t size = LittleEndian32(footer + 12);
            const uint32_t flags = LittleEndian32(footer + 20);
            const uint64_t total = uint64_t{size} + ((flags & kApeHasHeader) ? kApeFooterSize : 0);
            if (size < kApeFooterSize || total > room()) break;
            end -= total;
            continue;
        }
        uint8_t lyrics[kLyrics3v2FooterSize];
        if (room() < kLyrics3v2FooterSize || !get(end - kLyrics3v2FooterSize, lyrics, kLyrics3v2FooterSize)) break;
        if (std::memcmp(lyrics + 6, "LYRICS200", 9) == 0) {
            // Lyrics3 v2: six decimal digits, the bytes from "LYRICSBEGIN" up to them
            uint64_t size = 0;
            for (int d = 0; d < 6; ++d) {
                if (lyrics[d] < '0' || lyrics[d] > '9') return end;
                size = size * 10 + (lyrics[d] - '0');
            }
            const uint64_t total = size + kLyrics3v2FooterSize;
            if (size < kLyrics3BeginSize || total > room() || !Matches(reader, end - total, "LYRICSBEGIN", 11))
                break;
            end -= total;
            continue;
        }
        if (std::memcmp(lyrics + 6, "LYRICSEND", 9) == 0) {
            const std::optional<uint64_t> start = Lyrics3v1Start(reader, floor, end);
            if (!start) break;
            end = *start;
            continue;
        }
        break;
    }
    return end;
}

// The end of the audio, looked for once and only when needed: most files have a frame
// count in their first frame and a second frame right behind it.
class LazyAudioEnd {
public:
    LazyAudioEnd(Reader& reader, uint64_t floor) : reader_(reader), floor_(floor) {}
    uint64_t Get() {
        if (!known_) {
            end_ = FindAudioEnd(reader_, floor_);
            known_ = true;
        }
        return end_;
    }

private:
    Reader& reader_;
    uint64_t floor_;
    uint64_t end_ = 0;
    bool known_ = false;
};

// A header counts as the stream's when the next frame's header follows at its frame
// length, or the audio ends exactly there: a lone sync pattern in junk or in a picture
// almost never has a partner at the right distance. `following` gets the next header,
// or 0 when the audio ends.
bool Confirmed(Reader& reader, uint64_t at, uint32_t h, LazyAudioEnd& audioEnd, uint32_t& following) {
    const uint64_t next = at + FrameLength(h);
    const uint64_t size = reader.Size();
    following = 0;
    if (next > size) return false;
    uint8_t bytes[kHeaderSize];
    if (next + kHeaderSize <= size && reader.Copy(next, bytes, kHeaderSize) == kHeaderSize) {
        const uint32_t candidate = BigEndian32(bytes);
        if (IsFrameHeader(candidate) && (candidate & kSameStreamMask) == (h & kSameStreamMask)) {
            following = candidate;
            return true;
        }
    }
    return next == size || next == audioEnd.Get();
}

struct FirstFrame {
    uint64_t offset = 0;
    uint32_t header = 0;
    uint32_t following = 0;  // the second frame's header; 0 when the audio ends first
};

// The first confirmed header that begins within kFrameSearchLimit of `start`.
std::optional<FirstFrame> FindFirstFrame(Reader& reader, uint64_t start, LazyAudioEnd& audioEnd) {
    const uint64_t size = reader.Size();
    if (start >= size) return std::nullopt;
    const uint64_t limit = std::min(size, start + kFrameSearchLimit);
    uint64_t at = start;
    uint32_t want = kFirstReadSize;
    for (;;) {
        if (at >= limit) return std::nullopt;
        // The first block is usually in hand already.
        if (reader.Start() != at || reader.Filled() < std::min<uint64_t>(want, size - at)) reader.Load(at, want);
        const uint32_t filled = reader.Filled();
        if (filled < kHeaderSize) return std::nullopt;
        const uint8_t* const data = reader.Data();
        const uint32_t last = static_cast<uint32_t>(std::min<uint64_t>(filled - kHeaderSize, limit - 1 - at));
        const uint8_t* p = data;
        while (p <= data + last) {
            // Every header starts with 0xFF (the first eight sync bits).
            p = static_cast<const uint8_t*>(std::memchr(p, 0xFF, static_cast<size_t>(data + last + 1 - p)));
            if (p == nullptr) break;
            const uint32_t h = BigEndian32(p);
            const uint64_t offset = at + static_cast<uint64_t>(p - data);
            uint32_t following = 0;
            if (IsFrameHeader(h) && Confirmed(reader, offset, h, audioEnd, following)) {
                return FirstFrame{offset, h, following};
            }
            ++p;
        }
        // A short read is the end of the file.
        if (filled < std::min<uint64_t>(want, size - at) || at + filled >= size) return std::nullopt;
        at += filled - kCarry;
        want = static_cast<uint32_t>(std::min<uint64_t>(kBlockSize, limit - at + kCarry));
    }
}

// What the encoder wrote at the start of the first frame (Layer III only).
struct EncoderHeader {
    VbrHeader kind = VbrHeader::None;
    bool hasFrames = false;
    bool hasBytes = false;
    uint32_t frames = 0;
    uint32_t bytes = 0;
};

EncoderHeader ReadEncoderHeader(Reader& reader, uint64_t frameAt, uint32_t h) {
    EncoderHeader e;
    if (LayerNumber(h) != 3) return e;
    // Fields reaching beyond the frame belong to the next one: absent.
    uint8_t frame[kEncoderHeaderArea];
    const uint32_t have = reader.Copy(frameAt, frame, std::min(FrameLength(h), kEncoderHeaderArea));

    // Xing/Info: behind the side information. With a CRC lame still writes it at the
    // offset a frame without one has (the header claims the CRC's two bytes for itself),
    // and decoders look there; a writer that moved it behind the CRC is understood too.
    uint32_t x = kHeaderSize + SideInfoSize(h);
    auto isXing = [&](uint32_t at) {
        return have >= at + 4 && (std::memcmp(frame + at, "Xing", 4) == 0 || std::memcmp(frame + at, "Info", 4) == 0);
    };
    if (!isXing(x) && HasCrc(h) && isXing(x + kCrcSize)) x += kCrcSize;
    if (isXing(x)) {
        e.kind = frame[x] == 'X' ? VbrHeader::Xing : VbrHeader::Info;
        // Fields follow one another as the flags say; one that is cut off is absent.
        uint32_t at = x + 4;
        auto next = [&](uint32_t& value) {
            if (have - at < 4) return false;
            value = BigEndian32(frame + at);
            at += 4;
            return true;
        };
        uint32_t flags = 0;
        if (next(flags)) {
            if (flags & kXingFramesPresent) e.hasFrames = next(e.frames);
            if (flags & kXingBytesPresent) e.hasBytes = next(e.bytes);
        }
        return e;
    }
    if (have >= kVbriAt + kVbriSize && std::memcmp(frame + kVbriAt, "VBRI", 4) == 0) {
        e.kind = VbrHeader::Vbri;
        e.bytes = BigEndian32(frame + kVbriAt + kVbriBytesAt);
        e.frames = BigEndian32(frame + kVbriAt + kVbriFramesAt);
        e.hasBytes = e.hasFrames = true;
    }
    return e;
}

// The mean bitrate of `bytes` over `frames` frames: the sample rate times the mean frame
// length over the bytes per kbit/s (samples ÷ 8 × 1000: 144000 for MPEG-1 Layer III),
// in double and in this order, truncated.
uint16_t MeanBitrate(uint32_t sampleRate, uint32_t samples, uint64_t bytes, uint32_t frames) {
    if (frames == 0) return 0;
    const double perKilobit = 1.0 / (samples * 125.0);
    const double rate =
        (static_cast<double>(sampleRate) * (static_cast<double>(bytes) / static_cast<double>(frames))) * perKilobit;
    // A rate beyond 16 bits comes only from a broken header: unknown rather than wrapped.
    if (!(rate < 65536.0)) return 0;
    return static_cast<uint16_t>(rate);
}

uint32_t FramesDuration(uint32_t frames, uint32_t samples, uint32_t sampleRate) {
    return HeldAt32Bits(uint64_t{frames} * samples / sampleRate);
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

uint32_t FrameSampleRate(uint32_t header) { return kSampleRates[Version(header)][SampleRateIndex(header)]; }

uint32_t FrameBitrate(uint32_t header) {
    if (Version(header) == 1 || Layer(header) == 0) return 0;
    return kBitrates[Version(header) == 3 ? 0 : 1][LayerNumber(header) - 1][BitrateIndex(header)];
}

uint32_t FrameSamples(uint32_t header) {
    switch (LayerNumber(header)) {
        case 1: return 384;
        case 2: return 1152;
        case 3: return Version(header) == 3 ? 1152 : 576;
        default: return 0;
    }
}

uint32_t FrameLength(uint32_t header) {
    const uint32_t sampleRate = FrameSampleRate(header);
    const uint32_t bitsPerSecond = FrameBitrate(header) * 1000;
    if (sampleRate == 0 || bitsPerSecond == 0) return 0;
    // Layer I counts in slots of 4 bytes: 384 samples are 12 slots of 32 bits.
    if (LayerNumber(header) == 1) return (12 * bitsPerSecond / sampleRate + Padding(header)) * 4;
    return FrameSamples(header) / 8 * bitsPerSecond / sampleRate + Padding(header);
}

MpegStreamInfo ReadStreamInfo(BinaryFile& file, uint64_t audioStart) {
    MpegStreamInfo info;
    Reader reader(file, file.GetSize());
    reader.Load(audioStart, kFirstReadSize);
    const uint64_t start = SkipStackedTags(reader, audioStart);
    LazyAudioEnd audioEnd(reader, start);
    const std::optional<FirstFrame> first = FindFirstFrame(reader, start, audioEnd);
    if (!first) return info;

    const uint32_t h = first->header;
    info.header = h;
    info.firstFrame = first->offset;
    info.version = VersionOf(h);
    info.layer = static_cast<uint8_t>(LayerNumber(h));
    info.sampleRate = FrameSampleRate(h);
    info.channelMode = static_cast<ChannelMode>(ChannelModeBits(h));
    const uint32_t samples = FrameSamples(h);
    auto audioBytes = [&] {
        const uint64_t end = audioEnd.Get();
        return end > first->offset ? end - first->offset : 0;
    };

    const EncoderHeader encoder = ReadEncoderHeader(reader, first->offset, h);
    info.vbrHeader = encoder.kind;
    if (encoder.hasFrames) info.frames = encoder.frames;
    const bool frameCount = encoder.hasFrames && encoder.frames != 0;
    if (encoder.kind == VbrHeader::Xing || encoder.kind == VbrHeader::Vbri) {
        info.vbr = true;
        if (frameCount) {
            info.duration = FramesDuration(encoder.frames, samples, info.sampleRate);
            // A byte count the encoder left out is measured.
            const uint64_t bytes = encoder.hasBytes ? encoder.bytes : audioBytes();
            info.bitrate = MeanBitrate(info.sampleRate, samples, bytes, encoder.frames);
        }
        return info;
    }
    // An "Info" frame carries no audio, and its writer may have given it a bitrate of its
    // own that fits the header (ffmpeg does): the stream's is in the frame behind it.
    const uint32_t audioHeader = encoder.kind == VbrHeader::Info && first->following != 0 ? first->following : h;
    info.bitrate = static_cast<uint16_t>(FrameBitrate(audioHeader));
    info.duration = frameCount ? FramesDuration(encoder.frames, samples, info.sampleRate)
                               : StreamDuration(audioBytes(), info.bitrate);
    return info;
}

uint64_t AudioEnd(BinaryFile& file, uint64_t floor) {
    Reader reader(file, file.GetSize());
    return FindAudioEnd(reader, floor);
}

uint32_t StreamDuration(uint64_t audioBytes, uint16_t bitrate) {
    if (bitrate == 0) return 0;
    return HeldAt32Bits(audioBytes / (uint64_t{bitrate} * 125));
}

}  // namespace quorvane

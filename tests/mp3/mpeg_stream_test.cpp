// The stream analysis over crafted bytes: header fields, the first-frame search, the
// encoder headers, the tags at the end, the duration.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "platform/binary_file.h"
#include "tags/id3v2_header.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;

// Version field: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5. Mode 3 is single channel.
constexpr uint32_t Header(uint32_t version, uint32_t layer, uint32_t bitrateIndex, uint32_t rateIndex,
                          uint32_t mode = 1, bool crc = false, bool padding = false) {
    return 0xFFE0'0000u | version << 19 | (4 - layer) << 17 | uint32_t{!crc} << 16 | bitrateIndex << 12 |
           rateIndex << 10 | uint32_t{padding} << 9 | mode << 6;
}
// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes a frame.
constexpr uint32_t kCbr128 = Header(3, 3, 9, 0);

void Put(Bytes& bytes, size_t at, const void* data, size_t n) {
    if (bytes.size() < at + n) bytes.resize(at + n);
    std::memcpy(bytes.data() + at, data, n);
}
void PutBe32(Bytes& bytes, size_t at, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    Put(bytes, at, b, 4);
}
void PutLe32(Bytes& bytes, size_t at, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    Put(bytes, at, b, 4);
}
void Append(Bytes& bytes, const Bytes& more) { bytes.insert(bytes.end(), more.begin(), more.end()); }
void Append(Bytes& bytes, const std::string& text) { bytes.insert(bytes.end(), text.begin(), text.end()); }
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) Append(all, p);
    return all;
}

// `count` frames of `header`: each the header, then zeros up to its frame length.
Bytes Frames(uint32_t header, size_t count) {
    const size_t length = FrameLength(header);
    Bytes bytes(length * count, 0);
    for (size_t i = 0; i < count; ++i) PutBe32(bytes, i * length, header);
    return bytes;
}

// Bytes without a single 0xFF, so they can hold no header.
Bytes Junk(size_t size, uint32_t seed = 1) {
    std::mt19937 rng(seed);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 0xFF);
    return bytes;
}

// An ID3v2.3 tag of `body` bytes after its header.
Bytes Id3v2(uint32_t body, uint8_t major = 3, uint8_t flags = 0) {
    Bytes tag = {'I', 'D', '3', major, 0, flags, uint8_t((body >> 21) & 0x7F), uint8_t((body >> 14) & 0x7F),
                 uint8_t((body >> 7) & 0x7F), uint8_t(body & 0x7F)};
    tag.resize(10 + body, 0);
    return tag;
}

Bytes Id3v1() {
    Bytes tag(128, ' ');
    std::memcpy(tag.data(), "TAG", 3);
    return tag;
}

// An APEv2 tag of `items` bytes of items: header (when asked), items, footer.
Bytes ApeTag(uint32_t items, bool withHeader, uint32_t sizeField = 0) {
    auto block = [&](bool isHeader) {
        Bytes b(32, 0);
        std::memcpy(b.data(), "APETAGEX", 8);
        PutLe32(b, 8, 2000);
        PutLe32(b, 12, sizeField ? sizeField : items + 32);
        PutLe32(b, 16, 1);
        PutLe32(b, 20, (withHeader ? 0x8000'0000u : 0) | (isHeader ? 0x2000'0000u : 0));
        return b;
    };
    Bytes tag;
    if (withHeader) Append(tag, block(true));
    tag.resize(tag.size() + items, 'a');
    Append(tag, block(false));
    return tag;
}

// A Lyrics3 v2 tag: fields "IND" and "LYR" (5-digit sizes), then the 6-digit size of
// everything from "LYRICSBEGIN" on, `sizeError` added, or the given size text.
Bytes Lyrics3v2(size_t lyrics, int sizeError = 0, const char* sizeText = nullptr) {
    char field[6];
    std::snprintf(field, sizeof field, "%05zu", lyrics);
    Bytes tag;
    Append(tag, std::string("LYRICSBEGIN") + "IND00003110" + "LYR" + field + std::string(lyrics, 'l'));
    char digits[7];
    std::snprintf(digits, sizeof digits, "%06zu", tag.size() + sizeError);
    Append(tag, std::string(sizeText ? sizeText : digits) + "LYRICS200");
    return tag;
}

class StreamFile {
public:
    explicit StreamFile(const Bytes& bytes) : path_(dir_ / "stream.mp3") {
        test::WriteFileBytes(path_, bytes);
        uint32_t error = 0;
        EXPECT_TRUE(file.Open(PathFromNative(path_.native()), OpenMode::Read, error)) << error;
    }
    MpegStreamInfo Info(uint64_t audioStart = 0) { return ReadStreamInfo(file, audioStart); }
    // The same through the read-ahead a load uses.
    MpegStreamInfo LoadingInfo(uint64_t audioStart = 0) {
        BinaryFile loading;
        uint32_t error = 0;
        EXPECT_TRUE(loading.OpenForLoading(PathFromNative(path_.native()), error));
        return ReadStreamInfo(loading, audioStart);
    }
    BinaryFile file;

private:
    TempDir dir_;
    std::filesystem::path path_;
};

// The layout of the header and the tables of the standards, from literal header bytes.
TEST(FrameHeader, FieldsOfEveryVersionAndLayer) {
    struct Case {
        const char* what;
        uint8_t b[4];
        uint32_t sampleRate, kbit, samples, length;
    };
    const Case cases[] = {
        {"MPEG-1 III 128 44.1", {0xFF, 0xFB, 0x90, 0x64}, 44100, 128, 1152, 417},
        {"MPEG-1 III 128 44.1 padded", {0xFF, 0xFB, 0x92, 0x64}, 44100, 128, 1152, 418},
        {"MPEG-1 III with CRC", {0xFF, 0xFA, 0x90, 0x64}, 44100, 128, 1152, 417},
        {"MPEG-1 III 320 32", {0xFF, 0xFB, 0xE8, 0x00}, 32000, 320, 1152, 1440},
        {"MPEG-1 III 32 48", {0xFF, 0xFB, 0x14, 0xC0}, 48000, 32, 1152, 96},
        {"MPEG-1 II 384 32", {0xFF, 0xFD, 0xE8, 0x00}, 32000, 384, 1152, 1728},
        {"MPEG-1 II 32 44.1", {0xFF, 0xFD, 0x10, 0x00}, 44100, 32, 1152, 104},
        {"MPEG-1 I 448 32", {0xFF, 0xFF, 0xE8, 0x00}, 32000, 448, 384, 672},
        {"MPEG-1 I 32 44.1 padded", {0xFF, 0xFF, 0x12, 0x00}, 44100, 32, 384, 36},
        {"MPEG-2 III 64 22.05", {0xFF, 0xF3, 0x80, 0x00}, 22050, 64, 576, 208},
        {"MPEG-2 III 160 16", {0xFF, 0xF3, 0xE8, 0x00}, 16000, 160, 576, 720},
        {"MPEG-2 III 8 24", {0xFF, 0xF3, 0x14, 0x00}, 24000, 8, 576, 24},
        {"MPEG-2 II 160 16", {0xFF, 0xF5, 0xE8, 0x00}, 16000, 160, 1152, 1440},
        {"MPEG-2 I 256 16", {0xFF, 0xF7, 0xE8, 0x00}, 16000, 256, 384, 768},
        {"MPEG-2 I 144 22.05", {0xFF, 0xF7, 0x90, 0x00}, 22050, 144, 384, 312},
        {"MPEG-2.5 III 8 8", {0xFF, 0xE3, 0x18, 0xC0}, 8000, 8, 576, 72},
        {"MPEG-2.5 III 160 11.025 padded", {0xFF, 0xE3, 0xE2, 0x00}, 11025, 160, 576, 1045},
        {"MPEG-2.5 III 64 12", {0xFF, 0xE3, 0x84, 0x00}, 12000, 64, 576, 384},
    };
    for (const Case& c : cases) {
        const uint32_t h = (uint32_t{c.b[0]} << 24) | (uint32_t{c.b[1]} << 16) | (uint32_t{c.b[2]} << 8) | c.b[3];
        ASSERT_TRUE(IsFrameHeader(h)) << c.what;
        EXPECT_EQ(FrameSampleRate(h), c.sampleRate) << c.what;
        EXPECT_EQ(FrameBitrate(h), c.kbit) << c.what;
        EXPECT_EQ(FrameSamples(h), c.samples) << c.what;
        EXPECT_EQ(FrameLength(h), c.length) << c.what;
    }
}

TEST(FrameHeader, ReservedAndUnusableValuesAreRejected) {
    const struct {
        const char* what;
        uint32_t h;
        bool accepted;
    } cases[] = {
        {"ten sync bits only", 0xFFDB9064u, false},
        {"reserved version", 0xFFEB9064u, false},
        {"reserved layer", 0xFFF99064u, false},
        {"free format", 0xFFFB0064u, false},
        {"bitrate index 15", 0xFFFBF064u, false},
        {"sample rate index 3", 0xFFFB9C64u, false},
        {"reserved emphasis", 0xFFFB9066u, false},
        {"emphasis 50/15", 0xFFFB9065u, true},
        {"emphasis CCITT", 0xFFFB9067u, true},
        {"MPEG-2.5 Layer III", 0xFFE39064u, true},
        {"MPEG-1 Layer I with CRC", 0xFFFE1000u, true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsFrameHeader(c.h), c.accepted) << c.what;
}

// Where the first frame is found: a header counts only when its stream goes on.
TEST(ReadStreamInfo, FirstFrameIsTheFirstConfirmedHeader) {
    const uint32_t mpeg2 = Header(2, 3, 8, 0);  // 22050 Hz, 208 bytes
    struct Case {
        const char* what;
        Bytes bytes;
        int64_t first;  // -1: no frame
    };
    // A header whose partner at the right distance is `partner`.
    auto fakePair = [](uint32_t h, uint32_t partner) {
        Bytes b = Frames(h, 1);
        PutBe32(b, b.size(), partner);
        return b;
    };
    const Bytes oneFrame = Frames(kCbr128, 1);
    Bytes fakes = Junk(2048);
    for (size_t at = 7; at + 4 < fakes.size(); at += 301) PutBe32(fakes, at, kCbr128);
    const Case cases[] = {
        {"at the start", Frames(kCbr128, 3), 0},
        {"behind 2 KiB of junk", Join({Junk(2048), Frames(kCbr128, 3)}), 2048},
        {"behind sync words at the wrong distance", Join({fakes, Frames(kCbr128, 3)}), 2048},
        {"partner of another sample rate", Join({fakePair(kCbr128, Header(3, 3, 9, 1)), Frames(mpeg2, 3)}), 421},
        {"partner of another layer", Join({fakePair(kCbr128, Header(3, 2, 9, 0)), Frames(mpeg2, 3)}), 421},
        {"partner of another version", Join({fakePair(kCbr128, Header(2, 3, 9, 0)), Frames(mpeg2, 3)}), 421},
        {"partner with reserved emphasis", Join({fakePair(kCbr128, kCbr128 | 2), Frames(mpeg2, 3)}), 421},
        {"partner of another bitrate and mode", Join({fakePair(kCbr128, Header(3, 3, 14, 0, 3)), Junk(100)}), 0},
        {"padded partner", Join({fakePair(kCbr128, Header(3, 3, 9, 0, 1, false, true)), Junk(100)}), 0},
        {"one frame, then the end", Frames(kCbr128, 1), 0},
        {"one frame, then ID3v1", Join({Frames(kCbr128, 1), Id3v1()}), 0},
        {"one frame, then an APE tag", Join({Frames(kCbr128, 1), ApeTag(100, true)}), 0},
        {"one frame, then junk", Join({Frames(kCbr128, 1), Junk(100)}), -1},
        {"one frame cut short", Bytes(oneFrame.begin(), oneFrame.end() - 1), -1},
        {"nothing", {}, -1},
        {"junk only", Junk(100000), -1},
    };
    // An audio start beyond the end of the file.
    StreamFile beyond(Frames(kCbr128, 2));
    EXPECT_EQ(beyond.Info(1000).version, MpegVersion::None);
    for (const Case& c : cases) {
        StreamFile f(c.bytes);
        for (const MpegStreamInfo& info : {f.Info(), f.LoadingInfo()}) {
            if (c.first < 0) {
                EXPECT_EQ(info.version, MpegVersion::None) << c.what;
                EXPECT_EQ(info.bitrate, 0) << c.what;
                EXPECT_EQ(info.duration, 0u) << c.what;
            } else {
                EXPECT_NE(info.version, MpegVersion::None) << c.what;
                EXPECT_EQ(info.firstFrame, uint64_t(c.first)) << c.what;
            }
        }
    }
}

// Streams placed around the ends of the search's reads (the first small read, the
// 32 KiB blocks with three bytes carried over), each behind a lone sync byte.
TEST(ReadStreamInfo, FindsFramesAcrossReadBoundaries) {
    std::vector<size_t> offsets = {0};
    for (size_t edge : {size_t{1024}, size_t{1021 + 32768}, size_t{1021 + 32765 + 32768}}) {
        for (size_t d = 0; d <= 8; ++d) offsets.push_back(edge - 5 + d);
    }
    for (const size_t at : offsets) {
        Bytes bytes(at, 0x00);
        if (at >= 2) bytes[at - 2] = 0xFF;
        Append(bytes, Frames(kCbr128, 2));
        StreamFile f(bytes);
        for (const MpegStreamInfo& info : {f.Info(), f.LoadingInfo()}) {
            EXPECT_EQ(info.firstFrame, at) << at;
            EXPECT_EQ(info.header, kCbr128) << at;
            EXPECT_EQ(info.bitrate, 128) << at;
        }
    }
}

// The first frame must begin within the search limit behind the audio start.
TEST(ReadStreamInfo, SearchEndsAtTheLimit) {
    for (const uint64_t audioStart : {uint64_t{0}, uint64_t{700}}) {
        for (const uint64_t junk : {kFrameSearchLimit - 1, kFrameSearchLimit}) {
            Bytes bytes = Junk(audioStart + junk);
            Append(bytes, Frames(kCbr128, 3));
            StreamFile f(bytes);
            const MpegStreamInfo info = f.Info(audioStart);
            if (junk < kFrameSearchLimit) {
                EXPECT_EQ(info.firstFrame, audioStart + junk);
                EXPECT_EQ(info.bitrate, 128);
            } else {
                EXPECT_EQ(info.version, MpegVersion::None) << audioStart;
                EXPECT_EQ(info.bitrate, 0);
            }
        }
    }
}

// ID3v2 tags directly behind the first are skipped as a whole: the stream-like bytes
// inside them (a picture, say) are not the audio.
TEST(ReadStreamInfo, SkipsId3v2TagsStackedBehindTheFirst) {
    // A tag body holding a stream of its own: 320 kbit/s frames.
    auto trap = [](uint8_t major, uint8_t flags) {
        Bytes tag = Id3v2(3000, major, flags);
        const Bytes fake = Frames(Header(3, 3, 14, 0), 2);
        std::copy(fake.begin(), fake.end(), tag.begin() + 20);
        if (flags & 0x10) Append(tag, Bytes{'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0x17, 0x38});  // footer
        return tag;
    };
    const Bytes first = Id3v2(500);
    const Bytes audio = Frames(kCbr128, 4);
    struct Case {
        const char* what;
        Bytes bytes;
        uint64_t audioStart;
        uint64_t firstFrame;
        uint16_t bitrate;
    };
    const Bytes v24Footer = trap(4, 0x10);
    const Case cases[] = {
        {"two tags", Join({first, trap(3, 0), audio}), 510, 510 + 3010, 128},
        {"three tags", Join({first, trap(3, 0), trap(4, 0), audio}), 510, 510 + 2 * 3010, 128},
        {"second tag with a footer", Join({first, v24Footer, audio}), 510, 510 + 3020, 128},
        // The reader's audio start leaves a v2.4 footer in front.
        {"first tag's footer", Join({v24Footer, trap(3, 0), audio}), 3010, 3020 + 3010, 128},
        {"no first tag", Join({trap(3, 0), audio}), 0, 3010, 128},
        // Not directly behind: junk, and then the trap's stream is the first one found.
        {"gap before the second tag", Join({first, Bytes(1, 0), trap(3, 0), audio}), 510, 511 + 20, 320},
    };
    for (const Case& c : cases) {
        StreamFile f(c.bytes);
        const MpegStreamInfo info = f.Info(c.audioStart);
        EXPECT_EQ(info.firstFrame, c.firstFrame) << c.what;
        EXPECT_EQ(info.bitrate, c.bitrate) << c.what;
    }
    // A tag reaching beyond the end of the file is not a tag: its bytes are searched.
    Bytes broken = Join({first, trap(3, 0), audio});
    broken[510 + 6] = 0x7F;  // size 0x0FE00000 + ...
    StreamFile f(broken);
    EXPECT_EQ(f.Info(510).firstFrame, 510u + 20);
}

// Xing, Info and VBRI headers in the first frame, for each version and channel count.
TEST(ReadStreamInfo, EncoderHeaders) {
    struct Case {
        const char* what;
        uint32_t header;
        size_t at;  // from the frame start
        const char* tag;
        uint32_t flags, frames, bytes;
        VbrHeader kind;
        uint16_t bitrate;
        uint32_t duration;
        uint32_t rest = 0;  // the header of the frames behind; 0: the same
    };
    const uint32_t mono128 = Header(3, 3, 9, 0, 3);
    const uint32_t mpeg2 = Header(2, 3, 8, 0);        // 22050 Hz, 64 kbit/s
    const uint32_t mpeg2Mono = Header(2, 3, 8, 0, 3);
    const uint32_t mpeg25Mono = Header(0, 3, 1, 2, 3);  // 8000 Hz, 8 kbit/s: 72-byte frames
    const uint32_t crc = Header(3, 3, 9, 0, 1, true);
    const VbrHeader X = VbrHeader::Xing, I = VbrHeader::Info, N = VbrHeader::None;
    const Case cases[] = {
        // 44100 × 300 ÷ 144000 = 91.875; 10000 × 1152 ÷ 44100 = 261.2
        {"Xing", kCbr128, 36, "Xing", 3, 10000, 3000000, X, 91, 261},
        {"Xing, other flag bits", kCbr128, 36, "Xing", 0xF3, 10000, 3000000, X, 91, 261},
        // 48000 × 400 ÷ 144000 = 133.3; 1000 × 1152 ÷ 48000 = 24
        {"Xing 48 kHz", Header(3, 3, 9, 1), 36, "Xing", 3, 1000, 400000, X, 133, 24},
        {"Xing 32 kHz, exact", Header(3, 3, 9, 2), 36, "Xing", 3, 1000, 540000, X, 120, 36},
        {"Xing mono", mono128, 21, "Xing", 3, 10000, 3000000, X, 91, 261},
        // 22050 × 200 ÷ 72000 = 61.25; 5000 × 576 ÷ 22050 = 130.6
        {"Xing MPEG-2", mpeg2, 21, "Xing", 3, 5000, 1000000, X, 61, 130},
        {"Xing MPEG-2 mono", mpeg2Mono, 13, "Xing", 3, 5000, 1000000, X, 61, 130},
        // 8000 × 100 ÷ 72000 = 11.1; 1000 × 576 ÷ 8000 = 72
        {"Xing MPEG-2.5 mono", mpeg25Mono, 13, "Xing", 3, 1000, 100000, X, 11, 72},
        {"Info: constant bitrate", kCbr128, 36, "Info", 3, 10000, 3000000, I, 128, 261},
        {"Info MPEG-2", mpeg2, 21, "Info", 3, 5000, 1000000, I, 64, 130},
        // ffmpeg gives the Info frame a bitrate of its own: the stream's is behind it.
        {"Info frame of 320 kbit/s", Header(3, 3, 14, 0), 36, "Info", 3, 10000, 3000000, I, 128, 261, kCbr128},
        {"Xing frame of 320 kbit/s", Header(3, 3, 14, 0), 36, "Xing", 3, 10000, 3000000, X, 91, 261, kCbr128},
        {"Xing without frame count", kCbr128, 36, "Xing", 2, 0, 3000000, X, 0, 0},
        {"Xing frame count 0", kCbr128, 36, "Xing", 3, 0, 3000000, X, 0, 0},
        {"Info without counts", kCbr128, 36, "Info", 0, 0, 0, I, 128, 0},
        {"tag is case-sensitive", kCbr128, 36, "xing", 3, 10000, 3000000, N, 128, 0},
        {"mono header, stereo offset", mono128, 36, "Xing", 3, 10000, 3000000, N, 128, 0},
        {"stereo header, mono offset", kCbr128, 21, "Xing", 3, 10000, 3000000, N, 128, 0},
        {"MPEG-2 at the MPEG-1 offset", mpeg2, 36, "Xing", 3, 5000, 1000000, N, 64, 0},
        // With a CRC: where lame writes it (as without one), and behind the CRC.
        {"CRC, lame's place", crc, 36, "Xing", 3, 10000, 3000000, X, 91, 261},
        {"CRC, behind the CRC", crc, 38, "Xing", 3, 10000, 3000000, X, 91, 261},
        {"no CRC, two bytes late", kCbr128, 38, "Xing", 3, 10000, 3000000, N, 128, 0},
        // Beyond 16 bits only a broken header gets: unknown rather than wrapped around.
        {"absurd mean frame", kCbr128, 36, "Xing", 3, 1, 0xFFFFFFFF, X, 0, 0},
        {"no Xing in Layer II", Header(3, 2, 9, 0), 36, "Xing", 3, 10000, 3000000, N, 160, 0},
    };
    for (const Case& c : cases) {
        Bytes bytes = Frames(c.header, 1);
        Append(bytes, Frames(c.rest ? c.rest : c.header, 3));
        Put(bytes, c.at, c.tag, 4);
        PutBe32(bytes, c.at + 4, c.flags);
        size_t p = c.at + 8;
        if (c.flags & 1) PutBe32(bytes, p, c.frames), p += 4;
        if (c.flags & 2) PutBe32(bytes, p, c.bytes);
        StreamFile f(bytes);
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.vbrHeader, c.kind) << c.what;
        EXPECT_EQ(info.vbr, c.kind == X) << c.what;
        EXPECT_EQ(info.bitrate, c.bitrate) << c.what;
        if (c.kind != N) {
            EXPECT_EQ(info.duration, c.duration) << c.what;
            EXPECT_EQ(info.frames, (c.flags & 1) ? c.frames : 0) << c.what;
        } else {
            EXPECT_EQ(info.duration, StreamDuration(bytes.size(), c.bitrate)) << c.what;
        }
    }
}

// Fraunhofer's header: "VBRI", version, delay, quality, bytes, frames, 32 bytes behind
// the frame header whatever the version and channels.
TEST(ReadStreamInfo, VbriHeader) {
    struct Case {
        const char* what;
        uint32_t header;
        uint32_t frames, bytes;
        size_t keep;  // bytes of the VBRI header within the frame
        uint16_t bitrate;
        uint32_t duration;
        bool found;
    };
    const Case cases[] = {
        {"MPEG-1 stereo", kCbr128, 10000, 3000000, 18, 91, 261, true},
        {"MPEG-1 mono", Header(3, 3, 9, 0, 3), 10000, 3000000, 18, 91, 261, true},
        {"MPEG-2", Header(2, 3, 8, 0), 5000, 1000000, 18, 61, 130, true},
        {"frame count 0", kCbr128, 0, 3000000, 18, 0, 0, true},
        // MPEG-2 Layer III, 16 kbit/s at 24 kHz: the 48-byte frame ends inside the counts.
        {"cut by the frame end", Header(2, 3, 2, 1), 5000, 1000000, 12, 16, 0, false},
    };
    for (const Case& c : cases) {
        Bytes bytes = Frames(c.header, 4);
        Bytes vbri = {'V', 'B', 'R', 'I', 0, 1, 0x04, 0x60, 0, 75};
        PutBe32(vbri, 10, c.bytes);
        PutBe32(vbri, 14, c.frames);
        if (c.keep) std::copy(vbri.begin(), vbri.begin() + static_cast<long>(c.keep), bytes.begin() + 36);
        StreamFile f(bytes);
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.vbrHeader, c.found ? VbrHeader::Vbri : VbrHeader::None) << c.what;
        EXPECT_EQ(info.vbr, c.found) << c.what;
        EXPECT_EQ(info.bitrate, c.bitrate) << c.what;
        if (c.found) {
            EXPECT_EQ(info.duration, c.duration) << c.what;
        }
    }
}

// Xing fields that the frame's end cuts off are absent (the bytes behind it are the
// next frame's); a byte count that is absent is measured from the audio.
TEST(ReadStreamInfo, XingFieldsCutByTheFrameEnd) {
    // MPEG-2 Layer III stereo at 16 kHz: 8 kbit/s frames are 36 bytes, 16 kbit/s 72;
    // the Xing header starts at 21, its byte count at 33.
    struct Case {
        const char* what;
        uint32_t header;
        bool bytesKept;
    };
    const Case cases[] = {
        {"byte count cut", Header(2, 3, 1, 2), false},
        {"all fields inside", Header(2, 3, 2, 2), true},
    };
    for (const Case& c : cases) {
        Bytes bytes = Frames(c.header, 200);
        Put(bytes, 21, "Xing", 4);
        PutBe32(bytes, 25, 3);
        PutBe32(bytes, 29, 300);
        const uint32_t byteCount = 20000;
        if (c.bytesKept) PutBe32(bytes, 33, byteCount);
        StreamFile f(bytes);
        const MpegStreamInfo info = f.Info();
        ASSERT_EQ(info.vbrHeader, VbrHeader::Xing) << c.what;
        EXPECT_EQ(info.frames, 300u);
        EXPECT_EQ(info.duration, 300u * 576 / 16000) << c.what;
        // 16000 × mean frame ÷ 72000, the mean frame from the count or from the file
        const double bytesUsed = c.bytesKept ? byteCount : double(bytes.size());
        EXPECT_EQ(info.bitrate, uint16_t(16000 * (bytesUsed / 300) / 72000)) << c.what;
    }
    // A Xing frame cut by the end of the file is no frame.
    Bytes cut = Frames(kCbr128, 1);
    Put(cut, 36, "Xing", 4);
    PutBe32(cut, 40, 3);
    for (const size_t keep : {size_t{4 + 32 + 6}, size_t{4 + 32 + 16}, cut.size() - 1}) {
        StreamFile f(Bytes(cut.begin(), cut.begin() + static_cast<long>(keep)));
        EXPECT_EQ(f.Info().version, MpegVersion::None) << keep;
    }
}

// The tags at the end of the file are not audio.
TEST(AudioEnd, TagsAtTheEndAreCutOff) {
    const Bytes audio = Frames(kCbr128, 400);  // 166,800 bytes: 10 s at 128 kbit/s
    struct Case {
        const char* what;
        Bytes tail;
        size_t audioTail;  // bytes of `tail` that are audio after all
    };
    // Lyrics3 v1 holds at most 5100 bytes of lyrics.
    Bytes lyrics3v1, lyrics3v1TooLong, lyrics3v1Empty;
    Append(lyrics3v1, "LYRICSBEGIN" + std::string(5100, 'l') + "LYRICSEND");
    Append(lyrics3v1TooLong, "LYRICSBEGIN" + std::string(5101, 'l') + "LYRICSEND");
    Append(lyrics3v1Empty, std::string("LYRICSBEGIN") + "LYRICSEND");
    const size_t lyrics300 = Lyrics3v2(300).size();
    const Case cases[] = {
        {"nothing", {}, 0},
        {"ID3v1", Id3v1(), 0},
        {"APE tag with header", ApeTag(40000, true), 0},
        {"APE tag without header", ApeTag(40000, false), 0},
        {"APE tag, then ID3v1", Join({ApeTag(40000, true), Id3v1()}), 0},
        {"APE tag, footer only", ApeTag(0, false), 0},
        {"APE size below the footer", ApeTag(0, false, 31), 32},
        {"APE size beyond the audio", ApeTag(100, false, 200000), 132},
        {"Lyrics3 v2, then ID3v1", Join({Lyrics3v2(30000), Id3v1()}), 0},
        {"Lyrics3 v2 without ID3v1", Lyrics3v2(30000), 0},
        {"Lyrics3 v2, size not digits", Join({Lyrics3v2(300, 0, "0003x0"), Id3v1()}), lyrics300},
        {"Lyrics3 v2, size one too large", Join({Lyrics3v2(300, 1), Id3v1()}), lyrics300},
        {"Lyrics3 v2, size one too small", Join({Lyrics3v2(300, -1), Id3v1()}), lyrics300},
        {"Lyrics3 v1, then ID3v1", Join({lyrics3v1, Id3v1()}), 0},
        {"Lyrics3 v1 too long", Join({lyrics3v1TooLong, Id3v1()}), lyrics3v1TooLong.size()},
        {"Lyrics3 v1 without lyrics", Join({lyrics3v1Empty, Id3v1()}), 0},
        {"APE, Lyrics3 v2, ID3v1", Join({ApeTag(1000, true), Lyrics3v2(500), Id3v1()}), 0},
        {"Lyrics3 v2, APE, ID3v1", Join({Lyrics3v2(500), ApeTag(1000, false), Id3v1()}), 0},
    };
    for (const Case& c : cases) {
        const Bytes bytes = Join({audio, c.tail});
        StreamFile f(bytes);
        const uint64_t end = audio.size() + c.audioTail;
        EXPECT_EQ(AudioEnd(f.file, 0), end) << c.what;
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.bitrate, 128) << c.what;
        EXPECT_EQ(info.duration, end / 16000) << c.what;
        EXPECT_EQ(f.LoadingInfo().duration, end / 16000) << c.what;
    }
    // Tags never reach below the floor: a file that is an ID3v1 record and nothing else.
    StreamFile v1Only(Id3v1());
    EXPECT_EQ(AudioEnd(v1Only.file, 0), 0u);
    EXPECT_EQ(AudioEnd(v1Only.file, 1), 128u);
    EXPECT_EQ(AudioEnd(v1Only.file, 500), 128u);
}

// The duration counts the audio bytes from the first frame: not the tags, not the junk.
TEST(ReadStreamInfo, DurationCountsOnlyTheAudio) {
    Bytes bytes = Id3v2(1'000'000);  // a big picture: over a minute at 128 kbit/s
    Append(bytes, Junk(3000));
    Append(bytes, Frames(kCbr128, 1000));  // 417,000 bytes: 26.06 s
    Append(bytes, ApeTag(50000, true));
    Append(bytes, Id3v1());
    StreamFile f(bytes);
    const uint64_t audioStart = ReadAudioStart(f.file);
    ASSERT_EQ(audioStart, 1'000'010u);
    const MpegStreamInfo info = f.Info(audioStart);
    EXPECT_EQ(info.firstFrame, 1'003'010u);
    EXPECT_EQ(info.version, MpegVersion::Mpeg1);
    EXPECT_EQ(info.layer, 3);
    EXPECT_EQ(info.sampleRate, 44100u);
    EXPECT_EQ(info.channelMode, ChannelMode::JointStereo);
    EXPECT_EQ(info.bitrate, 128);
    EXPECT_FALSE(info.vbr);
    EXPECT_EQ(info.duration, 26u);
}

TEST(Id3v2Header, AudioStartRules) {
    auto start = [](std::initializer_list<uint8_t> h, uint64_t fileSize) {
        uint8_t header[kV2HeaderSize] = {};
        std::copy(h.begin(), h.end(), header);
        const auto parsed = ParseV2Header(header, kV2HeaderSize, fileSize);
        return parsed ? parsed->Extent() : 0;
    };
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0x02, 0x01}, 1000), 10u + 257);
    EXPECT_EQ(start({'I', 'D', '3', 4, 0, 0x40, 0x01, 0x02, 0x03, 0x04}, 1u << 30),
              10u + ((1u * 128 + 2) * 128 + 3) * 128 + 4);
    EXPECT_EQ(start({'I', 'D', '3', 2, 0, 0, 0, 0, 0, 0x20}, 1000), 42u);   // v2.2: size only
    EXPECT_EQ(start({'I', 'D', '3', 5, 0, 0, 0, 0, 0, 0x20}, 1000), 0u);    // v2.5 unknown
    EXPECT_EQ(start({'I', 'D', '2', 3, 0, 0, 0, 0, 0, 0x20}, 1000), 0u);
    EXPECT_EQ(start({'i', 'D', '3', 3, 0, 0, 0, 0, 0, 0x20}, 1000), 0u);
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x68}, 1000), 1010u);  // size = file size
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x69}, 1000), 0u);     // beyond the file
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0}, 10), 0u);             // header only
    // The top bit of each size byte is not masked off.
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0x00, 0x80}, 1000), 138u);

    TempDir dir;
    test::WriteFileBytes(dir / "short.mp3", {'I', 'D', '3', 3, 0});
    BinaryFile f;
    uint32_t error = 0;
    ASSERT_TRUE(f.Open(PathFromNative((dir / "short.mp3").native()), OpenMode::Read, error));
    EXPECT_EQ(ReadAudioStart(f), 0u);
}

TEST(StreamDuration, WholeSecondsFromSizeAndBitrate) {
    const struct {
        uint64_t bytes;
        uint16_t kbit;
        uint32_t seconds;
    } cases[] = {
        {4'000'000, 128, 250},
        {4'000'000, 0, 0},
        {15'999, 128, 0},
        {16'000, 128, 1},
        {3'000'000, 91, 263},  // 3,000,000 × 8 ÷ 91,000 = 263.7
        // Sizes whose × 8 overflows 32 bits.
        {uint64_t{1} << 29, 128, 33554},
        {uint64_t{5} << 30, 32, uint32_t((uint64_t{5} << 30) * 8 / 32000)},
        {std::numeric_limits<uint64_t>::max(), 1, std::numeric_limits<uint32_t>::max()},
    };
    for (const auto& c : cases) EXPECT_EQ(StreamDuration(c.bytes, c.kbit), c.seconds) << c.bytes << "/" << c.kbit;
}

// A 600 MiB file (sparse) analysed through the file layer: 64-bit sizes all the way,
// and a frame count whose seconds fill 32 bits is held there.
TEST(StreamDuration, LargeFilesAndCounts) {
    TempDir dir;
    const auto path = dir / "big.mp3";
    test::WriteFileBytes(path, Frames(kCbr128, 2));
    const uint64_t size = uint64_t{600} << 20;
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    BinaryFile f;
    uint32_t error = 0;
    ASSERT_TRUE(f.Open(PathFromNative(path.native()), OpenMode::Read, error));
    const MpegStreamInfo info = ReadStreamInfo(f, 0);
    ASSERT_EQ(info.bitrate, 128);
    // 629,145,600 × 8 ÷ 128,000 = 39321.6; the 32-bit product would give 5767.
    EXPECT_EQ(info.duration, 39321u);

    // 0xFFFFFFFF frames of 576 samples at 8000 Hz: 309 million seconds, within 32 bits;
    // the product itself is not.
    Bytes bytes = Frames(Header(0, 3, 1, 2, 3), 3);
    Put(bytes, 13, "Info", 4);
    PutBe32(bytes, 17, 1);
    PutBe32(bytes, 21, 0xFFFFFFFF);
    StreamFile many(bytes);
    EXPECT_EQ(many.Info().duration, uint32_t(uint64_t{0xFFFFFFFF} * 576 / 8000));
}

}  // namespace
}  // namespace quorvane

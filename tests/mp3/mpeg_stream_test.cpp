// The frame search and stream analysis over crafted bytes.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "platform/binary_file.h"
#include "tags/id3v2_header.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using Bytes = std::vector<uint8_t>;
using test::TempDir;

// Where the audio starts: the end of the ID3v2 tag, at most the end of the file.
uint64_t AudioStartFromHeader(const uint8_t* header, uint64_t fileSize) {
    const auto h = ParseV2Header(header, kV2HeaderSize, fileSize);
    return h ? std::min(h->Extent(), fileSize) : 0;
}
uint64_t ReadAudioStart(BinaryFile& f) {
    const auto h = ReadV2Header(f);
    return h ? std::min(h->Extent(), f.GetSize()) : 0;
}

// MPEG-1 Layer III, no CRC, 128 kbit/s, 44100 Hz, joint stereo / single channel.
constexpr uint8_t kStereo128[4] = {0xFF, 0xFB, 0x90, 0x64};
constexpr uint8_t kMono128[4] = {0xFF, 0xFB, 0x90, 0xC4};

uint32_t Word(const uint8_t (&b)[4]) {
    return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

void Put(Bytes& bytes, size_t at, const void* data, size_t n) {
    if (bytes.size() < at + n) bytes.resize(at + n);
    std::memcpy(bytes.data() + at, data, n);
}

void PutBe32(Bytes& bytes, size_t at, uint32_t v) {
    const uint8_t b[4] = {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    Put(bytes, at, b, 4);
}

// A frame header at `at`, then side information of `sideInfo` zero bytes, then a
// Xing-style header: tag, flags and the counts the flags announce.
void PutXingFrame(Bytes& bytes, size_t at, const uint8_t (&header)[4], size_t sideInfo, const char* tag,
                  uint32_t flags, uint32_t frames, uint32_t byteCount) {
    Put(bytes, at, header, 4);
    size_t p = at + 4 + sideInfo;
    Put(bytes, p, tag, 4);
    PutBe32(bytes, p + 4, flags);
    p += 8;
    if (flags & 1) {
        PutBe32(bytes, p, frames);
        p += 4;
    }
    if (flags & 2) PutBe32(bytes, p, byteCount);
    bytes.resize(std::max(bytes.size(), at + 418));
}

class StreamFile {
public:
    explicit StreamFile(const Bytes& bytes) : path_(dir_ / "stream.mp3") {
        test::WriteFileBytes(path_, bytes);
        uint32_t error = 0;
        EXPECT_TRUE(file.Open(PathFromNative(path_.native()), OpenMode::Read, error)) << error;
    }
    MpegStreamInfo Info(uint64_t audioStart = 0) { return ReadStreamInfo(file, audioStart); }
    BinaryFile file;

private:
    TempDir dir_;
    std::filesystem::path path_;
};

TEST(FrameHeader, FieldTablesByIndex) {
    const uint32_t expectedKbit[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(FrameBitrate(0xFFFB0064u | (i << 12)), expectedKbit[i]) << i;
    EXPECT_EQ(FrameSampleRate(0xFFFB9064u), 44100u);
    EXPECT_EQ(FrameSampleRate(0xFFFB9464u), 48000u);
    EXPECT_EQ(FrameSampleRate(0xFFFB9864u), 32000u);
}

// Each reserved or unusable value is refused on its own; the search then goes on to
// the good header behind it.
TEST(FindFrameHeader, SkipsEachRejectedFieldValue) {
    struct Case {
        const char* what;
        uint8_t b[4];
        bool accepted;
    };
    const Case cases[] = {
        {"ten sync bits only", {0xFF, 0xDB, 0x90, 0x64}, false},
        {"reserved version", {0xFF, 0xEB, 0x90, 0x64}, false},
        {"reserved layer", {0xFF, 0xF9, 0x90, 0x64}, false},
        {"free format", {0xFF, 0xFB, 0x00, 0x64}, false},
        {"bitrate index 15", {0xFF, 0xFB, 0xF0, 0x64}, false},
        {"sample rate index 3", {0xFF, 0xFB, 0x9C, 0x64}, false},
        {"reserved emphasis", {0xFF, 0xFB, 0x90, 0x66}, false},
        {"emphasis 50/15", {0xFF, 0xFB, 0x90, 0x65}, true},
        {"emphasis CCITT", {0xFF, 0xFB, 0x90, 0x67}, true},
        {"MPEG-2.5 Layer III", {0xFF, 0xE3, 0x90, 0x64}, true},
        {"MPEG-1 Layer I with CRC", {0xFF, 0xFE, 0x10, 0x00}, true},
    };
    for (const Case& c : cases) {
        Bytes bytes(300, 0x00);
        Put(bytes, 10, c.b, 4);
        Put(bytes, 200, kStereo128, 4);
        StreamFile f(bytes);
        uint32_t h = 0;
        ASSERT_TRUE(FindFrameHeader(f.file, h)) << c.what;
        const size_t expectedAt = c.accepted ? 10 : 200;
        EXPECT_EQ(f.file.GetPosition(), expectedAt + 4) << c.what;
        EXPECT_EQ(h, c.accepted ? Word(c.b) : Word(kStereo128)) << c.what;
        EXPECT_EQ(IsFrameHeader(Word(c.b)), c.accepted) << c.what;
    }
}

// Headers at and around every place where one read of the search ends and the next
// begins: the first small read, the 32768-byte blocks, and the blocks after them.
TEST(FindFrameHeader, FindsHeadersAcrossReadBoundaries) {
    std::vector<size_t> offsets;
    for (size_t edge : {size_t{4096}, size_t{32768}, size_t{4093 + 32768}, size_t{32765 + 32768},
                        size_t{4093 + 2 * 32765 + 3}, size_t{2 * 32765 + 32768}}) {
        for (size_t d = 0; d <= 8; ++d) offsets.push_back(edge - 5 + d);
    }
    offsets.push_back(0);
    for (const size_t at : offsets) {
        Bytes bytes(at + 4 + 100, 0x00);
        // A lone sync byte just before, which must not hide the real header.
        if (at >= 2) bytes[at - 2] = 0xFF;
        Put(bytes, at, kStereo128, 4);
        StreamFile f(bytes);
        uint32_t h = 0;
        ASSERT_TRUE(FindFrameHeader(f.file, h)) << at;
        EXPECT_EQ(h, Word(kStereo128)) << at;
        EXPECT_EQ(f.file.GetPosition(), at + 4) << at;
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.bitrate, 128) << at;
        EXPECT_FALSE(info.vbr) << at;
    }
}

TEST(FindFrameHeader, HeaderEndingAtEndOfFileIsFoundAndCutOneIsNot) {
    for (const size_t size : {size_t{4}, size_t{4096}, size_t{40000}}) {
        Bytes bytes(size, 0x00);
        Put(bytes, size - 4, kStereo128, 4);
        StreamFile whole(bytes);
        uint32_t h = 0;
        EXPECT_TRUE(FindFrameHeader(whole.file, h)) << size;
        EXPECT_EQ(whole.file.GetPosition(), size) << size;

        bytes.pop_back();
        StreamFile cut(bytes);
        EXPECT_FALSE(FindFrameHeader(cut.file, h)) << size;
    }
}

// The search starts at the file's position, not at its start.
TEST(FindFrameHeader, SearchesFromCurrentPosition) {
    Bytes bytes(10000, 0x00);
    Put(bytes, 100, kMono128, 4);
    Put(bytes, 7000, kStereo128, 4);
    StreamFile f(bytes);
    f.file.Seek(101);
    uint32_t h = 0;
    ASSERT_TRUE(FindFrameHeader(f.file, h));
    EXPECT_EQ(h, Word(kStereo128));
    EXPECT_EQ(f.file.GetPosition(), 7004u);
}

// The naive reading of the frame tests, one window after another over the whole
// file, compared with the search on random files whose first header lies anywhere.
TEST(FindFrameHeader, AgreesWithWindowByWindowScanOnRandomFiles) {
    std::mt19937 rng(20261206);
    auto naiveTest = [](const uint8_t* p) {
        const uint32_t h = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        const uint32_t version = (h >> 19) & 3, layer = (h >> 17) & 3, rate = (h >> 12) & 15, sr = (h >> 10) & 3;
        return (h >> 21) == 0x7FF && version != 1 && layer != 0 && rate != 0 && rate != 15 && sr != 3 &&
               (h & 3) != 2;
    };
    for (int round = 0; round < 150; ++round) {
        const size_t size = std::uniform_int_distribution<size_t>(0, 110000)(rng);
        const int syncRate = std::uniform_int_distribution<int>(200, 6000)(rng);
        Bytes bytes(size);
        std::uniform_int_distribution<int> byte(0, 0xFE), sync(0, syncRate);
        for (auto& b : bytes) b = sync(rng) == 0 ? 0xFF : static_cast<uint8_t>(byte(rng));
        const size_t start = size ? std::uniform_int_distribution<size_t>(0, size / 3)(rng) : 0;

        size_t expected = SIZE_MAX;
        for (size_t i = start; i + 4 <= size; ++i) {
            if (naiveTest(&bytes[i])) {
                expected = i;
                break;
            }
        }
        StreamFile f(bytes);
        f.file.Seek(start);
        uint32_t h = 0;
        const bool found = FindFrameHeader(f.file, h);
        ASSERT_EQ(found, expected != SIZE_MAX) << "round " << round;
        if (found) {
            EXPECT_EQ(f.file.GetPosition(), expected + 4) << "round " << round;
            EXPECT_EQ(h, (uint32_t{bytes[expected]} << 24) | (uint32_t{bytes[expected + 1]} << 16) |
                             (uint32_t{bytes[expected + 2]} << 8) | bytes[expected + 3]);
        }
    }
}

TEST(ReadStreamInfo, NoHeaderAnywhereGivesNothing) {
    Bytes bytes(100000);
    std::mt19937 rng(3);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 0xFF);  // never 0xFF
    for (size_t i = 0; i + 1 < bytes.size(); i += 997) bytes[i] = 0xFF, bytes[i + 1] = 0x12;  // no sync
    StreamFile f(bytes);
    const MpegStreamInfo info = f.Info();
    EXPECT_EQ(info.bitrate, 0);
    EXPECT_FALSE(info.vbr);
    EXPECT_EQ(f.file.GetPosition(), bytes.size());  // read to the end

    StreamFile empty(Bytes{});
    EXPECT_EQ(empty.Info().bitrate, 0);
    StreamFile beyond(Bytes(50, 0));
    EXPECT_EQ(beyond.Info(1000).bitrate, 0);  // audio start past the end
}

TEST(ReadStreamInfo, OnlyMpeg1LayerIIIHasABitrate) {
    const uint8_t others[][4] = {
        {0xFF, 0xF3, 0x90, 0x64},  // MPEG-2 Layer III
        {0xFF, 0xE3, 0x90, 0x64},  // MPEG-2.5 Layer III
        {0xFF, 0xFD, 0x90, 0x64},  // MPEG-1 Layer II
        {0xFF, 0xFF, 0x90, 0x64},  // MPEG-1 Layer I
    };
    for (const auto& h : others) {
        Bytes bytes;
        PutXingFrame(bytes, 0, h, 32, "Xing", 3, 100, 40000);
        StreamFile f(bytes);
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.bitrate, 0) << int(h[1]);
        EXPECT_FALSE(info.vbr) << int(h[1]);
    }
}

TEST(ReadStreamInfo, XingCountsGiveTheMeanBitrate) {
    struct Case {
        const char* what;
        uint8_t header[4];
        size_t sideInfo;
        const char* tag;
        uint32_t flags, frames, bytes;
        uint16_t bitrate;
        bool vbr;
    };
    const Case cases[] = {
        // 44100 × 300 ÷ 144000 = 91.875
        {"Xing", {0xFF, 0xFB, 0x90, 0x64}, 32, "Xing", 3, 10000, 3000000, 91, true},
        {"Info marks VBR too", {0xFF, 0xFB, 0x90, 0x64}, 32, "Info", 3, 10000, 3000000, 91, true},
        {"other flag bits ignored", {0xFF, 0xFB, 0x90, 0x64}, 32, "Xing", 0xF3, 10000, 3000000, 91, true},
        // 48000 × 400 ÷ 144000 = 133.3
        {"48 kHz", {0xFF, 0xFB, 0x94, 0x64}, 32, "Xing", 3, 1000, 400000, 133, true},
        // 32000 × 540 ÷ 144000 = 120 exactly
        {"32 kHz exact", {0xFF, 0xFB, 0x98, 0x64}, 32, "Xing", 3, 1000, 540000, 120, true},
        {"single channel", {0xFF, 0xFB, 0x90, 0xC4}, 17, "Xing", 3, 10000, 3000000, 91, true},
        {"no frame count", {0xFF, 0xFB, 0x90, 0x64}, 32, "Xing", 2, 0, 3000000, 0, true},
        {"no byte count", {0xFF, 0xFB, 0x90, 0x64}, 32, "Xing", 1, 10000, 0, 0, true},
        {"frame count 0", {0xFF, 0xFB, 0x90, 0x64}, 32, "Xing", 3, 0, 3000000, 0, true},
        {"no counts", {0xFF, 0xFB, 0x90, 0x64}, 32, "Info", 0, 0, 0, 0, true},
        {"tag is case-sensitive", {0xFF, 0xFB, 0x90, 0x64}, 32, "xing", 3, 10000, 3000000, 128, false},
        {"other tag", {0xFF, 0xFB, 0x90, 0x64}, 32, "VBRI", 3, 10000, 3000000, 128, false},
        // The side information is 17 bytes for one channel and 32 for two, never the other.
        {"mono header, stereo offset", {0xFF, 0xFB, 0x90, 0xC4}, 32, "Xing", 3, 10000, 3000000, 128, false},
        {"stereo header, mono offset", {0xFF, 0xFB, 0x90, 0x64}, 17, "Xing", 3, 10000, 3000000, 128, false},
        // Beyond 16 bits only a broken header gets: unknown rather than wrapped around.
        {"absurd mean frame", {0xFF, 0xFB, 0x90, 0x64}, 32, "Xing", 3, 1, 0xFFFFFFFF, 0, true},
    };
    for (const Case& c : cases) {
        for (const size_t at : {size_t{0}, size_t{4080}, size_t{4093 + 32765 - 30}}) {
            Bytes bytes(at, 0x00);
            PutXingFrame(bytes, at, c.header, c.sideInfo, c.tag, c.flags, c.frames, c.bytes);
            StreamFile f(bytes);
            const MpegStreamInfo info = f.Info();
            EXPECT_EQ(info.bitrate, c.bitrate) << c.what << " at " << at;
            EXPECT_EQ(info.vbr, c.vbr) << c.what << " at " << at;
        }
    }
}

// A frame cut off by the end of the file: what is missing counts as absent.
TEST(ReadStreamInfo, XingHeaderCutByEndOfFile) {
    Bytes full;
    PutXingFrame(full, 0, kStereo128, 32, "Xing", 3, 10000, 3000000);
    const struct {
        size_t keep;
        uint16_t bitrate;
        bool vbr;
    } cases[] = {
        {4 + 20, 128, false},       // inside the side information
        {4 + 32 + 3, 128, false},   // inside the tag
        {4 + 32 + 6, 0, true},      // inside the flags
        {4 + 32 + 8 + 2, 0, true},  // inside the frame count
        {4 + 32 + 14, 0, true},     // inside the byte count
        {4 + 32 + 16, 91, true},    // complete
    };
    for (const auto& c : cases) {
        StreamFile f(Bytes(full.begin(), full.begin() + static_cast<long>(c.keep)));
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.bitrate, c.bitrate) << c.keep;
        EXPECT_EQ(info.vbr, c.vbr) << c.keep;
    }
}

// The search starts at the audio start: a header-like pattern inside the tag is
// not the stream.
TEST(ReadStreamInfo, StartsAtTheAudioStart) {
    Bytes bytes = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x10, 0x00};  // 2048 bytes of tag
    bytes.resize(10 + 2048, 0x00);
    const uint8_t mpeg2[4] = {0xFF, 0xF3, 0x90, 0x64};
    Put(bytes, 300, mpeg2, 4);
    PutXingFrame(bytes, 10 + 2048 + 5, kStereo128, 32, "Xing", 3, 10000, 3000000);
    StreamFile f(bytes);
    const uint64_t start = ReadAudioStart(f.file);
    EXPECT_EQ(start, 2058u);
    EXPECT_EQ(f.Info(start).bitrate, 91);
    EXPECT_EQ(f.Info(0).bitrate, 0);  // from the start it meets the MPEG-2 pattern first
}

TEST(Id3v2Header, AudioStartRules) {
    auto start = [](std::initializer_list<uint8_t> h, uint64_t fileSize) {
        uint8_t header[kV2HeaderSize] = {};
        std::copy(h.begin(), h.end(), header);
        return AudioStartFromHeader(header, fileSize);
    };
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0x02, 0x01}, 1000), 10u + 257);
    EXPECT_EQ(start({'I', 'D', '3', 4, 0, 0x40, 0x01, 0x02, 0x03, 0x04}, 1u << 30),
              10u + ((1u * 128 + 2) * 128 + 3) * 128 + 4);
    EXPECT_EQ(start({'I', 'D', '3', 2, 0, 0, 0, 0, 0, 0x20}, 1000), 42u);   // v2.2: size only
    EXPECT_EQ(start({'I', 'D', '3', 5, 0, 0, 0, 0, 0, 0x20}, 1000), 0u);    // v2.5 unknown
    EXPECT_EQ(start({'I', 'D', '2', 3, 0, 0, 0, 0, 0, 0x20}, 1000), 0u);
    EXPECT_EQ(start({'i', 'D', '3', 3, 0, 0, 0, 0, 0, 0x20}, 1000), 0u);
    EXPECT_EQ(start({'I', 'D', '3', 3, 0, 0, 0, 0, 0x07, 0x68}, 1000), 1000u);  // size = file size: capped
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
    EXPECT_EQ(StreamDuration(4'000'000, 128), 250u);
    EXPECT_EQ(StreamDuration(4'000'000, 0), 0u);
    EXPECT_EQ(StreamDuration(15'999, 128), 0u);
    EXPECT_EQ(StreamDuration(16'000, 128), 1u);
    // 91 kbit/s: 3,000,000 × 8 ÷ 91,000 = 263.7
    EXPECT_EQ(StreamDuration(3'000'000, 91), 263u);
    // Sizes whose × 8 overflows 32 bits.
    EXPECT_EQ(StreamDuration(uint64_t{1} << 29, 128), 33554u);
    EXPECT_EQ(StreamDuration(uint64_t{5} << 30, 32), (uint64_t{5} << 30) * 8 / 32000);
    EXPECT_EQ(StreamDuration(std::numeric_limits<uint64_t>::max(), 1), std::numeric_limits<uint32_t>::max());
}

// A 600 MiB file (sparse) analysed through the file layer: 64-bit sizes all the way.
TEST(StreamDuration, SixHundredMebibyteFile) {
    TempDir dir;
    const auto path = dir / "big.mp3";
    Bytes head(418, 0x00);
    Put(head, 0, kStereo128, 4);
    test::WriteFileBytes(path, head);
    const uint64_t size = uint64_t{600} << 20;
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);

    BinaryFile f;
    uint32_t error = 0;
    ASSERT_TRUE(f.Open(PathFromNative(path.native()), OpenMode::Read, error));
    EXPECT_EQ(f.GetSize(), size);
    const MpegStreamInfo info = ReadStreamInfo(f, ReadAudioStart(f));
    ASSERT_EQ(info.bitrate, 128);
    // 629,145,600 × 8 ÷ 128,000 = 39321.6; the 32-bit product would give 5767.
    EXPECT_EQ(StreamDuration(f.GetSize(), info.bitrate), 39321u);
}

}  // namespace
}  // namespace quorvane

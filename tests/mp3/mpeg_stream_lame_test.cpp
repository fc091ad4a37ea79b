// The stream analysis on files that lame makes during the test run. The expected
// numbers come from reading the first frame's bytes here, by fixed offsets, and
// applying the bitrate rule to the counts lame wrote.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/binary_file.h"
#include "tags/id3v2_header.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

using test::TempDir;

// Where the audio starts: the end of the ID3v2 tag, at most the end of the file.
uint64_t ReadAudioStart(BinaryFile& f) {
    const auto h = ReadV2Header(f);
    return h ? std::min(h->Extent(), f.GetSize()) : 0;
}

struct LameFile {
    std::vector<uint8_t> bytes;
    uint32_t header = 0;

    uint32_t Be32(size_t at) const {
        return (uint32_t{bytes.at(at)} << 24) | (uint32_t{bytes.at(at + 1)} << 16) |
               (uint32_t{bytes.at(at + 2)} << 8) | bytes.at(at + 3);
    }
    std::string TagAt(size_t at) const { return std::string(bytes.begin() + at, bytes.begin() + at + 4); }
};

struct Analysis {
    MpegStreamInfo info;
    uint32_t duration = 0;
    uint64_t audioStart = 0;
};

Analysis Analyze(const std::filesystem::path& path) {
    BinaryFile file;
    uint32_t error = 0;
    EXPECT_TRUE(file.Open(PathFromNative(path.native()), OpenMode::Read, error));
    Analysis a;
    a.audioStart = ReadAudioStart(file);
    a.info = ReadStreamInfo(file, a.audioStart);
    a.duration = StreamDuration(file.GetSize(), a.info.bitrate);
    return a;
}

LameFile Make(const std::filesystem::path& path, const std::vector<std::string>& args, int rate = 44100) {
    test::MakeMp3(path, args, 2.0, rate);
    LameFile f{test::ReadFileBytes(path)};
    // lame writes no tag unless asked: the first frame starts the file.
    EXPECT_EQ(f.bytes.at(0), 0xFF);
    f.header = f.Be32(0);
    return f;
}

// The bitrate rule for a Xing/Info header's counts.
uint16_t XingRate(uint32_t sampleRate, uint32_t frames, uint32_t bytes) {
    if (frames == 0) return 0;
    return static_cast<uint16_t>((sampleRate * (static_cast<double>(bytes) / frames)) * (1.0 / 144000));
}

uint32_t Seconds(uint64_t size, uint32_t kbit) { return static_cast<uint32_t>(size * 8 / (kbit * 1000)); }

TEST(LameStreams, Cbr128WithoutInfoHeader) {
    TempDir dir;
    const auto path = dir / "cbr.mp3";
    const LameFile f = Make(path, {"-b", "128", "-t"});
    ASSERT_EQ(f.header >> 8, 0xFFFB90u);  // MPEG-1 Layer III, 128 kbit/s, 44100 Hz
    ASSERT_NE(f.TagAt(36), "Info");
    ASSERT_NE(f.TagAt(36), "Xing");
    const Analysis a = Analyze(path);
    EXPECT_EQ(a.audioStart, 0u);
    EXPECT_EQ(a.info.bitrate, 128);
    EXPECT_FALSE(a.info.vbr);
    EXPECT_EQ(a.duration, Seconds(f.bytes.size(), 128));
    EXPECT_GE(a.duration, 1u);
}

TEST(LameStreams, Cbr128WithInfoHeader) {
    TempDir dir;
    const auto path = dir / "cbr_info.mp3";
    const LameFile f = Make(path, {"-b", "128"});
    ASSERT_EQ(f.header >> 8, 0xFFFB90u);
    ASSERT_EQ(f.TagAt(36), "Info");  // two channels: 32 bytes of side information
    const uint32_t flags = f.Be32(40);
    ASSERT_EQ(flags & 3, 3u);
    const uint32_t frames = f.Be32(44);
    const uint32_t bytes = f.Be32(48);
    EXPECT_EQ(bytes, f.bytes.size());  // lame counts the whole stream
    const uint16_t expected = XingRate(44100, frames, bytes);
    // The mean frame includes the Info frame itself, so the rule lands near 128.
    EXPECT_GE(expected, 128);
    EXPECT_LE(expected, 131);

    const Analysis a = Analyze(path);
    EXPECT_EQ(a.info.bitrate, expected);
    EXPECT_TRUE(a.info.vbr);
    EXPECT_EQ(a.duration, Seconds(f.bytes.size(), expected));
}

TEST(LameStreams, VbrWithXingHeader) {
    TempDir dir;
    const auto path = dir / "vbr.mp3";
    const LameFile f = Make(path, {"-V", "4"});
    ASSERT_EQ(f.header >> 20, 0xFFFu);
    ASSERT_EQ(f.TagAt(36), "Xing");
    ASSERT_EQ(f.Be32(40) & 3, 3u);
    const uint16_t expected = XingRate(44100, f.Be32(44), f.Be32(48));
    EXPECT_GT(expected, 32);
    EXPECT_LT(expected, 320);

    const Analysis a = Analyze(path);
    EXPECT_EQ(a.info.bitrate, expected);
    EXPECT_TRUE(a.info.vbr);
    EXPECT_EQ(a.duration, Seconds(f.bytes.size(), expected));
}

// One channel: the side information is 17 bytes, so the header sits at offset 21.
TEST(LameStreams, MonoHasItsXingHeader17BytesBehindTheFrameHeader) {
    TempDir dir;
    for (const auto& args : {std::vector<std::string>{"-m", "m", "-b", "128"},
                             std::vector<std::string>{"-m", "m", "-V", "4"}}) {
        const auto path = dir / "mono.mp3";
        const LameFile f = Make(path, args);
        ASSERT_EQ((f.header >> 6) & 3, 3u);  // single channel
        const std::string tag = f.TagAt(21);
        ASSERT_TRUE(tag == "Xing" || tag == "Info") << tag;
        ASSERT_EQ(f.Be32(25) & 3, 3u);
        const uint16_t expected = XingRate(44100, f.Be32(29), f.Be32(33));
        ASSERT_NE(expected, 0);

        const Analysis a = Analyze(path);
        EXPECT_EQ(a.info.bitrate, expected) << args[3];
        EXPECT_TRUE(a.info.vbr);
        EXPECT_EQ(a.duration, Seconds(f.bytes.size(), expected));
    }
}

TEST(LameStreams, Mpeg2HasNoBitrate) {
    TempDir dir;
    for (const auto& args : {std::vector<std::string>{"-b", "64"}, std::vector<std::string>{"-V", "4"}}) {
        const auto path = dir / "mpeg2.mp3";
        const LameFile f = Make(path, args, 22050);
        ASSERT_EQ((f.header >> 19) & 3, 2u);   // MPEG-2
        ASSERT_EQ((f.header >> 10) & 3, 0u);   // 22050 Hz in MPEG-2
        const Analysis a = Analyze(path);
        EXPECT_EQ(a.info.bitrate, 0);
        EXPECT_FALSE(a.info.vbr);
        EXPECT_EQ(a.duration, 0u);
    }
}

// A tag written by mutagen in front of the audio: the search starts behind it, and
// the duration counts the whole file.
TEST(LameStreams, TaggedFileIsSearchedFromBehindTheTag) {
    TempDir dir;
    const auto path = dir / "tagged.mp3";
    const LameFile plain = Make(path, {"-b", "128", "-t"});
    const test::CommandResult r = test::RunPython(
        "import sys\n"
        "from mutagen.id3 import ID3, TIT2, TXXX\n"
        "t = ID3()\n"
        "t.add(TIT2(encoding=3, text='A title'))\n"
        "t.add(TXXX(encoding=0, desc='filler', text='x' * 9000))\n"
        "t.save(sys.argv[1], v2_version=3)\n"
        "print(ID3(sys.argv[1]).size)\n",
        {path.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    const uint64_t tagSize = std::stoull(r.out);
    const uint64_t size = std::filesystem::file_size(path);
    ASSERT_GT(tagSize, 9000u);
    ASSERT_EQ(size, plain.bytes.size() + tagSize);

    const Analysis a = Analyze(path);
    EXPECT_EQ(a.audioStart, tagSize);
    EXPECT_EQ(a.info.bitrate, 128);
    EXPECT_FALSE(a.info.vbr);
    EXPECT_EQ(a.duration, Seconds(size, 128));
}

}  // namespace
}  // namespace quorvane

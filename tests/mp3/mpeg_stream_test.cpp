// The stream analysis over crafted bytes, then on real files made during the run by
// lame and ffmpeg, wrapped in tags by mutagen, against ffprobe.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "mp3/mpeg_stream.h"
#include "tags/tag_test_util.h"

namespace quorvane {
namespace {

using namespace tagtest;  // bytes, tags and files
using Strings = std::vector<std::string>;

// Version field: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5. Mode 3 is single channel.
constexpr uint32_t Header(uint32_t version, uint32_t layer, uint32_t bitrateIndex, uint32_t rateIndex,
                          uint32_t mode = 1, bool crc = false, bool padding = false) {
    return 0xFFE0'0000u | version << 19 | (4 - layer) << 17 | uint32_t{!crc} << 16 | bitrateIndex << 12 |
           rateIndex << 10 | uint32_t{padding} << 9 | mode << 6;
}
constexpr uint32_t kCbr128 = Header(3, 3, 9, 0);  // MPEG-1 Layer III, 44.1 kHz: 417-byte frames

void PutBe32(Bytes& bytes, size_t at, uint32_t v) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (24 - 8 * i));
}
// `count` frames of `header`, zeros after each header.
Bytes Frames(uint32_t header, size_t count) {
    Bytes bytes(FrameLength(header) * count, 0);
    for (size_t i = 0; i < count; ++i) PutBe32(bytes, i * FrameLength(header), header);
    return bytes;
}
// Bytes without a single 0xFF, so they hold no header.
Bytes Junk(size_t size) {
    std::mt19937 rng(1);
    Bytes bytes(size);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng() % 0xFF);
    return bytes;
}
Bytes Id3v1() { return Cat({B("TAG"), Bytes(125, ' ')}); }
// An APEv2 tag: header (when asked), `items` bytes, footer; its size field as given.
Bytes Ape(uint32_t items, bool withHeader, uint32_t sizeField = 0) {
    auto block = [&](bool isHeader) {
        Bytes b = Cat({B("APETAGEX"), Bytes(24, 0)});
        const uint32_t fields[] = {2000, sizeField ? sizeField : items + 32, 1,
                                   (withHeader ? 0x8000'0000u : 0) | (isHeader ? 0x2000'0000u : 0)};
        std::memcpy(b.data() + 8, fields, 16);  // little-endian
        return b;
    };
    return Cat({withHeader ? block(true) : Bytes(), Bytes(items, 'a'), block(false)});
}
std::string Digits(size_t n, size_t width) { return std::string(width - std::to_string(n).size(), '0') + std::to_string(n); }
// Lyrics3 v2: the size of everything from "LYRICSBEGIN" (plus `error`, or `size` as given).
Bytes Lyrics3v2(size_t lyrics, int error = 0, std::string size = "") {
    const std::string tag = "LYRICSBEGININD00003110LYR" + Digits(lyrics, 5) + std::string(lyrics, 'l');
    return B(tag + (size.empty() ? Digits(tag.size() + error, 6) : size) + "LYRICS200");
}
Bytes Lyrics3v1(size_t lyrics) { return B("LYRICSBEGIN" + std::string(lyrics, 'l') + "LYRICSEND"); }

// A file of `bytes`, open as a load opens it (read-ahead) or for plain reads.
struct StreamFile {
    explicit StreamFile(const Bytes& bytes, bool loading = false) {
        test::WriteFileBytes(path, bytes);
        uint32_t error = 0;
        const std::u16string name = NativePath(path);
        EXPECT_TRUE(loading ? file.OpenForLoading(name, error) : file.Open(name, OpenMode::Read, error));
    }
    MpegStreamInfo Info(uint64_t audioStart = 0) { return ReadStreamInfo(file, audioStart); }
    test::TempDir dir;
    std::filesystem::path path = dir / "stream.mp3";
    BinaryFile file;
};

// A header counts only when its stream goes on: a header of the same version, layer and
// sample rate at its frame length, or the end of the audio. ID3v2 tags stacked behind
// the first are skipped whole (a stream inside, say a picture, is not the audio).
TEST(FirstFrame, PastJunkFalseSyncWordsAndStackedTagsWithinTheLimitAcrossReads) {
    const uint32_t mpeg2 = Header(2, 3, 8, 0);  // 64 kbit/s, 22.05 kHz
    auto fakePair = [](uint32_t partner) { return Cat({Frames(kCbr128, 1), BigEndian(partner)}); };
    Bytes fakes = Junk(2048);
    for (size_t at = 7; at + 4 < fakes.size(); at += 301) PutBe32(fakes, at, kCbr128);
    auto trap = [](uint8_t major, uint8_t flags) {  // a tag holding 320 kbit/s frames
        Bytes tag = Tag(major, {}, 3000, flags);
        const Bytes fake = Frames(Header(3, 3, 14, 0), 2);
        std::copy(fake.begin(), fake.end(), tag.begin() + 20);
        return flags ? Cat({tag, Bytes{'3', 'D', 'I', 4, 0, 0x10, 0, 0, 0x17, 0x38}}) : tag;
    };
    const Bytes first = Tag(3, {}, 500), audio = Frames(kCbr128, 4), footed = trap(4, 0x10), oneFrame = Frames(kCbr128, 1);
    Bytes broken = Cat({first, trap(3, 0), audio});
    broken[510 + 6] = 0x7F;  // the second tag reaches beyond the file: no tag
    const uint64_t limit = kFrameSearchLimit;
    const struct {
        const char* what;
        Bytes bytes;
        uint64_t audioStart;
        int64_t first;  // -1: no frame
        uint16_t bitrate;
    } cases[] = {
        {"at the start", Frames(kCbr128, 3), 0, 0, 128},
        {"behind 2 KiB of junk", Cat({Junk(2048), Frames(kCbr128, 3)}), 0, 2048, 128},
        {"behind sync words at the wrong distance", Cat({fakes, Frames(kCbr128, 3)}), 0, 2048, 128},
        {"partner of another sample rate", Cat({fakePair(Header(3, 3, 9, 1)), Frames(mpeg2, 3)}), 0, 421, 64},
        {"partner with reserved emphasis", Cat({fakePair(kCbr128 | 2), Frames(mpeg2, 3)}), 0, 421, 64},
        {"partner of another bitrate, mode, padding", Cat({fakePair(Header(3, 3, 14, 0, 3, 0, 1)), Junk(99)}), 0, 0, 128},
        {"one frame, then the end", Frames(kCbr128, 1), 0, 0, 128},
        {"one frame, then ID3v1", Cat({Frames(kCbr128, 1), Id3v1()}), 0, 0, 128},
        {"one frame, then an APE tag", Cat({Frames(kCbr128, 1), Ape(100, true)}), 0, 0, 128},
        {"one frame, then junk", Cat({Frames(kCbr128, 1), Junk(100)}), 0, -1, 0},
        {"one frame cut short", Bytes(oneFrame.begin(), oneFrame.end() - 1), 0, -1, 0},
        {"nothing", {}, 0, -1, 0},
        {"an audio start beyond the end", Frames(kCbr128, 2), 1000, -1, 0},
        {"junk up to the limit", Cat({Junk(700 + limit - 1), Frames(kCbr128, 3)}), 700, 700 + limit - 1, 128},
        {"junk to the limit", Cat({Junk(700 + limit), Frames(kCbr128, 3)}), 700, -1, 0},
        {"two tags", Cat({first, trap(3, 0), audio}), 510, 510 + 3010, 128},
        {"three tags", Cat({first, trap(3, 0), trap(3, 0), audio}), 510, 510 + 2 * 3010, 128},
        {"second tag with a footer", Cat({first, footed, audio}), 510, 510 + 3020, 128},
        {"the first tag's footer left", Cat({footed, trap(3, 0), audio}), 3010, 3020 + 3010, 128},
        {"a gap before the second tag", Cat({first, Bytes(1, 0), trap(3, 0), audio}), 510, 511 + 20, 320},
        {"a second tag beyond the file", broken, 510, 510 + 20, 320},
    };
    for (const auto& c : cases) {
        for (const bool loading : {false, true}) {
            const MpegStreamInfo info = StreamFile(c.bytes, loading).Info(c.audioStart);
            EXPECT_EQ(c.first < 0 ? -1 : int64_t(info.firstFrame), c.first) << c.what;
            EXPECT_EQ(info.version == MpegVersion::None, c.first < 0) << c.what;
            EXPECT_EQ(info.bitrate, c.bitrate) << c.what;
        }
    }
    // Streams around the ends of the search's reads (the first small read, the 32 KiB
    // blocks with three bytes carried over), each behind a lone sync byte.
    std::vector<size_t> offsets = {0};
    for (size_t edge : {size_t{1024}, size_t{1021 + 32768}, size_t{1021 + 32765 + 32768}}) {
        for (size_t d = 0; d <= 8; ++d) offsets.push_back(edge - 5 + d);
    }
    for (const size_t at : offsets) {
        Bytes bytes(at, 0x00);
        if (at >= 2) bytes[at - 2] = 0xFF;
        for (const bool loading : {false, true}) {
            const MpegStreamInfo info = StreamFile(Cat({bytes, Frames(kCbr128, 2)}), loading).Info();
            EXPECT_EQ(info.firstFrame, at);
            EXPECT_EQ(info.bitrate, 128) << at;
        }
    }
    // Reserved values and free format are no header.
    for (const uint32_t h : {0xFFDB9064u, 0xFFEB9064u, 0xFFF99064u, 0xFFFB0064u, 0xFFFBF064u, 0xFFFB9C64u, 0xFFFB9066u}) {
        EXPECT_FALSE(IsFrameHeader(h)) << std::hex << h;
    }
}

// Xing and Info behind the side information (17/32 bytes for MPEG-1 mono/other, 9/17 for
// MPEG-2 and 2.5), VBRI 32 bytes behind the header; bitrate = rate × bytes ÷ frames ÷
// (samples ÷ 8) ÷ 1000, duration = frames × samples ÷ rate.
TEST(EncoderHeader, XingInfoAndVbri) {
    const uint32_t mono = Header(3, 3, 9, 0, 3), mpeg2 = Header(2, 3, 8, 0);
    const uint32_t crc = Header(3, 3, 9, 0, 1, true);
    const VbrHeader X = VbrHeader::Xing, I = VbrHeader::Info, V = VbrHeader::Vbri, N = VbrHeader::None;
    const struct {
        const char* what;
        uint32_t header;
        size_t at;
        const char* tag;
        uint32_t flags, frames, bytes;
        VbrHeader kind;
        uint16_t bitrate;
        uint32_t duration;
        uint32_t rest = 0;  // the header of the frames behind; 0: the same
    } cases[] = {
        {"Xing, other flag bits", kCbr128, 36, "Xing", 0xF3, 10000, 3000000, X, 91, 261},  // 91.875, 261.2
        {"Xing MPEG-2", mpeg2, 21, "Xing", 3, 5000, 1000000, X, 61, 130},  // 61.25, 130.6
        {"Info: constant bitrate", kCbr128, 36, "Info", 3, 10000, 3000000, I, 128, 261},
        // ffmpeg gives the Info frame a bitrate of its own: the stream's is behind it.
        {"Info frame of 320 kbit/s", Header(3, 3, 14, 0), 36, "Info", 3, 10000, 3000000, I, 128, 261, kCbr128},
        {"Xing without frame count", kCbr128, 36, "Xing", 2, 0, 3000000, X, 0, 0},
        {"Xing frame count 0", kCbr128, 36, "Xing", 3, 0, 3000000, X, 0, 0},
        {"tag is case-sensitive", kCbr128, 36, "xing", 3, 10000, 3000000, N, 128, 0},
        {"mono header, stereo offset", mono, 36, "Xing", 3, 10000, 3000000, N, 128, 0},
        {"stereo header, mono offset", kCbr128, 21, "Xing", 3, 10000, 3000000, N, 128, 0},
        {"MPEG-2 at the MPEG-1 offset", mpeg2, 36, "Xing", 3, 5000, 1000000, N, 64, 0},
        {"CRC, behind the CRC", crc, 38, "Xing", 3, 10000, 3000000, X, 91, 261},
        {"no CRC, two bytes late", kCbr128, 38, "Xing", 3, 10000, 3000000, N, 128, 0},
        // MPEG-2 stereo at 16 kHz, 36-byte frames: the byte count is cut off, so measured.
        {"Xing byte count cut by the frame end", Header(2, 3, 1, 2), 21, "Xing", 3, 300, 20000, X, 0, 10},
        {"Xing byte count inside the frame", Header(2, 3, 2, 2), 21, "Xing", 3, 300, 20000, X, 14, 10},
        {"absurd mean frame: unknown", kCbr128, 36, "Xing", 3, 1, 0xFFFFFFFF, X, 0, 0},
        {"no Xing in Layer II", Header(3, 2, 9, 0), 36, "Xing", 3, 10000, 3000000, N, 160, 0},
        {"VBRI", kCbr128, 36, "VBRI", 0, 10000, 3000000, V, 91, 261},
        {"VBRI MPEG-2", mpeg2, 36, "VBRI", 0, 5000, 1000000, V, 61, 130},
        // MPEG-2 16 kbit/s at 24 kHz: the 48-byte frame ends inside the counts.
        {"VBRI cut by the frame end", Header(2, 3, 2, 1), 36, "VBRI", 0, 5000, 1000000, N, 16, 0},
    };
    for (const auto& c : cases) {
        Bytes bytes = Cat({Frames(c.header, 1), Frames(c.rest ? c.rest : c.header, 3)});
        Bytes fields = B(c.tag);
        if (c.tag == std::string("VBRI")) {
            fields.insert(fields.end(), {0, 1, 0x04, 0x60, 0, 75});  // version, delay, quality
            PutBe32(fields, 10, c.bytes);
            PutBe32(fields, 14, c.frames);
        } else {
            PutBe32(fields, 4, c.flags);
            if (c.flags & 1) PutBe32(fields, fields.size(), c.frames);
            if (c.flags & 2) PutBe32(fields, fields.size(), c.bytes);
        }
        fields.resize(std::min<size_t>(fields.size(), FrameLength(c.header) - c.at));  // the rest is the next frame's
        std::copy(fields.begin(), fields.end(), bytes.begin() + long(c.at));
        const MpegStreamInfo info = StreamFile(bytes).Info();
        EXPECT_EQ(info.vbrHeader, c.kind) << c.what;
        EXPECT_EQ(info.vbr, c.kind == X || c.kind == V) << c.what;
        EXPECT_EQ(info.bitrate, c.bitrate) << c.what;
        EXPECT_EQ(info.duration, c.kind != N ? c.duration : StreamDuration(bytes.size(), c.bitrate)) << c.what;
    }
}

// The tags at the end of the file are not audio: what is left counts for the duration.
TEST(AudioEnd, TagsAtTheEndAreCutOff) {
    const Bytes audio = Frames(kCbr128, 400);  // 166,800 bytes: 10 s at 128 kbit/s
    const size_t lyrics300 = Lyrics3v2(300).size();
    const struct {
        const char* what;
        Bytes tail;
        size_t audioTail;  // bytes of `tail` that are audio after all
    } cases[] = {
        {"nothing", {}, 0},
        {"ID3v1", Id3v1(), 0},
        {"APE tag with header, then ID3v1", Cat({Ape(40000, true), Id3v1()}), 0},
        {"APE tag without header", Ape(40000, false), 0},
        {"APE size below the footer", Ape(0, false, 31), 32},
        {"APE size beyond the audio", Ape(100, false, 200000), 132},
        {"Lyrics3 v2", Lyrics3v2(30000), 0},
        {"Lyrics3 v2, size not digits", Cat({Lyrics3v2(300, 0, "0003x0"), Id3v1()}), lyrics300},
        {"Lyrics3 v2, size one too large", Cat({Lyrics3v2(300, 1), Id3v1()}), lyrics300},
        {"Lyrics3 v2, size one too small", Cat({Lyrics3v2(300, -1), Id3v1()}), lyrics300},
        {"Lyrics3 v1 of 5100 bytes", Cat({Lyrics3v1(5100), Id3v1()}), 0},
        {"Lyrics3 v1 of 5101 bytes", Cat({Lyrics3v1(5101), Id3v1()}), 5101 + 20},
        {"Lyrics3 v1 without lyrics", Cat({Lyrics3v1(0), Id3v1()}), 0},
        {"APE, Lyrics3 v2, ID3v1", Cat({Ape(1000, true), Lyrics3v2(500), Id3v1()}), 0},
        {"Lyrics3 v2, APE, ID3v1", Cat({Lyrics3v2(500), Ape(1000, false), Id3v1()}), 0},
    };
    for (const auto& c : cases) {
        StreamFile f(Cat({audio, c.tail}), true);
        const uint64_t end = audio.size() + c.audioTail;
        EXPECT_EQ(AudioEnd(f.file, 0), end) << c.what;
        const MpegStreamInfo info = f.Info();
        EXPECT_EQ(info.bitrate, 128) << c.what;
        EXPECT_EQ(info.duration, end / 16000) << c.what;
    }
    StreamFile v1Only(Id3v1());  // tags never reach below the floor
    EXPECT_EQ(AudioEnd(v1Only.file, 0), 0u);
    EXPECT_EQ(AudioEnd(v1Only.file, 1), 128u);
}

// Seconds are exact and held at 32 bits: through the file layer on a 600 MiB (sparse)
// file, whose bytes × 8 overflow 32 bits, and for a frame count whose product does.
TEST(Duration, ExactForEverySize) {
    EXPECT_EQ(StreamDuration(std::numeric_limits<uint64_t>::max(), 1), std::numeric_limits<uint32_t>::max());
    StreamFile big(Frames(kCbr128, 2));
    ASSERT_EQ(truncate(big.path.c_str(), off_t{600} << 20), 0);
    EXPECT_EQ(big.Info().duration, 39321u);  // 629,145,600 × 8 ÷ 128,000

    Bytes many = Frames(Header(0, 3, 1, 2, 3), 3);  // 576 samples at 8000 Hz
    std::memcpy(many.data() + 13, "Info", 4);
    PutBe32(many, 17, 1);
    PutBe32(many, 21, 0xFFFFFFFF);
    EXPECT_EQ(StreamFile(many).Info().duration, uint32_t(uint64_t{0xFFFFFFFF} * 576 / 8000));
}

// As a load does it: the read-ahead, the audio start from the tag header.
MpegStreamInfo Analyze(const fs::path& path) {
    StreamFile copy(test::ReadFileBytes(path), true);
    return copy.Info(ReadAudioStart(copy.file));
}

struct Probe {
    std::string codec;
    uint32_t sampleRate = 0;
    double bitrate = 0, duration = 0;  // bit/s, s
};

Probe FfProbe(const fs::path& path) {
    const test::CommandResult r = test::RunCommand({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                                    "stream=codec_name,sample_rate,bit_rate:format=duration", "-of",
                                                    "csv=p=0", path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::string out = r.out;  // "mp3,44100,128000[,...]\n[...]12.04\n"
    std::replace(out.begin(), out.end(), ',', ' ');
    std::istringstream in(out);
    Probe p;
    in >> p.codec >> p.sampleRate >> p.bitrate;
    for (std::string word; in >> word;) p.duration = std::atof(word.c_str());
    return p;
}

// Silent Layer I frames (no subband has bits), which ffmpeg cannot encode: 12 s of
// them, with padding slots where the frame length has a remainder, as an encoder does.
void LayerIFile(const fs::path& path, uint32_t header) {
    const uint32_t rate = FrameSampleRate(header), bps = FrameBitrate(header) * 1000;
    Bytes bytes;
    for (uint64_t i = 0, remainder = 0; i < 12 * rate / 384; ++i) {
        remainder += 12ull * bps % rate;
        const bool pad = remainder >= rate;
        remainder -= pad ? rate : 0;
        PutBe32(bytes, bytes.size(), header | (pad ? 0x200u : 0));
        bytes.resize(bytes.size() - 4 + FrameLength(header | (pad ? 0x200u : 0)), 0);
    }
    test::WriteFileBytes(path, bytes);
}

// `maker`: "lame" and its options, "ffmpeg" and its output options, "layer1" and a header.
void MakeFile(const Strings& maker, int rate, const fs::path& path) {
    const Strings args(maker.begin() + 1, maker.end());
    if (maker[0] == "lame") return test::MakeMp3(path, args, 12.0, rate);
    if (maker[0] == "layer1") return LayerIFile(path, static_cast<uint32_t>(std::stoul(args[0], nullptr, 16)));
    Strings argv = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                    "sine=frequency=440:duration=12", "-ar", std::to_string(rate)};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(path.string());
    ASSERT_EQ(test::RunCommand(argv).status, 0);
}

// Wraps the file sys.argv[1] in a 1 MB cover, APE and ID3v1 tags.
constexpr char kWrapper[] = R"PY(
import sys, random
from mutagen.id3 import ID3, APIC, TIT2
from mutagen.apev2 import APEv2, APEValue, BINARY
path, rng = sys.argv[1], random.Random(5)
a = APEv2()
a['Cover Art (Front)'] = APEValue(b'c.jpg\x00' + bytes(rng.randrange(256) for _ in range(60000)), BINARY)
a.save(path)
t = ID3()
t.add(TIT2(encoding=3, text='Title'))
t.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='cover', data=bytes(i * 7 % 251 for i in range(1000000))))
t.save(path, v2_version=3, v1=2)
)PY";

// Each file against ffprobe; the files marked `wrap` also wrapped in tags by mutagen,
// which change no figure. (Junk and stacked tags in front: the first-frame tests.)
TEST(RealStreams, EveryVersionAndLayerAgreesWithFfprobeAndTagsChangeNothing) {
    using V = MpegVersion;
    const VbrHeader X = VbrHeader::Xing, I = VbrHeader::Info, N = VbrHeader::None;
    const struct {
        const char* what;
        Strings maker;
        int rate;
        MpegVersion version;
        uint8_t layer;
        VbrHeader header;
        bool mono = false, wrap = false;
    } encodes[] = {
        {"MPEG-1 CBR, Info", {"lame", "-b", "128"}, 44100, V::Mpeg1, 3, I, false, true},
        {"MPEG-1 CBR, no header", {"lame", "-b", "128", "-t"}, 44100, V::Mpeg1, 3, N, false, true},
        {"MPEG-1 VBR", {"lame", "-V", "4"}, 44100, V::Mpeg1, 3, X, false, true},
        {"MPEG-1 mono CBR 48 kHz", {"lame", "-m", "m", "-b", "64"}, 48000, V::Mpeg1, 3, I, true},
        {"MPEG-1 mono VBR 32 kHz", {"lame", "-m", "m", "-V", "6"}, 32000, V::Mpeg1, 3, X, true},
        {"MPEG-2 CBR 22.05 kHz", {"lame", "-b", "64"}, 22050, V::Mpeg2, 3, I, false, true},
        {"MPEG-2 VBR 24 kHz", {"lame", "-V", "6"}, 24000, V::Mpeg2, 3, X},
        {"MPEG-2 mono, no header, 16 kHz", {"lame", "-m", "m", "-b", "32", "-t"}, 16000, V::Mpeg2, 3, N, true},
        {"MPEG-2.5 CBR 11.025 kHz", {"lame", "-b", "32"}, 11025, V::Mpeg25, 3, I},
        {"MPEG-2.5 mono VBR 8 kHz", {"lame", "-m", "m", "-V", "7"}, 8000, V::Mpeg25, 3, X, true},
        {"MPEG-2.5, no header, 12 kHz", {"lame", "-b", "24", "-t", "--resample", "12"}, 12000, V::Mpeg25, 3, N},
        {"CRC, CBR", {"lame", "-p", "-b", "128"}, 44100, V::Mpeg1, 3, I},
        {"CRC, MPEG-2 mono VBR", {"lame", "-p", "-m", "m", "-V", "6"}, 22050, V::Mpeg2, 3, X, true},
        {"Layer II 44.1 kHz", {"ffmpeg", "-ac", "2", "-b:a", "192k", "-c:a", "mp2", "-f", "mp2"}, 44100, V::Mpeg1, 2, N},
        {"Layer II 48 kHz 384", {"ffmpeg", "-ac", "2", "-b:a", "384k", "-c:a", "mp2", "-f", "mp2"}, 48000, V::Mpeg1, 2, N},
        {"Layer II MPEG-2 mono", {"ffmpeg", "-ac", "1", "-b:a", "64k", "-c:a", "mp2", "-f", "mp2"}, 22050, V::Mpeg2, 2, N, true},
        // ffmpeg's muxer: an ID3v2 tag, and an Info frame with a bitrate of its own.
        {"ffmpeg's MP3 muxer", {"ffmpeg", "-ac", "1", "-b:a", "32k", "-c:a", "libmp3lame"}, 22050, V::Mpeg2, 3, I, true},
        {"Layer I 384", {"layer1", "FFFFC000"}, 44100, V::Mpeg1, 1, N},
        {"Layer I MPEG-2 mono", {"layer1", "FFF780C0"}, 22050, V::Mpeg2, 1, N, true},
    };
    test::TempDir dir;
    const fs::path path = dir / "stream.mp3";
    for (const auto& e : encodes) {
        MakeFile(e.maker, e.rate, path);
        const Probe probe = FfProbe(path);
        const MpegStreamInfo info = Analyze(path);
        ASSERT_EQ(info.version, e.version) << e.what;
        EXPECT_EQ(info.layer, e.layer) << e.what;
        EXPECT_EQ(probe.codec, "mp" + std::to_string(e.layer)) << e.what;
        EXPECT_EQ(info.sampleRate, probe.sampleRate) << e.what;
        EXPECT_EQ(info.vbrHeader, e.header) << e.what;
        EXPECT_EQ(info.vbr, e.header == X) << e.what;
        EXPECT_EQ(info.channelMode == ChannelMode::SingleChannel, e.mono) << e.what;
        // A VBR mean, or whole kbit/s at low rates, may be off by 1 kbit/s.
        EXPECT_NEAR(info.bitrate * 1000.0, probe.bitrate, std::max(0.02 * probe.bitrate, info.vbr ? 1000.0 : 0.0))
            << e.what;
        EXPECT_GT(probe.duration, 11.0) << e.what;
        EXPECT_NEAR(info.duration, probe.duration, 1.0) << e.what;

        if (!e.wrap) continue;
        const Bytes clean = test::ReadFileBytes(path);
        const test::CommandResult r = test::RunPython(kWrapper, {path.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        const Bytes bytes = test::ReadFileBytes(path);
        const MpegStreamInfo again = Analyze(path);
        auto figures = [](const MpegStreamInfo& i) { return std::tuple(i.bitrate, i.vbr, i.duration, i.header, i.frames); };
        EXPECT_EQ(figures(again), figures(info)) << e.what;
        // The first frame is where the clean file's bytes begin.
        ASSERT_LE(again.firstFrame + clean.size(), bytes.size()) << e.what;
        EXPECT_TRUE(std::equal(clean.begin(), clean.end(), bytes.begin() + long(again.firstFrame))) << e.what;
    }
}

}  // namespace
}  // namespace quorvane

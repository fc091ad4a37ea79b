// The stream analysis on real files made during the test run (lame, ffmpeg, mutagen),
// checked against ffprobe.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>

#include "platform/binary_file.h"
#include "tags/id3v2_header.h"
#include "mp3/mpeg_stream.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

struct Analysis {
    MpegStreamInfo info;
    uint64_t audioStart = 0;
};

// As a load does it: the read-ahead, the audio start from the tag header.
Analysis Analyze(const fs::path& path) {
    BinaryFile file;
    uint32_t error = 0;
    EXPECT_TRUE(file.OpenForLoading(PathFromNative(path.native()), error));
    Analysis a;
    a.audioStart = ReadAudioStart(file);
    a.info = ReadStreamInfo(file, a.audioStart);
    return a;
}

struct Probe {
    std::string codec;
    uint32_t sampleRate = 0;
    double bitrate = 0;  // bit/s
    double duration = 0;
};

Probe FfProbe(const fs::path& path) {
    const test::CommandResult r =
        test::RunCommand({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                          "stream=codec_name,sample_rate,bit_rate:format=duration", "-of", "default=nw=1",
                          path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> values;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    Probe p;
    p.codec = values["codec_name"];
    p.sampleRate = static_cast<uint32_t>(std::atoi(values["sample_rate"].c_str()));
    p.bitrate = std::atof(values["bit_rate"].c_str());
    p.duration = std::atof(values["duration"].c_str());
    return p;
}

void Ffmpeg(const std::vector<std::string>& args, const fs::path& out) {
    std::vector<std::string> argv = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                     "sine=frequency=440:duration=12"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(out.string());
    const test::CommandResult r = test::RunCommand(argv);
    ASSERT_EQ(r.status, 0) << r.err;
}

// Silent Layer I frames (no subband has bits), which ffmpeg cannot encode: 12 s of
// them, with padding slots where the frame length has a remainder, as an encoder does.
void LayerIFile(const fs::path& path, uint32_t header) {
    const uint32_t rate = FrameSampleRate(header), bps = FrameBitrate(header) * 1000;
    std::vector<uint8_t> bytes;
    uint64_t remainder = 0;
    for (uint32_t i = 0; i < 12 * rate / 384; ++i) {
        remainder += 12ull * bps % rate;
        const bool pad = remainder >= rate;
        if (pad) remainder -= rate;
        const uint32_t h = header | (pad ? 0x200u : 0);
        const size_t at = bytes.size();
        bytes.resize(at + FrameLength(h), 0);
        for (int b = 0; b < 4; ++b) bytes[at + b] = uint8_t(h >> (24 - 8 * b));
    }
    test::WriteFileBytes(path, bytes);
}

enum class Maker { Lame, Mp2, FfmpegMp3, LayerI };

struct Encode {
    const char* what;
    Maker maker;
    std::vector<std::string> args;
    int rate;
    MpegVersion version;
    uint8_t layer;
    VbrHeader header;
    bool mono = false;
};

void MakeFile(const Encode& e, const fs::path& path) {
    switch (e.maker) {
        case Maker::Lame: test::MakeMp3(path, e.args, 12.0, e.rate); break;
        case Maker::Mp2: {
            std::vector<std::string> args = {"-ar", std::to_string(e.rate), "-c:a", "mp2", "-f", "mp2"};
            args.insert(args.begin(), e.args.begin(), e.args.end());
            Ffmpeg(args, path);
            break;
        }
        case Maker::FfmpegMp3: {
            std::vector<std::string> args = {"-ar", std::to_string(e.rate), "-c:a", "libmp3lame"};
            args.insert(args.begin(), e.args.begin(), e.args.end());
            Ffmpeg(args, path);
            break;
        }
        case Maker::LayerI: LayerIFile(path, static_cast<uint32_t>(std::stoul(e.args.at(0), nullptr, 16))); break;
    }
}

// Bitrate within 2 % of ffprobe's (for a VBR mean, or within the 1 kbit/s that whole
// kbit/s lose at low rates).
void ExpectCloseBitrate(uint16_t kbit, double bitsPerSecond, bool vbr, const char* what) {
    const double tolerance = vbr ? std::max(0.02 * bitsPerSecond, 1000.0) : 0.02 * bitsPerSecond;
    EXPECT_NEAR(kbit * 1000.0, bitsPerSecond, tolerance) << what;
}

TEST(RealStreams, EveryVersionAndLayerAgreesWithFfprobe) {
    using V = MpegVersion;
    const VbrHeader X = VbrHeader::Xing, I = VbrHeader::Info, N = VbrHeader::None;
    const Encode encodes[] = {
        {"MPEG-1 CBR, Info", Maker::Lame, {"-b", "128"}, 44100, V::Mpeg1, 3, I},
        {"MPEG-1 CBR, no header", Maker::Lame, {"-b", "128", "-t"}, 44100, V::Mpeg1, 3, N},
        {"MPEG-1 VBR", Maker::Lame, {"-V", "4"}, 44100, V::Mpeg1, 3, X},
        {"MPEG-1 mono CBR 48 kHz", Maker::Lame, {"-m", "m", "-b", "64"}, 48000, V::Mpeg1, 3, I, true},
        {"MPEG-1 mono VBR 32 kHz", Maker::Lame, {"-m", "m", "-V", "6"}, 32000, V::Mpeg1, 3, X, true},
        {"MPEG-2 CBR 22.05 kHz", Maker::Lame, {"-b", "64"}, 22050, V::Mpeg2, 3, I},
        {"MPEG-2 VBR 24 kHz", Maker::Lame, {"-V", "6"}, 24000, V::Mpeg2, 3, X},
        {"MPEG-2 mono, no header, 16 kHz", Maker::Lame, {"-m", "m", "-b", "32", "-t"}, 16000, V::Mpeg2, 3, N, true},
        {"MPEG-2.5 CBR 11.025 kHz", Maker::Lame, {"-b", "32"}, 11025, V::Mpeg25, 3, I},
        {"MPEG-2.5 mono VBR 8 kHz", Maker::Lame, {"-m", "m", "-V", "7"}, 8000, V::Mpeg25, 3, X, true},
        {"MPEG-2.5, no header, 12 kHz", Maker::Lame, {"-b", "24", "-t", "--resample", "12"}, 12000, V::Mpeg25, 3, N},
        {"CRC, CBR", Maker::Lame, {"-p", "-b", "128"}, 44100, V::Mpeg1, 3, I},
        {"CRC, VBR", Maker::Lame, {"-p", "-V", "4"}, 44100, V::Mpeg1, 3, X},
        {"CRC, MPEG-2 mono VBR", Maker::Lame, {"-p", "-m", "m", "-V", "6"}, 22050, V::Mpeg2, 3, X, true},
        {"Layer II 44.1 kHz", Maker::Mp2, {"-ac", "2", "-b:a", "192k"}, 44100, V::Mpeg1, 2, N},
        {"Layer II 48 kHz 384", Maker::Mp2, {"-ac", "2", "-b:a", "384k"}, 48000, V::Mpeg1, 2, N},
        {"Layer II MPEG-2 mono", Maker::Mp2, {"-ac", "1", "-b:a", "64k"}, 22050, V::Mpeg2, 2, N, true},
        // ffmpeg's muxer: an ID3v2 tag, and an Info frame with a bitrate of its own.
        {"ffmpeg's MP3 muxer", Maker::FfmpegMp3, {"-ac", "1", "-b:a", "32k"}, 22050, V::Mpeg2, 3, I, true},
        {"Layer I 384", Maker::LayerI, {"FFFFC000"}, 44100, V::Mpeg1, 1, N},
        {"Layer I MPEG-2 mono", Maker::LayerI, {"FFF780C0"}, 22050, V::Mpeg2, 1, N, true},
    };
    TempDir dir;
    for (const Encode& e : encodes) {
        const fs::path path = dir / "stream.mp3";
        MakeFile(e, path);
        const Probe probe = FfProbe(path);
        const MpegStreamInfo info = Analyze(path).info;
        ASSERT_EQ(info.version, e.version) << e.what;
        EXPECT_EQ(info.layer, e.layer) << e.what;
        EXPECT_EQ(probe.codec, "mp" + std::to_string(e.layer)) << e.what;
        EXPECT_EQ(info.sampleRate, probe.sampleRate) << e.what;
        EXPECT_EQ(info.sampleRate, uint32_t(e.rate)) << e.what;
        EXPECT_EQ(info.vbrHeader, e.header) << e.what;
        EXPECT_EQ(info.vbr, e.header == X) << e.what;
        ExpectCloseBitrate(info.bitrate, probe.bitrate, info.vbr, e.what);
        EXPECT_GT(probe.duration, 11.0) << e.what;
        EXPECT_NEAR(info.duration, probe.duration, 1.0) << e.what;
        EXPECT_EQ(info.channelMode == ChannelMode::SingleChannel, e.mono) << e.what;
    }
}

// The file that `base` gives with tags, junk and a second tag around its audio.
struct Wrapped {
    const char* what;
    std::string python;  // run with sys.argv[1] = the file
};

constexpr char kTaggers[] = R"PY(
import sys, random
from mutagen.id3 import ID3, APIC, TIT2, PRIV
from mutagen.apev2 import APEv2, APEValue, BINARY
path, how = sys.argv[1], sys.argv[2]
def tag(extra=None, picture=0):
    t = ID3()
    t.add(TIT2(encoding=3, text='Title'))
    if picture:
        data = bytes((i * 7) % 251 for i in range(picture))
        t.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='cover', data=data))
    if extra:
        t.add(PRIV(owner='trap', data=extra))
    return t
def tag_bytes(t):
    import io, tempfile, os
    with tempfile.NamedTemporaryFile(delete=False) as f:
        name = f.name
    t.save(name, v2_version=3, padding=lambda info: 100)
    data = open(name, 'rb').read()
    os.unlink(name)
    return data
audio = open(path, 'rb').read()
rng = random.Random(5)
if how == 'cover+apev2+v1':
    a = APEv2()
    a['Title'] = 'Title'
    a['Cover Art (Front)'] = APEValue(b'c.jpg\x00' + bytes(rng.randrange(256) for _ in range(60000)), BINARY)
    a.save(path)
    tag(picture=1000000).save(path, v2_version=3, v1=2)
elif how in ('junk', 'tag+junk'):
    # Junk full of sync words: lone headers and the first four bytes of this very file.
    junk = bytearray(rng.randrange(256) for _ in range(2048))
    for at in range(5, 2040, 97):
        junk[at:at + 4] = audio[0:4] if at % 2 else b'\xff\xfb\x90\x64'
    open(path, 'wb').write(bytes(junk) + audio)
    if how == 'tag+junk':
        tag().save(path, v2_version=3)
elif how == 'two tags':
    # The second tag holds a stream of its own (320 kbit/s frames) in a private frame.
    trap = open(sys.argv[3], 'rb').read()[:4000]
    open(path, 'wb').write(tag_bytes(tag()) + tag_bytes(tag(extra=trap)) + audio)
)PY";

TEST(RealStreams, TagsJunkAndStackedTagsLeaveTheFiguresAlone) {
    TempDir dir;
    const fs::path trap = dir / "trap.mp3";
    test::MakeMp3(trap, {"-b", "320", "-t"}, 1.0);
    for (const auto& args : {std::vector<std::string>{"-b", "128", "-t"}, std::vector<std::string>{"-b", "128"},
                             std::vector<std::string>{"-V", "4"}, std::vector<std::string>{"-b", "64"}}) {
        const int rate = args[1] == "64" ? 22050 : 44100;
        const fs::path clean = dir / "clean.mp3";
        test::MakeMp3(clean, args, 12.0, rate);
        const MpegStreamInfo reference = Analyze(clean).info;
        const Probe probe = FfProbe(clean);
        ASSERT_NEAR(reference.duration, probe.duration, 1.0);
        for (const char* how : {"cover+apev2+v1", "junk", "tag+junk", "two tags"}) {
            const std::string what = args[1] + " " + how;
            const fs::path path = dir / "wrapped.mp3";
            fs::copy_file(clean, path, fs::copy_options::overwrite_existing);
            const test::CommandResult r = test::RunPython(kTaggers, {path.string(), how, trap.string()});
            ASSERT_EQ(r.status, 0) << r.err;
            const uint64_t grown = fs::file_size(path) - fs::file_size(clean);
            ASSERT_GT(grown, 2000u) << what;

            const Analysis a = Analyze(path);
            EXPECT_EQ(a.info.bitrate, reference.bitrate) << what;
            EXPECT_EQ(a.info.vbr, reference.vbr) << what;
            EXPECT_EQ(a.info.duration, reference.duration) << what;
            EXPECT_EQ(a.info.header, reference.header) << what;
            EXPECT_EQ(a.info.frames, reference.frames) << what;
            // The audio is the clean file's, at the end or before the tags there.
            const auto bytes = test::ReadFileBytes(path);
            const auto cleanBytes = test::ReadFileBytes(clean);
            ASSERT_LE(a.info.firstFrame + cleanBytes.size(), bytes.size()) << what;
            EXPECT_TRUE(std::equal(cleanBytes.begin(), cleanBytes.end(), bytes.begin() + a.info.firstFrame)) << what;
        }
    }
}

}  // namespace
}  // namespace quorvane

// The writer on real files: lame-made MP3s tagged by mutagen, rewritten with bigger
// and smaller tags; the audio must come through byte for byte and mutagen must read
// the result.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3v2_writer.h"
#include "tags/writer_test_frames.h"

namespace quorvane {
namespace {
namespace fs = std::filesystem;
using test::AudioBytes;
using test::FramesOfLength;
using test::ReadFileBytes;
using test::RunPython;
using test::TempDir;

// Tags the file with mutagen: title, artist, a comment, a picture of `pictureBytes`,
// `padding` bytes of padding, as v2.`version`; `v1` adds an ID3v1 record.
void TagWithMutagen(const fs::path& path, int version, size_t pictureBytes, size_t padding, bool v1) {
    const auto r = RunPython(R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, COMM, APIC
path, version, pic, padding, v1 = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), sys.argv[5] == '1'
t = ID3()
t.add(TIT2(encoding=1, text='Original title'))
t.add(TPE1(encoding=1, text='Artist'))
t.add(COMM(encoding=1, lang='eng', desc='', text='A comment'))
if pic:
    t.add(APIC(encoding=0, mime='image/jpeg', type=3, desc='', data=bytes(range(256)) * (pic // 256)))
t.save(path, v2_version=version, v1=2 if v1 else 0, padding=lambda info: padding)
)",
                             {path.string(), std::to_string(version), std::to_string(pictureBytes),
                              std::to_string(padding), v1 ? "1" : "0"});
    ASSERT_EQ(r.status, 0) << r.err;
}

struct MutagenView {
    std::string version, title, artistLength, length, v1title;
};

MutagenView ReadWithMutagen(const fs::path& path) {
    const auto r = RunPython(R"(
import sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
t = ID3(sys.argv[1])
print('%d.%d' % t.version[:2])
print(t['TIT2'].text[0])
print(len(t['TPE1'].text[0]) if 'TPE1' in t else -1)
print('%.2f' % MP3(sys.argv[1]).info.length)
with open(sys.argv[1], 'rb') as f:
    f.seek(-128, 2)
    rec = f.read(128)
print(rec[3:33].rstrip(b'\0').decode('latin-1') if rec[:3] == b'TAG' else '-')
)",
                             {path.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    MutagenView v;
    std::istringstream lines(r.out);
    std::getline(lines, v.version);
    std::getline(lines, v.title);
    std::getline(lines, v.artistLength);
    std::getline(lines, v.length);
    std::getline(lines, v.v1title);
    return v;
}

struct RealCase {
    const char* name;
    int version;
    size_t picture, padding;
    bool v1;
    size_t frames;
    uint32_t decrease;
    bool use24;
    V2WriteKind kind;
};

TEST(WriterMutagen, AudioSurvivesEveryKindOfWrite) {
    constexpr uint32_t kNever = 4294967295u;
    const RealCase cases[] = {
        {"grow v2.3 to v2.4", 3, 20000, 1024, false, 60000, kNever, true, V2WriteKind::Grow},
        {"shrink in place", 4, 30000, 1024, true, 500, kNever, false, V2WriteKind::InPlace},
        {"cut surplus", 3, 0, 400000, true, 800, 131072, true, V2WriteKind::Cut},
        {"keep surplus", 3, 0, 400000, false, 800, kNever, false, V2WriteKind::InPlace},
        {"no tag before", 0, 0, 0, true, 3000, kNever, true, V2WriteKind::Insert},
    };
    for (const RealCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const fs::path path = dir / "song.mp3";
        test::MakeMp3(path, {"-b", "128"}, 1.5);
        if (c.version != 0) TagWithMutagen(path, c.version, c.picture, c.padding, c.v1);
        const auto before = ReadFileBytes(path);
        const auto beforeView = c.version != 0 ? ReadWithMutagen(path) : MutagenView{};

        BinaryFile file;
        uint32_t error = 0;
        ASSERT_TRUE(file.Open(PathFromNative(path.string()), OpenMode::Update, error));
        const auto frames = FramesOfLength(c.frames, "New title", c.use24);
        const auto plan = WriteV2Frames(frames, file, PathFromNative(path.string()), {c.use24, c.decrease, nullptr});
        file.Close();
        EXPECT_EQ(plan.kind, c.kind);

        const auto after = ReadFileBytes(path);
        EXPECT_EQ(after.size(), plan.newLength);
        EXPECT_TRUE(AudioBytes(before) == AudioBytes(after)) << "audio changed";
        if (c.kind != V2WriteKind::InPlace) {
            EXPECT_EQ(after.size() % 4096, 0u);
        }
        const MutagenView view = ReadWithMutagen(path);
        EXPECT_EQ(view.version, c.use24 ? "2.4" : "2.3");
        EXPECT_EQ(view.title, "New title");
        // TIT2 takes 20 bytes, the TPE1 header and encoding 11: the rest is its text.
        EXPECT_EQ(view.artistLength, std::to_string(c.frames - 20 - 11));
        if (c.version != 0) {
            EXPECT_EQ(view.length, beforeView.length);
            EXPECT_EQ(view.v1title, beforeView.v1title);
        }
        EXPECT_EQ(view.v1title, c.v1 && c.version != 0 ? "Original title" : "-");
    }
}

}  // namespace
}  // namespace quorvane

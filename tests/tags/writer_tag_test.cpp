// WriteV2 and RemoveV2 on the tag model: the changed marks decide, the settings
// "Use2.4" and "DecreasePaddingVal" are obeyed, and mutagen reads what was written.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "support/test_support.h"
#include "tags/id3_tag.h"
#include "tags/id3v2_reader.h"
#include "tags/id3v2_writer.h"
#include "tags/writer_test_frames.h"

namespace quorvane {
namespace {
namespace fs = std::filesystem;
using test::AudioBytes;
using test::ReadFileBytes;
using test::RunPython;
using test::TempDir;

ino_t Inode(const fs::path& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_ino;
}

// Fails the test at the first write or step: proves that nothing is written.
class NoWrites : public SaveFaults {
public:
    void BeforeWrite(uint64_t) override { throw FileException{EROFS}; }
    void BeforeStep(SaveStep) override { throw FileException{EROFS}; }
};

class WriterTag : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SettingsStore::Instance().OpenAt((dir_ / "settings.ini").string()));
        path_ = dir_ / "song.mp3";
        test::MakeMp3(path_, {"-b", "128"}, 1.5);
        const auto r = RunPython(R"(
import sys
from mutagen.id3 import ID3, TIT2, TPE1, COMM
t = ID3()
t.add(TIT2(encoding=1, text='Original title'))
t.add(TPE1(encoding=1, text='Artist'))
t.add(COMM(encoding=1, lang='eng', desc='', text='A comment'))
t.save(sys.argv[1], v2_version=3, v1=2, padding=lambda info: 1024)
)",
                                 {path_.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        ASSERT_TRUE(file_.Open(Path(), OpenMode::Update, error_));
        ASSERT_GT(ReadV2(tag_, file_), 0u);
        tag_.ClearChanged();
        audio_ = AudioBytes(ReadFileBytes(path_));
    }

    std::u16string Path() const { return PathFromNative(path_.string()); }

    // version, title, artist, picture length, duration
    std::vector<std::string> Mutagen() {
        const auto r = RunPython(R"(
import sys
from mutagen.id3 import ID3
from mutagen.mp3 import MP3
t = ID3(sys.argv[1])
pics = t.getall('APIC')
print('%d.%d' % t.version[:2])
print(t['TIT2'].text[0])
print(t['TPE1'].text[0])
print(len(pics[0].data) if pics else 0)
print('%.2f' % MP3(sys.argv[1]).info.length)
)",
                                 {path_.string()});
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> lines;
        std::istringstream in(r.out);
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    TempDir dir_;
    fs::path path_;
    BinaryFile file_;
    uint32_t error_ = 0;
    Id3Tag tag_;
    std::vector<uint8_t> audio_;
};

TEST_F(WriterTag, UnchangedTagWritesNothing) {
    const auto before = ReadFileBytes(path_);
    NoWrites faults;
    EXPECT_NO_THROW(WriteV2(tag_, file_, Path(), &faults));
    EXPECT_EQ(ReadFileBytes(path_), before);
}

TEST_F(WriterTag, FitsGrowsAndShrinksAsTheSettingsSay) {
    const std::string duration = Mutagen()[4];

    // A shorter title fits: written in place, v2.4 by default.
    tag_.SetText(kFrameTIT2, u"Changed");
    ASSERT_TRUE(tag_.IsChanged());
    const ino_t inode = Inode(path_);
    const auto sizeBefore = fs::file_size(path_);
    WriteV2(tag_, file_, Path());
    EXPECT_FALSE(tag_.IsChanged());
    EXPECT_EQ(Inode(path_), inode);
    EXPECT_EQ(fs::file_size(path_), sizeBefore);
    EXPECT_EQ(Mutagen(), (std::vector<std::string>{"2.4", "Changed", "Artist", "0", duration}));
    EXPECT_EQ(AudioBytes(ReadFileBytes(path_)), audio_);

    // A 200 KB picture does not: the audio moves to a new file, and the handle follows.
    std::vector<uint8_t> picture(200000);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 7);
    tag_.SetPicture(3, "image/jpeg", u"", picture);
    WriteV2(tag_, file_, Path());
    EXPECT_NE(Inode(path_), inode);
    EXPECT_EQ(fs::file_size(path_) % 4096, 0u);
    EXPECT_EQ(Mutagen(), (std::vector<std::string>{"2.4", "Changed", "Artist", "200000", duration}));
    EXPECT_EQ(AudioBytes(ReadFileBytes(path_)), audio_);
    const auto grown = ReadFileBytes(path_);
    Id3Tag again;
    EXPECT_EQ(ReadV2(again, file_), ParseV2Header(grown.data(), grown.size())->Extent());
    EXPECT_NE(again.FindPicture(3), nullptr);

    // Without the picture the surplus padding exceeds 128 KB and is cut out; v2.3 now.
    SettingsStore::Instance().WriteBool("Use2.4", false);
    SettingsStore::Instance().WriteNumber("DecreasePaddingVal", 131072);
    tag_.SetPicture(3, "", u"", {});
    WriteV2(tag_, file_, Path());
    EXPECT_LT(fs::file_size(path_), sizeBefore + 4096);
    EXPECT_EQ(fs::file_size(path_) % 4096, 0u);
    EXPECT_EQ(Mutagen(), (std::vector<std::string>{"2.3", "Changed", "Artist", "0", duration}));
    EXPECT_EQ(AudioBytes(ReadFileBytes(path_)), audio_);
}

TEST_F(WriterTag, RemoveTakesTheTagAndClearsTheMarks) {
    tag_.SetText(kFrameTIT2, u"Will go");
    const auto before = ReadFileBytes(path_);
    RemoveV2(tag_, file_, Path());
    EXPECT_FALSE(tag_.IsChanged());
    const auto after = ReadFileBytes(path_);
    // Audio and the ID3v1 record, nothing else.
    ASSERT_EQ(after.size(), audio_.size() + 128);
    EXPECT_TRUE(std::equal(audio_.begin(), audio_.end(), after.begin()));
    EXPECT_TRUE(std::equal(before.end() - 128, before.end(), after.end() - 128));
    const auto r = RunPython(R"(
import sys
from mutagen.id3 import ID3, ID3NoHeaderError
try:
    ID3(sys.argv[1], load_v1=False); print('tag')
except ID3NoHeaderError:
    print('none')
)",
                             {path_.string()});
    EXPECT_EQ(r.out, "none\n");
}

TEST_F(WriterTag, HugeFileIsRefusedAndTheTagStaysChanged) {
    file_.Close();
    fs::resize_file(path_, uint64_t{1} << 32);  // sparse
    ASSERT_TRUE(file_.Open(Path(), OpenMode::Update, error_));
    tag_.SetText(kFrameTIT2, u"Too big");
    try {
        WriteV2(tag_, file_, Path());
        ADD_FAILURE() << "written";
    } catch (const FileException& e) {
        EXPECT_EQ(e.error, kErrorFileTooLarge);
    }
    EXPECT_TRUE(tag_.IsChanged());
    EXPECT_EQ(fs::file_size(path_), uint64_t{1} << 32);
}

TEST_F(WriterTag, FailedSaveKeepsTheTagChangedAndTheFileIntact) {
    const auto before = ReadFileBytes(path_);
    std::vector<uint8_t> picture(50000, 0x42);
    tag_.SetPicture(3, "image/png", u"cover", picture);  // grows: the audio must move
    class FullDisk : public SaveFaults {
    public:
        void BeforeWrite(uint64_t count) override {
            if ((written += count) > 30000) throw FileException{ENOSPC};
        }
        uint64_t written = 0;
    } faults;
    try {
        WriteV2(tag_, file_, Path(), &faults);
        ADD_FAILURE() << "written";
    } catch (const FileException& e) {
        EXPECT_EQ(e.error, static_cast<uint32_t>(ENOSPC));
    }
    EXPECT_TRUE(tag_.IsChanged());
    EXPECT_EQ(ReadFileBytes(path_), before);
    for (const auto& entry : fs::directory_iterator(dir_.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(kRewriteTempMarker), std::string::npos) << entry.path();
    }

    // The next save goes through.
    WriteV2(tag_, file_, Path());
    EXPECT_FALSE(tag_.IsChanged());
    EXPECT_EQ(Mutagen()[3], "50000");
    EXPECT_EQ(AudioBytes(ReadFileBytes(path_)), audio_);
}

}  // namespace
}  // namespace quorvane

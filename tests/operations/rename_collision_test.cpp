// Renames from tags carried out by the save: a new name that another file has, or will
// have first, is refused with "Couldn't rename" and no file is ever replaced.
#include <gtest/gtest.h>

#include <filesystem>

#include "library/edit_gate.h"
#include "library/mp3_file_record.h"
#include "library/save_record.h"
#include "operations/rename_from_tags.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

class RenameCollision : public ::testing::Test {
protected:
    RecordPtr Load(const std::string& name, const char* title) {
        const SharedText directory(PathFromNative(dir_.Path().string()));
        auto record = std::make_shared<Mp3FileRecord>(directory, U16(name), directory);
        EXPECT_TRUE(record->LoadFile(prompts_, LoadOptions{}));
        record->Tag().SetText(kFrameTIT2, U16(title));
        return record;
    }
    void Make(const std::string& name) { test::MakeMp3(dir_ / name, {"-b", "64"}, 0.5); }
    void RenameAndSave(const std::vector<RecordPtr>& records) {
        const auto plan = PrepareRename(u"<title>", records, NoSaveRunning(), prompts_, nullptr);
        ASSERT_TRUE(plan);
        ApplyRenames(*plan);
        for (const RecordPtr& record : records) SaveRecord(*record, prompts_, TagWriteOptions{});
    }
    std::vector<std::u16string> Messages() const {
        std::vector<std::u16string> texts;
        for (const auto& shown : prompts_.Prompts()) texts.push_back(shown.text);
        return texts;
    }
    test::TempDir dir_;
    test::RecordingPrompts prompts_;
};

TEST_F(RenameCollision, TwoFilesGivenTheSameNameKeepTheirOwn) {
    Make("a.mp3");
    Make("b.mp3");
    const RecordPtr a = Load("a.mp3", "Same");
    const RecordPtr b = Load("b.mp3", "Same");
    const auto bBefore = test::ReadFileBytes(dir_ / "b.mp3");
    RenameAndSave({a, b});

    EXPECT_EQ(Messages(), std::vector<std::u16string>{u"Couldn't rename \"b.mp3\" to \"Same.mp3\"."});
    EXPECT_EQ(a->DiskName(), u"Same.mp3");
    EXPECT_EQ(b->DiskName(), u"b.mp3");
    EXPECT_TRUE(b->NeedsSaving());  // the rename is tried again by the next save
    // b's tag went to b's file, under its old name; a's file is untouched by it.
    EXPECT_TRUE(fs::exists(dir_ / "b.mp3"));
    EXPECT_NE(test::ReadFileBytes(dir_ / "b.mp3"), bBefore);
    Mp3FileRecord reread(SharedText(PathFromNative(dir_.Path().string())), u"Same.mp3", SharedText());
    ASSERT_TRUE(reread.LoadFile(prompts_, LoadOptions{}));
    EXPECT_EQ(reread.Tag().GetText(kFrameTIT2), u"Same");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 2);
}

TEST_F(RenameCollision, ANameTakenOnDiskIsNeverReplaced) {
    Make("a.mp3");
    test::WriteFileBytes(dir_ / "Taken.mp3", {'k', 'e', 'e', 'p'});
    const RecordPtr a = Load("a.mp3", "Taken");
    RenameAndSave({a});
    EXPECT_EQ(Messages(), std::vector<std::u16string>{u"Couldn't rename \"a.mp3\" to \"Taken.mp3\"."});
    EXPECT_EQ(test::ReadFileBytes(dir_ / "Taken.mp3"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_TRUE(fs::exists(dir_ / "a.mp3"));
}

TEST_F(RenameCollision, SwappedNamesAreBothRefused) {
    Make("One.mp3");
    Make("Two.mp3");
    const auto one = test::ReadFileBytes(dir_ / "One.mp3");
    const RecordPtr a = Load("One.mp3", "Two");
    const RecordPtr b = Load("Two.mp3", "One");
    RenameAndSave({a, b});
    EXPECT_EQ(Messages(), (std::vector<std::u16string>{u"Couldn't rename \"One.mp3\" to \"Two.mp3\".",
                                                        u"Couldn't rename \"Two.mp3\" to \"One.mp3\"."}));
    Mp3FileRecord reread(SharedText(PathFromNative(dir_.Path().string())), u"One.mp3", SharedText());
    ASSERT_TRUE(reread.LoadFile(prompts_, LoadOptions{}));
    EXPECT_EQ(reread.Tag().GetText(kFrameTIT2), u"Two");  // still One.mp3's own file, with its new tag
}

TEST_F(RenameCollision, ANewLetterCaseIsARename) {
    Make("song.mp3");
    const RecordPtr a = Load("song.mp3", "Song");
    RenameAndSave({a});
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(a->DiskName(), u"Song.mp3");
    EXPECT_TRUE(fs::exists(dir_ / "Song.mp3"));
    EXPECT_FALSE(fs::exists(dir_ / "song.mp3"));
    EXPECT_FALSE(a->NeedsSaving());
}

}  // namespace
}  // namespace quorvane

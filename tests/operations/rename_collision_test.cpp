// Renames carried out by the save (two records on real files): a new name that another
// file has, or gets first, is refused with "Couldn't rename"; no file is ever replaced.
#include <gtest/gtest.h>

#include <filesystem>

#include "library/edit_gate.h"
#include "library/save_record.h"
#include "operations/rename_from_tags.h"
#include "platform/text_codec.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

TEST(RenameCollision, NoRenameReplacesAFile) {
    test::TempDir dir;
    const SharedText directory(PathFromNative(dir.Path().string()));
    std::vector<RecordPtr> records;
    for (const auto& [name, title] : {std::pair{"a.mp3", "Same"}, {"b.mp3", "Same"}, {"c.mp3", "Taken"}, {"d.mp3", "D"}}) {
        test::MakeMp3(dir / name, {"-b", "64"}, 0.5);
        records.push_back(std::make_shared<Mp3FileRecord>(directory, U16(name), directory));
        test::RecordingPrompts quiet;
        ASSERT_TRUE(records.back()->LoadFile(quiet, LoadOptions{}));
        records.back()->Tag().SetText(kFrameTIT2, U16(title));
    }
    test::WriteFileBytes(dir / "Taken.mp3", {'k'});
    test::RecordingPrompts prompts;
    ApplyRenames(*PrepareRename(u"<title>", records, NoSaveRunning(), prompts, nullptr));
    for (const RecordPtr& record : records) SaveRecord(*record, prompts, TagWriteOptions{});

    std::vector<std::u16string> messages;
    for (const auto& shown : prompts.Prompts()) messages.push_back(shown.text);
    EXPECT_EQ(messages, (std::vector<std::u16string>{u"Couldn't rename \"b.mp3\" to \"Same.mp3\".",
                                                      u"Couldn't rename \"c.mp3\" to \"Taken.mp3\"."}));
    EXPECT_EQ(test::ReadFileBytes(dir / "Taken.mp3"), std::vector<uint8_t>{'k'});
    EXPECT_EQ(records[1]->DiskName(), u"b.mp3");
    EXPECT_TRUE(records[1]->NeedsSaving());  // the next save tries again
    EXPECT_EQ(records[3]->DiskName(), u"D.mp3");  // a new letter case is a rename like any
    // Each file still holds its own tag, under the name it has.
    for (const auto& [name, title] : {std::pair{u"Same.mp3", u"Same"}, {u"b.mp3", u"Same"}, {u"c.mp3", u"Taken"}}) {
        Mp3FileRecord reread(directory, name, directory);
        ASSERT_TRUE(reread.LoadFile(prompts, LoadOptions{}));
        EXPECT_EQ(reread.Tag().GetText(kFrameTIT2), title);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 5);
}

}  // namespace
}  // namespace quorvane

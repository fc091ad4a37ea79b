// The per-file save (edits and removals end to end are the command-line tests'): HasV1
// kept true to disk, the rename after the tags, failures reported once.
#include "library/save_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "platform/file_rewrite.h"
#include "record_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::RecordFiles;

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// "Remove ID3v1" is offered only for a tag on disk, so HasV1 must follow every save:
// a first ID3v1 tag written, one emptied away, one removed on request.
TEST_F(RecordFiles, HasV1StaysTrueToTheDisk) {
    const fs::path path = dir_ / "t.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 3, {"TIT2=Title"}, false);
    auto r = test::LoadRecord(path, prompts_);
    ASSERT_FALSE(r->HasV1());
    const struct {
        std::function<void(Mp3FileRecord&)> edit;
        bool hasV1;
        const char* view;
    } steps[] = {
        {[](Mp3FileRecord& m) { m.Tag().V1().SetString(Id3v1Record::kTitle, u"First"); }, true, "v1=First"},
        {[](Mp3FileRecord& m) { m.Tag().V1().SetString(Id3v1Record::kTitle, u""); }, false, "v1=none"},
        {[](Mp3FileRecord& m) { m.Tag().V1().SetString(Id3v1Record::kTitle, u"Again"); }, true, "v1=Again"},
        {[](Mp3FileRecord& m) { m.RequestRemoveV1(); }, false, "v1=none"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.view);
        step.edit(*r);
        ASSERT_TRUE(r->NeedsSaving());
        SaveRecord(*r, prompts_, {});
        EXPECT_EQ(r->HasV1(), step.hasV1);
        EXPECT_TRUE(test::MutagenView(path).ends_with(step.view)) << test::MutagenView(path);
        EXPECT_EQ(test::LoadRecord(path, prompts_)->HasV1(), step.hasV1);
    }
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RecordFiles, RenameOnlyRenamesWithoutOpeningAndNeverReplaces) {
    const fs::path path = dir_ / "old.mp3";
    test::MakeMp3(path, {"-b", "128"});
    const auto bytes = ReadFileBytes(path);
    auto r = test::LoadRecord(path, prompts_);
    r->SetFileName(u"new.mp3");
    BinaryFile holder = test::OpenForSave(path);  // an open for the save would be refused and reported
    SaveRecord(*r, prompts_, {});
    holder.Close();
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{"new.mp3"});
    EXPECT_EQ(ReadFileBytes(dir_ / "new.mp3"), bytes);
    EXPECT_EQ(r->DiskName(), u"new.mp3");
    EXPECT_FALSE(r->NeedsSaving());

    test::WriteFileBytes(dir_ / "taken.mp3", {'k'});
    r->SetFileName(u"taken.mp3");
    SaveRecord(*r, prompts_, {});
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].kind, "error");
    EXPECT_EQ(p[0].caption, ProgramTitle());
    EXPECT_EQ(p[0].text, u"Couldn't rename \"new.mp3\" to \"taken.mp3\".");
    EXPECT_EQ(r->DiskName(), u"new.mp3");
    EXPECT_TRUE(r->NeedsSaving());  // the next save tries again
}

TEST_F(RecordFiles, ReadOnlyFileIsReportedAndItsRenameStillTried) {
    const fs::path path = dir_ / "ro.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 4, {"TIT2=T"}, true);
    const auto bytes = ReadFileBytes(path);
    auto r = test::LoadRecord(path, prompts_);
    r->Tag().SetText(kFrameTIT2, u"New");
    r->RequestRemoveV1();
    r->SetFileName(u"renamed.mp3");
    // Root writes to any file: an immutable one (which cannot be renamed either) then.
    const bool root = geteuid() == 0;
    if (root && test::RunCommand({"chattr", "+i", path.string()}).status != 0) GTEST_SKIP() << "no chattr";
    if (!root) fs::permissions(path, fs::perms::owner_read);
    SaveRecord(*r, prompts_, {});
    if (root) test::RunCommand({"chattr", "-i", path.string()});
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), root ? 2u : 1u);
    EXPECT_TRUE(p[0].text.starts_with(u"Error when opening file \"" + r->DiskPath() + u"\":\n")) << U8(p[0].text);
    EXPECT_EQ(p.back().text, root ? u"Couldn't rename \"ro.mp3\" to \"renamed.mp3\"." : p[0].text);
    EXPECT_EQ(r->DiskName(), root ? u"ro.mp3" : u"renamed.mp3");
    EXPECT_FALSE(r->RemoveV1Requested());  // requests are cleared whatever happened
    EXPECT_EQ(ReadFileBytes(PathToNative(r->DiskPath())), bytes);
}

// The rewrite keeps the original whatever step fails (its own tests try every one); the
// save adds one report of the failure and the rename, which still runs.
TEST_F(RecordFiles, AFailedSaveIsReportedOnceAndStillRenames) {
    const fs::path path = dir_ / "song.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 3, {"TIT2=Title"}, false);
    const auto original = ReadFileBytes(path);
    auto r = test::LoadRecord(path, prompts_);
    r->Tag().SetText(kFrameTALB, std::u16string(20000, u'a'));  // the audio moves
    r->SetFileName(u"renamed.mp3");
    struct : SaveFaults {
        void BeforeStep(SaveStep step) override {
            if (step == SaveStep::SyncTemp) throw FileException{ENOSPC};
        }
    } full;
    SaveRecord(*r, prompts_, {.faults = &full});
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].text, u"Error when saving ID3 tags to \"" + PathFromNative(path.string()) + u"\":\n" +
                             U16(std::strerror(ENOSPC)));
    EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{"renamed.mp3"});
    EXPECT_EQ(ReadFileBytes(dir_ / "renamed.mp3"), original);
    EXPECT_TRUE(r->Tag().IsChanged());  // the next save tries again
}

}  // namespace
}  // namespace quorvane

// Records of real files (lame output tagged by mutagen): loading, what makes a record
// need saving, and the per-file save (edits and removals end to end are the command-line
// tests'): HasV1 kept true to disk, the rename after the tags, failures reported once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>

#include "library/list_columns.h"
#include "library/mp3_file_record.h"
#include "library/picture_decoder.h"
#include "library/save_record.h"
#include "platform/file_rewrite.h"
#include "platform/text_codec.h"
#include "support/mutagen_support.h"
#include "support/test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;

RecordPtr LoadRecord(const fs::path& path, UserPrompts& prompts, const LoadOptions& options = {}) {
    const SharedText dir(PathFromNative(path.parent_path().string()));
    auto record = std::make_shared<Mp3FileRecord>(dir, PathFromNative(path.filename().string()), dir);
    record->LoadFile(prompts, options);
    return record;
}

std::vector<std::string> Names(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RecordFiles : public ::testing::Test {
protected:
    test::TempDir dir_;
    test::RecordingPrompts prompts_;
};

// What was read is the saved state; a picture is not decoded until it is shown; ID3v1
// is copied into new ID3v2 frames only when asked and only without ID3v2; the list shows
// minutes not wrapped into hours (tags and figures on their own are the codecs' and the
// command-line tests').
TEST_F(RecordFiles, LoadedRecordsAreSavedStateAndLongDurationsKeepTheirMinutes) {
    const fs::path path = dir_ / "song.mp3", v1only = dir_ / "v1.mp3";
    test::MakeMp3(path, {"-b", "128", "-t"}, 3.0);
    test::TagWithMutagen(path, 3, {"TIT2=Title ä", "APIC=5000"}, true);
    test::MakeMp3(v1only, {"-b", "96"});
    test::TagWithMutagen(v1only, 0, {"TIT2=Old Title", "TPE1=Someone"}, true);
    ASSERT_EQ(test::MutagenView(v1only), "v2=none v1=Old Title");
    LoadOptions convert;
    convert.autoConvertToV2 = true;
    const uint64_t decodes = PictureDecodeCount();
    auto r = LoadRecord(path, prompts_, convert);
    EXPECT_EQ(PictureDecodeCount(), decodes);
    ASSERT_TRUE(r->Tag().FindPicture(3));
    EXPECT_EQ(r->Tag().V1().GetString(Id3v1Record::kTitle), u"Title ä");
    EXPECT_TRUE(r->HasV1());
    EXPECT_FALSE(r->NeedsSaving());  // it has ID3v2: nothing is copied
    EXPECT_EQ(BitrateText(*r), u"128");
    EXPECT_FALSE(LoadRecord(v1only, prompts_)->NeedsSaving());
    auto c = LoadRecord(v1only, prompts_, convert);
    EXPECT_TRUE(c->NeedsSaving());  // the next save writes the new frames
    EXPECT_EQ(c->Tag().GetText(kFrameTIT2), u"Old Title");
    EXPECT_EQ(c->Tag().GetText(kFrameTPE1), u"Someone");
    ASSERT_EQ(truncate(path.c_str(), 3725 * 16000 + 8000), 0);  // 62:05 of audio behind the tag
    EXPECT_EQ(DurationText(*LoadRecord(path, prompts_)), u"62:05");
    EXPECT_EQ(prompts_.Count(), 0u);
}

// A rename or a removal request makes a record need saving. "Remove ID3v1" is offered
// only for a tag on disk, so HasV1 must follow every save: a first ID3v1 tag written,
// one emptied away, one removed on request.
TEST_F(RecordFiles, RenamesAndRemovalsNeedSavingAndHasV1StaysTrueToTheDisk) {
    const fs::path path = dir_ / "a.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 3, {"TIT2=Title"}, false);
    auto r = LoadRecord(path, prompts_);
    ASSERT_FALSE(r->HasV1());
    r->RequestRemoveV1();  // without an ID3v1 tag there is nothing to remove
    EXPECT_FALSE(r->RemoveV1Requested() || r->NeedsSaving());
    r->SetFileName(u"A.mp3");  // case-sensitive
    EXPECT_TRUE(r->NeedsSaving());
    r->SetFileName(u"a/b:c?.mp3");
    EXPECT_EQ(r->FileName(), u"a b c .mp3");
    r->SetFileName(r->DiskName());
    EXPECT_FALSE(r->NeedsSaving());

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
        EXPECT_EQ(LoadRecord(path, prompts_)->HasV1(), step.hasV1);
        if (!step.hasV1) continue;
        r->RequestRemoveV1();
        EXPECT_TRUE(r->RemoveV1Requested() && r->Tag().V1().IsEmpty() && r->NeedsSaving());
        r->CancelRemoveV1();
        EXPECT_FALSE(r->RemoveV1Requested());
    }
    r->RequestRemoveV2();
    EXPECT_TRUE(r->RemoveV2Requested() && r->Tag().Frames().empty());
    EXPECT_EQ(prompts_.Count(), 0u);
}

// A rename alone never opens the file: one held by another writer is renamed without a
// word. A save that cannot open it reports that, clears the requests and still renames;
// a rename never replaces a file.
TEST_F(RecordFiles, RenamesRunWithoutOpeningOrAfterAFailedOpenAndNeverReplace) {
    const fs::path path = dir_ / "old.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 4, {"TIT2=T"}, true);
    const auto bytes = ReadFileBytes(path);
    auto r = LoadRecord(path, prompts_);
    BinaryFile holder = test::OpenForSave(path);
    r->SetFileName(u"new.mp3");
    SaveRecord(*r, prompts_, {});
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(r->DiskName(), u"new.mp3");
    EXPECT_FALSE(r->NeedsSaving());

    r->Tag().SetText(kFrameTIT2, u"New");
    r->RequestRemoveV1();
    r->SetFileName(u"renamed.mp3");
    SaveRecord(*r, prompts_, {});
    holder.Close();
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_EQ(prompts_.Prompts()[0].text, u"Error when opening file \"" + PathFromNative((dir_ / "new.mp3").string()) +
                                               u"\":\nThe file is being used by another process.");
    EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{"renamed.mp3"});
    EXPECT_EQ(ReadFileBytes(dir_ / "renamed.mp3"), bytes);
    EXPECT_FALSE(r->RemoveV1Requested());  // requests are cleared whatever happened

    test::WriteFileBytes(dir_ / "taken.mp3", {'k'});
    r->SetFileName(u"taken.mp3");
    SaveRecord(*r, prompts_, {});
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].kind, "error");
    EXPECT_EQ(p[1].caption, ProgramTitle());
    EXPECT_EQ(p[1].text, u"Couldn't rename \"renamed.mp3\" to \"taken.mp3\".");
    EXPECT_EQ(r->DiskName(), u"renamed.mp3");
    EXPECT_TRUE(r->NeedsSaving());  // the next save tries again
}

// The rewrite keeps the original whatever step fails (its own tests try every one); the
// save adds one report of the failure and the rename, which still runs.
TEST_F(RecordFiles, AFailedSaveIsReportedOnceAndStillRenames) {
    const fs::path path = dir_ / "song.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 3, {"TIT2=Title"}, false);
    const auto original = ReadFileBytes(path);
    auto r = LoadRecord(path, prompts_);
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

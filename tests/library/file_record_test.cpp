// Loading a record from a real file, and what makes a record need saving.
#include "library/mp3_file_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "library/list_columns.h"
#include "library/picture_decoder.h"
#include "record_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::RecordFiles;

// What was read is the saved state; a picture is not decoded until it is shown; the list
// shows minutes not wrapped into hours (tags and figures on their own are the codecs'
// and the command-line tests').
TEST_F(RecordFiles, LoadedRecordsAreSavedStateAndLongDurationsKeepTheirMinutes) {
    const fs::path path = dir_ / "song.mp3";
    test::MakeMp3(path, {"-b", "128", "-t"}, 3.0);
    test::TagWithMutagen(path, 3, {"TIT2=Title ä", "APIC=5000"}, true);
    const uint64_t decodes = PictureDecodeCount();
    auto r = test::LoadRecord(path, prompts_);
    EXPECT_EQ(PictureDecodeCount(), decodes);
    ASSERT_TRUE(r->Tag().FindPicture(3));
    EXPECT_EQ(r->Tag().V1().GetString(Id3v1Record::kTitle), u"Title ä");
    EXPECT_TRUE(r->HasV1());
    EXPECT_FALSE(r->NeedsSaving());
    EXPECT_EQ(BitrateText(*r), u"128");
    ASSERT_EQ(truncate(path.c_str(), 3725 * 16000 + 8000), 0);  // 62:05 of audio behind the tag
    EXPECT_EQ(DurationText(*test::LoadRecord(path, prompts_)), u"62:05");
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RecordFiles, AutoConvertCopiesV1OnlyWhenAskedAndOnlyWithoutV2) {
    const fs::path v1only = dir_ / "v1.mp3", both = dir_ / "both.mp3";
    test::MakeMp3(v1only, {"-b", "96"});
    test::TagWithMutagen(v1only, 0, {"TIT2=Old Title", "TPE1=Someone"}, true);
    ASSERT_EQ(test::MutagenView(v1only), "v2=none v1=Old Title");
    test::MakeMp3(both, {"-b", "96"});
    test::TagWithMutagen(both, 4, {"TIT2=Two"}, true);
    const LoadOptions convert{.autoConvertToV2 = true};
    EXPECT_FALSE(test::LoadRecord(v1only, prompts_)->NeedsSaving());
    auto r = test::LoadRecord(v1only, prompts_, convert);
    EXPECT_TRUE(r->NeedsSaving());  // the next save writes the new frames
    EXPECT_EQ(r->Tag().GetText(kFrameTIT2), u"Old Title");
    EXPECT_EQ(r->Tag().GetText(kFrameTPE1), u"Someone");
    auto b = test::LoadRecord(both, prompts_, convert);
    EXPECT_FALSE(b->NeedsSaving());
    EXPECT_EQ(b->Tag().GetText(kFrameTIT2), u"Two");
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RecordFiles, RenamesAndRemovalRequestsNeedSaving) {
    const fs::path path = dir_ / "a.mp3", plain = dir_ / "plain.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::MakeMp3(plain, {"-b", "128"});
    test::TagWithMutagen(path, 4, {"TIT2=T"}, true);
    auto r = test::LoadRecord(path, prompts_);
    r->SetFileName(u"A.mp3");  // case-sensitive
    EXPECT_TRUE(r->NeedsSaving());
    r->SetFileName(u"a/b:c?.mp3");
    EXPECT_EQ(r->FileName(), u"a b c .mp3");
    r->SetFileName(r->DiskName());
    EXPECT_FALSE(r->NeedsSaving());

    r->RequestRemoveV1();
    EXPECT_TRUE(r->RemoveV1Requested() && r->Tag().V1().IsEmpty() && r->NeedsSaving());
    r->CancelRemoveV1();
    EXPECT_FALSE(r->RemoveV1Requested());
    r->RequestRemoveV2();
    EXPECT_TRUE(r->RemoveV2Requested() && r->Tag().Frames().empty());

    auto p = test::LoadRecord(plain, prompts_);  // without an ID3v1 tag there is nothing to remove
    p->RequestRemoveV1();
    EXPECT_FALSE(p->RemoveV1Requested() || p->NeedsSaving());
}

}  // namespace
}  // namespace quorvane

// Loading a record from a real file, and what makes a record need saving.
#include "library/mp3_file_record.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "library/list_columns.h"
#include "record_test_support.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::RecordFiles;

TEST_F(RecordFiles, LoadsTagsStreamAndV1) {
    const fs::path cbr = dir_ / "song.mp3", vbr = dir_ / "vbr.mp3";
    test::MakeMp3(cbr, {"-b", "128", "-t"}, 3.0);  // no "Info" frame: plain CBR
    test::TagWithMutagen(cbr, 3, {"TIT2=Title ä", "TPE1=Artist"}, true);
    test::MakeMp3(vbr, {"-V", "4"}, 3.0);
    auto r = test::LoadRecord(cbr, prompts_);
    EXPECT_EQ(r->Tag().GetText(kFrameTIT2), u"Title ä");
    EXPECT_EQ(r->Tag().V1().GetString(Id3v1Record::kTitle), u"Title ä");
    EXPECT_TRUE(r->HasV1());
    EXPECT_EQ(r->Stream().bitrate, 128);
    EXPECT_FALSE(r->Stream().vbr);
    EXPECT_EQ(r->Stream().duration, 3u);
    EXPECT_FALSE(r->NeedsSaving());
    EXPECT_EQ(r->FullPath(), PathFromNative(cbr.string()));
    EXPECT_EQ(BitrateText(*r), u"128");
    EXPECT_EQ(DurationText(*r), u"00:03");

    auto v = test::LoadRecord(vbr, prompts_);
    EXPECT_TRUE(v->Stream().vbr);
    EXPECT_TRUE(BitrateText(*v).ends_with(u" (VBR)")) << U8(BitrateText(*v));
    EXPECT_FALSE(v->HasV1());
    EXPECT_TRUE(v->Tag().Frames().empty());
    EXPECT_FALSE(v->NeedsSaving());

    // 62 minutes and 5 seconds of 128 kbit/s (with room for the tag in front): minutes
    // are not wrapped into hours.
    ASSERT_EQ(truncate(cbr.c_str(), 3725 * 16000 + 8000), 0);
    EXPECT_EQ(DurationText(*test::LoadRecord(cbr, prompts_)), u"62:05");
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RecordFiles, AutoConvertCopiesV1OnlyWhenAskedAndOnlyWithoutV2) {
    const fs::path v1only = dir_ / "v1.mp3", both = dir_ / "both.mp3";
    test::MakeMp3(v1only, {"-b", "96"});
    test::TagWithMutagen(v1only, 0, {"TIT2=Old Title", "TPE1=Someone"}, true);
    ASSERT_EQ(test::MutagenView(v1only), "v2=none v1=Old Title");
    test::MakeMp3(both, {"-b", "96"});
    test::TagWithMutagen(both, 4, {"TIT2=Two"}, true);
    LoadOptions convert;
    convert.autoConvertToV2 = true;

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

TEST_F(RecordFiles, VanishedFileIsReportedAndKeptEmpty) {
    const SharedText dir(PathFromNative(dir_.Path().string()));
    Mp3FileRecord r(dir, u"gone.mp3", dir);
    EXPECT_FALSE(r.LoadFile(prompts_, {}));
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].kind, "error");
    EXPECT_EQ(p[0].caption, ProgramTitle());
    EXPECT_TRUE(p[0].text.starts_with(u"Error when opening file \"" + r.FullPath() + u"\":\n")) << U8(p[0].text);
    EXPECT_EQ(r.Stream().bitrate, 0);
    EXPECT_EQ(r.Stream().duration, 0u);
    EXPECT_TRUE(r.Tag().Frames().empty());
    EXPECT_FALSE(r.NeedsSaving());
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
    EXPECT_TRUE(r->RemoveV1Requested());
    EXPECT_TRUE(r->Tag().V1().IsEmpty());
    EXPECT_TRUE(r->NeedsSaving());
    r->CancelRemoveV1();
    EXPECT_FALSE(r->RemoveV1Requested());
    r->RequestRemoveV2();
    EXPECT_TRUE(r->RemoveV2Requested());
    EXPECT_TRUE(r->Tag().Frames().empty());

    auto p = test::LoadRecord(plain, prompts_);  // without an ID3v1 tag there is nothing to remove
    p->RequestRemoveV1();
    EXPECT_FALSE(p->RemoveV1Requested());
    EXPECT_FALSE(p->NeedsSaving());
}

}  // namespace
}  // namespace quorvane

#include <gtest/gtest.h>

#include "platform/binary_file.h"
#include "record_test_support.h"
#include "tags/id3v1.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using test::RecordFiles;

TEST_F(RecordFiles, LoadsTagsStreamAndV1) {
    const fs::path path = dir_ / "song.mp3";
    test::MakeMp3(path, {"-b", "128", "-t"}, 3.0);  // no "Info" frame: plain CBR
    test::TagWithMutagen(path, 3,
                         {"TIT2=Title ä", "TPE1=Artist", "TALB=Album", "TRCK=3/12", "TCON=(17)", "TYER=1999",
                          "COMM=eng|d|a comment", "APIC=60000"},
                         true);
    auto r = test::LoadRecord(path, prompts_);
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(r->GetText(kFrameTIT2), u"Title ä");
    EXPECT_EQ(r->GetText(kFrameTPE1), u"Artist");
    EXPECT_EQ(r->GetText(kFrameTRCK), u"3/12");
    EXPECT_EQ(r->GetText(kFrameTDRC), u"1999");
    EXPECT_EQ(r->GetGenre(), u"Rock");
    EXPECT_EQ(r->bitrate, 128);
    EXPECT_FALSE(r->isVbr);
    EXPECT_EQ(r->duration, fs::file_size(path) * 8 / 128000);
    EXPECT_TRUE(r->hasV1);
    EXPECT_EQ(r->V1().GetString(Id3v1Record::kTitle), u"Title ä");
    EXPECT_GT(r->audioStart, 60000u);
    EXPECT_FALSE(r->NeedsSaving());
    EXPECT_EQ(r->FullPath(), PathFromNative(path.string()));
}

TEST_F(RecordFiles, VbrAndNoTags) {
    const fs::path path = dir_ / "vbr.mp3";
    test::MakeMp3(path, {"-V", "4"}, 3.0);
    auto r = test::LoadRecord(path, prompts_);
    EXPECT_TRUE(r->isVbr);
    EXPECT_GT(r->bitrate, 0);
    EXPECT_FALSE(r->hasV1);
    EXPECT_EQ(r->audioStart, 0u);
    EXPECT_TRUE(r->Frames().empty());
    EXPECT_FALSE(r->NeedsSaving());
}

TEST_F(RecordFiles, AutoConvertCopiesV1OnlyWhenAskedAndOnlyWithoutV2) {
    const fs::path v1only = dir_ / "v1.mp3";
    test::MakeMp3(v1only, {"-b", "96"});
    test::TagWithMutagen(v1only, 0, {"TIT2=Old Title  ", "TPE1=Someone", "TRCK=7", "TCON=Jazz"}, true);
    ASSERT_EQ(test::MutagenView(v1only), "v2=none v1=Old Title");
    {
        auto r = test::LoadRecord(v1only, prompts_);
        EXPECT_TRUE(r->hasV1);
        EXPECT_TRUE(r->Frames().empty());
        EXPECT_FALSE(r->NeedsSaving());
    }
    SettingsStore::Instance().WriteBool("AutoConvertToV2", true);
    auto r = test::LoadRecord(v1only, prompts_);
    EXPECT_TRUE(r->NeedsSaving());
    EXPECT_EQ(r->GetText(kFrameTIT2), u"Old Title");
    EXPECT_EQ(r->GetText(kFrameTPE1), u"Someone");
    EXPECT_EQ(r->GetText(kFrameTRCK), u"7");
    EXPECT_EQ(r->GetText(kFrameTCON), u"(8)");

    // A file that has an ID3v2 tag is left as it is.
    const fs::path both = dir_ / "both.mp3";
    test::MakeMp3(both, {"-b", "96"});
    test::TagWithMutagen(both, 4, {"TIT2=Two"}, true);
    auto b = test::LoadRecord(both, prompts_);
    EXPECT_FALSE(b->NeedsSaving());
    EXPECT_EQ(b->GetText(kFrameTIT2), u"Two");
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(RecordFiles, VanishedFileIsReportedAndKeptEmpty) {
    auto r = test::LoadRecord(dir_ / "gone.mp3", prompts_);
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].kind, "error");
    EXPECT_EQ(p[0].caption, ProgramTitle());
    EXPECT_TRUE(p[0].text.starts_with(u"Error when opening file \"" + PathFromNative((dir_ / "gone.mp3").string()) +
                                      u"\":\n"))
        << U8(p[0].text);
    EXPECT_EQ(r->bitrate, 0);
    EXPECT_EQ(r->duration, 0u);
    EXPECT_TRUE(r->Frames().empty());
    EXPECT_FALSE(r->NeedsSaving());
}

TEST_F(RecordFiles, NeedsSavingAndRemoveRequests) {
    const fs::path path = dir_ / "a.mp3";
    test::MakeMp3(path, {"-b", "128"});
    test::TagWithMutagen(path, 4, {"TIT2=T"}, true);
    auto r = test::LoadRecord(path, prompts_);
    ASSERT_FALSE(r->NeedsSaving());
    r->fileName = u"A.mp3";  // case-sensitive
    EXPECT_TRUE(r->NeedsSaving());
    r->fileName = r->diskName;
    RequestRemoveV1(*r);
    EXPECT_TRUE(r->removeV1Requested);
    EXPECT_TRUE(r->V1().IsEmpty());
    EXPECT_TRUE(r->NeedsSaving());
    RequestRemoveV2(*r);
    EXPECT_TRUE(r->removeV2Requested);
    EXPECT_TRUE(r->Frames().empty());

    // Without an ID3v1 tag there is nothing to remove.
    const fs::path plain = dir_ / "plain.mp3";
    test::MakeMp3(plain, {"-b", "128"});
    auto p = test::LoadRecord(plain, prompts_);
    RequestRemoveV1(*p);
    EXPECT_FALSE(p->removeV1Requested);
    EXPECT_FALSE(p->NeedsSaving());
}

}  // namespace
}  // namespace quorvane

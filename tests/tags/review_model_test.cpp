// Tag model rules checked against their stated behaviour.
#include "tag_test_util.h"

namespace quorvane::tagtest {
namespace {

// FindFrame walks the frames of one id: a start frame of another id is never met among
// them, so nothing is found after it.
TEST(ReviewFindFrame, AStartFrameOfAnotherIdFindsNothing) {
    Id3Tag tag;
    tag.AddComment("eng", u"a", u"1");
    tag.SetText(kFrameTIT2, u"t");
    tag.AddComment("eng", u"b", u"2");
    Id3Frame* title = tag.FindFrame(kFrameTIT2);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, title), nullptr);
    EXPECT_EQ(tag.FindFrame(kFrameTIT2, tag.FindFrame(kFrameCOMM)), nullptr);
    // Frames of the same id still lead on to the next one.
    Id3Frame* first = tag.FindFrame(kFrameCOMM);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(tag.FindFrame(kFrameCOMM, first), nullptr);
    EXPECT_EQ(tag.FindFrame(kFrameCOMM, first)->TextField(0)->Text(), u"b");
}

}  // namespace
}  // namespace quorvane::tagtest

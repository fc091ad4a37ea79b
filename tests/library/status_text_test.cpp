#include "library/status_text.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(StatusText, Panes) {
    StatusInputs in;
    in.recordCount = 12;
    in.needingSaving = 3;
    StatusTexts t = ComputeStatusTexts(in);
    EXPECT_EQ(t.pane0, u"Done");
    EXPECT_EQ(t.pane1, u"Loaded: 12");
    EXPECT_EQ(t.pane2, u"Updated: 3");

    in.currentDirectory = u"/music";
    EXPECT_EQ(ComputeStatusTexts(in).pane0, u"Loading /music...");

    in.saving = true;
    EXPECT_FALSE(ComputeStatusTexts(in).pane0.has_value());  // keeps "Saving..."
    in.currentFile = u"a.mp3";
    EXPECT_EQ(ComputeStatusTexts(in).pane0, u"Saving a.mp3...");
}

}  // namespace
}  // namespace quorvane

#include "library/list_columns.h"
#include "library/mp3_file_record.h"

namespace quorvane {
namespace {

TEST(ListColumns, BitrateAndDuration) {
    Mp3FileRecord r(u"/m", u"a.mp3", u"/m");
    EXPECT_EQ(BitrateText(r), u"0");
    EXPECT_EQ(DurationText(r), u"00:00");
    r.bitrate = 192;
    r.isVbr = true;
    r.duration = 3725;  // minutes are not wrapped into hours
    EXPECT_EQ(BitrateText(r), u"192 (VBR)");
    EXPECT_EQ(DurationText(r), u"62:05");
    r.isVbr = false;
    r.duration = 7;
    EXPECT_EQ(BitrateText(r), u"192");
    EXPECT_EQ(DurationText(r), u"00:07");
}

}  // namespace
}  // namespace quorvane

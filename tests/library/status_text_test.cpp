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

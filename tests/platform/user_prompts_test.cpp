// The prompts of programs without a window: one line on standard error a box, questions
// answered as told, and the errors counted for the exit status.
#include "platform/user_prompts.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(StderrPrompts, OneLineABoxAndTheErrorsCounted) {
    StderrPrompts yes(PromptAnswer::Yes), no;
    testing::internal::CaptureStderr();
    yes.ShowError(u"Quorvane", u"Failed\r\n");
    yes.ShowInformation(u"Quorvane", u"Note");
    EXPECT_TRUE(yes.AskYesNo(u"Quorvane", u"Go?"));
    EXPECT_FALSE(no.AskYesNo(u"Quorvane", u"Go?"));
    EXPECT_EQ(no.AskYesNoCancel(u"Quorvane", u"Save?"), PromptAnswer::No);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed\nNote\nGo? [yes]\nGo? [no]\nSave? [no]\n");
    EXPECT_EQ(yes.ErrorCount(), 1u);
    EXPECT_EQ(no.ErrorCount(), 0u);
}

}  // namespace
}  // namespace quorvane

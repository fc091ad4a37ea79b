// Save, Refresh List, Clear, remove-directory and Exit against a running save, over a
// real saver thread and its typed reports.
#include "controller_fixture.h"
#include "library/save_record.h"

#include <functional>
#include <tuple>

namespace quorvane {
namespace {

using test::ControllerFixture;
using Names = std::vector<std::string>;

size_t Questions(const test::RecordingPrompts& p) {
    size_t n = 0;
    for (const auto& r : p.Prompts()) n += r.kind == "yesnocancel" && r.text == u"Do you want to save changes?";
    return n;
}

// One Saved report per record that needed saving, in order, then one SaveFinished;
// with nothing to save, the finish alone.
TEST_F(ControllerFixture, SaveReportsEachSavedRecordOnceThenFinishesOnce) {
    Load({"a/clean.mp3", "a/dirty1.mp3", "a/dirty2.mp3"});
    for (const Names& expected : {Names{"dirty1.mp3", "dirty2.mp3"}, Names{}}) {
        controller_.Save();
        EXPECT_FALSE(window_.enabled);
        EXPECT_EQ(window_.panes[0], u"Saving...");
        EXPECT_EQ(PumpUntilFinished(), expected);
        saver_.Join();
        EXPECT_EQ(reports_.Size(), 0u);
        EXPECT_FALSE(controller_.IsSaving());
        EXPECT_TRUE(window_.enabled);
        EXPECT_EQ(window_.panes[0], u"Saved");
        EXPECT_EQ(window_.panes[1], u"Loaded: 3");
        EXPECT_EQ(window_.panes[2], u"Updated: 0");
    }
    EXPECT_TRUE(window_.Has("redraw dirty1.mp3"));
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(ControllerFixture, CommandsDuringASaveNeverDestroyRecordsNorStartASecondSave) {
    Load({"a/dirty1.mp3", "a/dirty2.mp3", "b/dirty3.mp3"});
    holdSaves_ = true;
    controller_.Save();
    ASSERT_TRUE(gate_.WaitForWaiter());
    const auto before = loader_.SnapshotRecords();
    controller_.RefreshList();
    controller_.ClearList();
    controller_.RemoveDirectory(Dir("b"));
    controller_.Save();  // disabled: ignored
    const auto prompts = prompts_.Prompts();
    ASSERT_EQ(prompts.size(), 3u);
    EXPECT_EQ(prompts[0].text, u"Refreshing is disabled when saving is in progress.");
    EXPECT_EQ(prompts[1].text, u"Clearing is disabled when saving is in progress.");
    EXPECT_EQ(prompts[2].text, u"Removing a directory is disabled when saving is in progress.");
    for (const auto& p : prompts) EXPECT_EQ(p.kind, "error");
    EXPECT_EQ(loader_.SnapshotRecords(), before);
    EXPECT_FALSE(window_.Has("empty"));
    // While saving, pane 0 names the file and "Updated" counts what is left.
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[0], u"Saving dirty1.mp3...");
    EXPECT_EQ(window_.panes[2], u"Updated: 3");
    gate_.Open();
    EXPECT_EQ(PumpUntilFinished(), (Names{"dirty1.mp3", "dirty2.mp3", "dirty3.mp3"}));  // one save, each file once
    EXPECT_EQ(controller_.CountNeedingSaving(), 0u);
}

// Refresh, Clear, Remove Directory and Exit ask only when records they drop have changes:
// Cancel does nothing, No acts at once (the changes dropped), Yes saves those records
// first and acts when the save has finished.
TEST_F(ControllerFixture, EachCommandAsksOnlyWithChangesAndEachAnswerDoesItsPart) {
    using Run = std::function<void()>;
    const std::tuple<const char*, Run, std::function<bool()>> commands[] = {
        {"refresh", [&] { controller_.RefreshList(); }, [&] { return window_.Has("empty"); }},
        {"clear", [&] { controller_.ClearList(); }, [&] { return loader_.GetLoadedDirectories().empty(); }},
        {"remove", [&] { controller_.RemoveDirectory(Dir("b")); },
         [&] { return loader_.GetLoadedDirectories() == std::vector{Dir("a"), Dir("c")}; }},
        {"exit", [&] { controller_.Exit(); }, [&] { return window_.exited; }},
    };
    for (const auto& [name, run, acted] : commands) {
        for (const PromptAnswer answer : {PromptAnswer::Cancel, PromptAnswer::No, PromptAnswer::Yes}) {
            SCOPED_TRACE(testing::Message() << name << " " << int(answer));
            loader_.Clear(false);
            window_ = test::LogWindow{};
            Load({"a/clean.mp3", "b/dirty.mp3", "c/dirty2.mp3"});
            const size_t asked = Questions(prompts_);
            prompts_.QueueAnswer(answer);
            run();
            EXPECT_EQ(Questions(prompts_), asked + 1);
            EXPECT_EQ(controller_.IsSaving(), answer == PromptAnswer::Yes);
            EXPECT_EQ(acted(), answer == PromptAnswer::No);
            if (answer != PromptAnswer::Yes) continue;
            const bool remove = std::string(name) == "remove";  // b's record only
            EXPECT_EQ(PumpUntilFinished(), remove ? Names{"dirty.mp3"} : (Names{"dirty.mp3", "dirty2.mp3"}));
            EXPECT_TRUE(acted());
            EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
        }
    }
    EXPECT_EQ(prompts_.Prompts()[0].caption, ProgramTitle());
    // Records without changes go without a question, whatever changes are elsewhere.
    loader_.Clear(false);
    Load({"a/clean.mp3", "b/dirty.mp3"});
    const size_t asked = prompts_.Count();
    controller_.RemoveDirectory(Dir("a"));
    EXPECT_EQ(prompts_.Count(), asked);
    EXPECT_TRUE(loader_.RecordsOfDirectory(Dir("b"))[0]->NeedsSaving());
}

// A Clear whose save failed for a file asks again; the save it starts then keeps its own
// after-save action.
TEST_F(ControllerFixture, ClearAsksAgainWhenAFileFailedToSave) {
    Load({"a/fail.mp3", "a/dirty.mp3"});
    prompts_.QueueAnswer(PromptAnswer::Yes);
    prompts_.QueueAnswer(PromptAnswer::Yes);  // asked again: save again, then clear again
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.ClearList();
    PumpUntilFinished();
    // The Clear run by the after-save action started a second save, whose action must
    // survive the reset of the first.
    EXPECT_EQ(Questions(prompts_), 2u);
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::ClearOrRemove);
    PumpUntilFinished();
    EXPECT_EQ(Questions(prompts_), 3u);  // still failing; "Cancel" keeps the list
    EXPECT_EQ(loader_.RecordCount(), 2u);
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
}

// Exit never cuts a file in half: "No" exits once every file is saved, "Yes" once the
// file being written is done.
class ExitDuringASave : public ControllerFixture, public ::testing::WithParamInterface<PromptAnswer> {};

TEST_P(ExitDuringASave, WaitsForTheFileBeingWritten) {
    Load({"a/dirty1.mp3", "a/dirty2.mp3", "a/dirty3.mp3"});
    holdSaves_ = true;
    controller_.Save();
    ASSERT_TRUE(gate_.WaitForWaiter());
    prompts_.QueueAnswer(GetParam());
    controller_.Exit();
    ASSERT_EQ(prompts_.Count(), 1u);
    EXPECT_EQ(prompts_.Prompts()[0].kind, "yesno");
    EXPECT_EQ(prompts_.Prompts()[0].text, u"Saving is in progress.r\nInterrupt and exit?");
    EXPECT_FALSE(window_.exited);
    gate_.Open();
    EXPECT_EQ(PumpUntilFinished().size(), GetParam() == PromptAnswer::No ? 3u : 1u);
    EXPECT_TRUE(window_.exited);
}

INSTANTIATE_TEST_SUITE_P(Answers, ExitDuringASave, ::testing::Values(PromptAnswer::No, PromptAnswer::Yes));

// A record whose only change is its name counts as changed and is saved (renamed).
TEST_F(ControllerFixture, RenameOnlyRecordIsCountedAndSaved) {
    Load({"a/clean.mp3"});
    loader_.SnapshotRecords().at(0)->SetFileName(u"renamed.mp3");
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[2], u"Updated: 1");
    saver_.SetSaveFunction([this](Mp3FileRecord& rec) { SaveRecord(rec, prompts_, {}); });
    controller_.Save();
    EXPECT_EQ(PumpUntilFinished(), Names{"renamed.mp3"});
    EXPECT_TRUE(std::filesystem::exists(tree_ / "a" / "renamed.mp3"));
    EXPECT_EQ(controller_.CountNeedingSaving(), 0u);
}

}  // namespace
}  // namespace quorvane

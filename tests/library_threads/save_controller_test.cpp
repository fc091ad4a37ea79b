// Save, Refresh List, Clear, remove-directory and Exit against a running save, over a
// real saver thread and its typed reports.
#include "controller_fixture.h"
#include "library/save_record.h"

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

TEST_F(ControllerFixture, RefreshAsksOnlyWithChangesAndEachAnswerDoesItsPart) {
    Load({"a/clean.mp3"});
    controller_.RefreshList();  // nothing to save: no question
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_TRUE(window_.Has("empty"));
    Load({"a/dirty.mp3"});  // a refresh is pending: both files load again
    ASSERT_EQ(controller_.CountNeedingSaving(), 1u);
    window_.log.clear();

    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.RefreshList();
    EXPECT_TRUE(window_.log.empty());
    EXPECT_FALSE(controller_.IsSaving());
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.RefreshList();
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::Refresh);
    EXPECT_FALSE(window_.Has("empty"));
    EXPECT_EQ(PumpUntilFinished(), Names{"dirty.mp3"});
    EXPECT_TRUE(window_.Has("empty"));
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
    EXPECT_EQ(loader_.RecordCount(), 0u);  // refreshed: the loader scans again
    loader_.ScanPending(true);
    prompts_.QueueAnswer(PromptAnswer::No);  // the list is rebuilt, the change dropped
    controller_.RefreshList();
    EXPECT_FALSE(controller_.IsSaving());
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_EQ(Questions(prompts_), 3u);
    EXPECT_EQ(prompts_.Prompts()[0].caption, ProgramTitle());
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

TEST_F(ControllerFixture, ClearYesSavesThenClearsAndAsksAgainOnlyWhenAFileFailed) {
    Load({"a/dirty.mp3"});
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.ClearList();
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::ClearOrRemove);
    PumpUntilFinished();
    EXPECT_EQ(Questions(prompts_), 1u);
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_TRUE(loader_.GetLoadedDirectories().empty());
    EXPECT_TRUE(SettingsStore::Instance().ReadStringList("LoadedDirs").empty());

    Load({"a/fail.mp3", "a/dirty.mp3"});
    prompts_.QueueAnswer(PromptAnswer::Yes);
    prompts_.QueueAnswer(PromptAnswer::Yes);  // asked again: save again, then clear again
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.ClearList();
    PumpUntilFinished();
    // The Clear run by the after-save action started a second save, whose action must
    // survive the reset of the first.
    EXPECT_EQ(Questions(prompts_), 3u);
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::ClearOrRemove);
    PumpUntilFinished();
    EXPECT_EQ(Questions(prompts_), 4u);  // still failing; "Cancel" keeps the list
    EXPECT_EQ(loader_.RecordCount(), 2u);
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
}

TEST_F(ControllerFixture, RemoveDirectoryCountsOnlyItsOwnRecords) {
    Load({"a/clean.mp3", "b/dirty.mp3", "c/dirty.mp3"});
    controller_.RemoveDirectory(Dir("a"));  // the changes are elsewhere: no question
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(loader_.RecordCount(), 2u);
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.RemoveDirectory(Dir("b"));
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_EQ(PumpUntilFinished().size(), 1u);  // b's only
    EXPECT_EQ(loader_.GetLoadedDirectories(), std::vector<std::u16string>{Dir("c")});
    ASSERT_EQ(loader_.RecordCount(), 1u);
    EXPECT_TRUE(loader_.SnapshotRecords()[0]->NeedsSaving());  // c's change untouched
    EXPECT_TRUE(window_.Has("suspend"));
    prompts_.QueueAnswer(PromptAnswer::No);
    controller_.RemoveDirectory(Dir("c"));
    EXPECT_FALSE(controller_.IsSaving());
    EXPECT_EQ(loader_.RecordCount(), 0u);
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

TEST_F(ControllerFixture, ExitWithChangesAsksFirst) {
    Load({"a/dirty.mp3"});
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.Exit();
    EXPECT_FALSE(window_.exited);
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.Exit();
    EXPECT_FALSE(window_.exited);
    EXPECT_EQ(PumpUntilFinished().size(), 1u);
    EXPECT_TRUE(window_.exited);
}

TEST_F(ControllerFixture, RenameOnlyRecordIsCountedAndSaved) {
    Load({"a/clean.mp3"});
    const RecordPtr r = loader_.SnapshotRecords().at(0);
    r->SetFileName(u"renamed.mp3");
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[2], u"Updated: 1");
    EXPECT_EQ(window_.panes[0], u"Done");
    saver_.SetSaveFunction([this](Mp3FileRecord& rec) { SaveRecord(rec, prompts_, {}); });
    controller_.Save();
    PumpUntilFinished();
    EXPECT_TRUE(window_.Has("redraw renamed.mp3"));
    EXPECT_TRUE(std::filesystem::exists(tree_ / "a" / "renamed.mp3"));
    EXPECT_EQ(controller_.CountNeedingSaving(), 0u);
    EXPECT_EQ(prompts_.Count(), 0u);
}

}  // namespace
}  // namespace quorvane

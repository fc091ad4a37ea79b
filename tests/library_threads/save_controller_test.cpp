#include "controller_fixture.h"

namespace quorvane {
namespace {

using test::ControllerFixture;

size_t CountKind(const test::RecordingPrompts& p, const std::string& kind) {
    size_t n = 0;
    for (const auto& r : p.Prompts()) n += r.kind == kind;
    return n;
}

TEST_F(ControllerFixture, SaveWithNothingToSaveStillFinishes) {
    Make("a/clean.mp3");
    Load({"a"});
    controller_.Save();
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_FALSE(window_.enabled);
    EXPECT_EQ(window_.panes[0], u"Saving...");
    PumpUntilFinished();
    EXPECT_FALSE(controller_.IsSaving());
    EXPECT_TRUE(window_.enabled);
    EXPECT_EQ(window_.panes[0], u"Saved");
    EXPECT_EQ(window_.panes[1], u"Loaded: 1");
    EXPECT_EQ(window_.panes[2], u"Updated: 0");
    EXPECT_TRUE(Saved().empty());
    EXPECT_EQ(prompts_.Count(), 0u);
}

TEST_F(ControllerFixture, RefreshAsksOnlyWithChangesAndEachAnswerDoesItsPart) {
    Make("a/clean.mp3");
    Load({"a"});
    controller_.RefreshList();  // nothing to save: no question
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_TRUE(window_.Has("empty"));
    loader_.ScanPending(true);
    EXPECT_EQ(loader_.RecordCount(), 1u);

    Make("a/dirty.mp3");
    controller_.RefreshList();
    loader_.ScanPending(true);
    ASSERT_EQ(controller_.CountNeedingSaving(), 1u);
    window_.log.clear();

    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.RefreshList();
    EXPECT_TRUE(window_.log.empty());
    EXPECT_EQ(loader_.RecordCount(), 2u);
    EXPECT_FALSE(controller_.IsSaving());

    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.RefreshList();
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::Refresh);
    EXPECT_FALSE(window_.Has("empty"));
    PumpUntilFinished();
    EXPECT_EQ(Saved(), (std::vector<std::string>{"dirty.mp3"}));
    EXPECT_TRUE(window_.Has("empty"));
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
    EXPECT_EQ(loader_.RecordCount(), 0u);  // refreshed: rescanned by the loader
    loader_.ScanPending(true);
    EXPECT_EQ(loader_.RecordCount(), 2u);

    // "No": the list is rebuilt and the change is dropped without a save.
    prompts_.QueueAnswer(PromptAnswer::No);
    controller_.RefreshList();
    EXPECT_FALSE(controller_.IsSaving());
    EXPECT_EQ(loader_.RecordCount(), 0u);
    for (const auto& p : prompts_.Prompts()) {
        EXPECT_EQ(p.kind, "yesnocancel");
        EXPECT_EQ(p.text, u"Do you want to save changes?");
        EXPECT_EQ(p.caption, ProgramTitle());
    }
}

TEST_F(ControllerFixture, CommandsDuringASaveNeverDestroyRecordsNorStartASecondSave) {
    Make("a/dirty1.mp3");
    Make("a/dirty2.mp3");
    Make("b/dirty3.mp3");
    Load({"a", "b"});
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
    for (const auto& p : prompts) {
        EXPECT_EQ(p.kind, "error");
        EXPECT_EQ(p.caption, ProgramTitle());
    }
    EXPECT_EQ(loader_.SnapshotRecords(), before);
    EXPECT_EQ(loader_.GetLoadedDirectories().size(), 2u);
    EXPECT_FALSE(window_.Has("empty"));

    // While saving, pane 0 names the file and "Updated" counts what is left.
    controller_.UpdateStatus();
    EXPECT_TRUE(window_.panes[0].starts_with(u"Saving dirty")) << U8(window_.panes[0]);
    EXPECT_EQ(window_.panes[2], u"Updated: 3");

    gate_.Open();
    PumpUntilFinished();
    EXPECT_EQ(Saved().size(), 3u);  // one save, each file once
    EXPECT_EQ(controller_.CountNeedingSaving(), 0u);
    EXPECT_EQ(loader_.RecordCount(), 3u);
}

TEST_F(ControllerFixture, ClearYesSavesThenClearsWithoutASecondQuestion) {
    Make("a/dirty.mp3");
    Load({"a"});
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.ClearList();
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::ClearOrRemove);
    PumpUntilFinished();
    EXPECT_EQ(CountKind(prompts_, "yesnocancel"), 1u);
    EXPECT_EQ(loader_.RecordCount(), 0u);
    EXPECT_TRUE(loader_.GetLoadedDirectories().empty());
    EXPECT_TRUE(SettingsStore::Instance().ReadStringList("LoadedDirs").empty());
}

TEST_F(ControllerFixture, ClearAsksAgainWhenAFileCouldNotBeSaved) {
    Make("a/fail.mp3");
    Make("a/dirty.mp3");
    Load({"a"});
    prompts_.QueueAnswer(PromptAnswer::Yes);
    prompts_.QueueAnswer(PromptAnswer::Yes);  // the second question: save again, then clear again
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.ClearList();
    PumpUntilFinished();
    // The Clear run by the after-save action asked again and started a second save,
    // whose action must survive the reset of the first.
    EXPECT_EQ(CountKind(prompts_, "yesnocancel"), 2u);
    EXPECT_TRUE(controller_.IsSaving());
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::ClearOrRemove);
    PumpUntilFinished();
    EXPECT_EQ(CountKind(prompts_, "yesnocancel"), 3u);  // still failing; "Cancel" keeps the list
    EXPECT_EQ(loader_.RecordCount(), 2u);
    EXPECT_EQ(controller_.PendingAction(), AfterSaveAction::None);
}

TEST_F(ControllerFixture, RemoveDirectoryCountsOnlyItsOwnRecords) {
    Make("a/clean.mp3");
    Make("b/dirty.mp3");
    Make("c/dirty.mp3");
    Load({"a", "b", "c"});
    controller_.RemoveDirectory(Dir("a"));  // the changes are elsewhere: no question
    EXPECT_EQ(prompts_.Count(), 0u);
    EXPECT_EQ(loader_.RecordCount(), 2u);

    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.RemoveDirectory(Dir("b"));
    EXPECT_TRUE(controller_.IsSaving());
    PumpUntilFinished();
    EXPECT_EQ(Saved(), (std::vector<std::string>{"dirty.mp3"}));  // b's only
    EXPECT_EQ(loader_.GetLoadedDirectories(), (std::vector<std::u16string>{Dir("c")}));
    ASSERT_EQ(loader_.RecordCount(), 1u);
    EXPECT_TRUE(loader_.SnapshotRecords()[0]->NeedsSaving());  // c's change untouched
    EXPECT_TRUE(window_.Has("suspend"));

    prompts_.QueueAnswer(PromptAnswer::No);
    controller_.RemoveDirectory(Dir("c"));
    EXPECT_FALSE(controller_.IsSaving());
    EXPECT_EQ(loader_.RecordCount(), 0u);
}

TEST_F(ControllerFixture, ExitDuringSaveAnsweringNoExitsWhenEveryFileIsSaved) {
    Make("a/dirty1.mp3");
    Make("a/dirty2.mp3");
    Load({"a"});
    holdSaves_ = true;
    controller_.Save();
    ASSERT_TRUE(gate_.WaitForWaiter());
    prompts_.QueueAnswer(PromptAnswer::No);
    controller_.Exit();
    const auto p = prompts_.Prompts();
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0].kind, "yesno");
    EXPECT_EQ(p[0].text, u"Saving is in progress.r\nInterrupt and exit?");
    EXPECT_FALSE(window_.exited);
    gate_.Open();
    PumpUntilFinished();
    EXPECT_TRUE(window_.exited);
    EXPECT_EQ(Saved().size(), 2u);
}

TEST_F(ControllerFixture, ExitDuringSaveAnsweringYesFinishesOnlyTheCurrentFile) {
    Make("a/dirty1.mp3");
    Make("a/dirty2.mp3");
    Make("a/dirty3.mp3");
    Load({"a"});
    holdSaves_ = true;
    controller_.Save();
    ASSERT_TRUE(gate_.WaitForWaiter());
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.Exit();
    EXPECT_FALSE(window_.exited);  // not while a file is being written
    gate_.Open();
    PumpUntilFinished();
    EXPECT_TRUE(window_.exited);
    EXPECT_EQ(Saved().size(), 1u);
}

TEST_F(ControllerFixture, ExitWithChanges) {
    Make("a/dirty.mp3");
    Load({"a"});
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    controller_.Exit();
    EXPECT_FALSE(window_.exited);
    prompts_.QueueAnswer(PromptAnswer::Yes);
    controller_.Exit();
    EXPECT_FALSE(window_.exited);
    PumpUntilFinished();
    EXPECT_TRUE(window_.exited);
    EXPECT_EQ(Saved().size(), 1u);
}

TEST_F(ControllerFixture, RenameOnlyRecordIsCountedAndSaved) {
    Make("a/clean.mp3");
    Load({"a"});
    Mp3FileRecord* r = loader_.SnapshotRecords().at(0);
    r->fileName = u"renamed.mp3";
    controller_.UpdateStatus();
    EXPECT_EQ(window_.panes[2], u"Updated: 1");
    EXPECT_EQ(window_.panes[0], u"Done");
    saver_.SetSaveFunction([](Mp3FileRecord& rec) { rec.diskName = rec.fileName; });
    controller_.Save();
    PumpUntilFinished();
    EXPECT_TRUE(window_.Has("redraw renamed.mp3"));
    EXPECT_EQ(controller_.CountNeedingSaving(), 0u);
}

}  // namespace
}  // namespace quorvane

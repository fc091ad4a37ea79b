// The window's commands and the questions they ask, answered through the prompts.
#include <QComboBox>
#include <QContextMenuEvent>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>

#include "library/edit_gate.h"
#include "library/save_controller.h"
#include "ui/generate_dialog.h"
#include "ui/list_appearance.h"
#include "ui/rename_dialog.h"
#include "window_fixture.h"

namespace quorvane::test {
namespace {

constexpr std::u16string_view kSaveQuestion = u"Do you want to save changes?";
constexpr std::u16string_view kRemoveV2Question =
    u"All subsequent changes to the ID3v2 tag will not be saved.\r\nReally remove ID3v2?";

class CommandsTest : public WindowTest {
protected:
    void LoadThree() {
        MakeFiles({
            {"d/a.mp3", {}, 1.0, "A title", "", "", "1", "", "", true},
            {"d/b.mp3", {}, 1.0, "B title", "", "", "2", "", "", true},
            {"d/c.mp3", {}, 1.0, "C title", "", "", "3", "", "", false},
        });
        LoadTree(3, "d");
    }
};

TEST_F(CommandsTest, RemoveV1MarksOnlyFilesThatHaveOneAndTheStatusBarCounts) {
    LoadThree();
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Quorvane 1.7"));
    EXPECT_EQ(window_->StatusText(0), QStringLiteral("Done"));
    EXPECT_EQ(window_->StatusText(1), QStringLiteral("Loaded: 3"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 0"));
    SelectRows({0, 2});  // a.mp3 has an ID3v1 tag, c.mp3 none
    Trigger(ui::Command::RemoveV1);
    EXPECT_EQ(prompts_.Count(), 0u);  // Remove ID3v1 asks nothing
    EXPECT_TRUE(window_->Rows().RowNeedsSaving(0));
    EXPECT_FALSE(window_->Rows().RowNeedsSaving(2));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 1"));
    Trigger(ui::Command::Save);
    WaitForSaveEnd();
    EXPECT_EQ(window_->StatusText(0), QStringLiteral("Saved"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 0"));
    EXPECT_FALSE(window_->Rows().RowNeedsSaving(0));
    EXPECT_EQ(Inspect("d/a.mp3"), "v1=0 v2=1 title=A title track=1");
    EXPECT_EQ(Inspect("d/b.mp3"), "v1=1 v2=1 title=B title track=2");
}

// A changed file is drawn red, and with icons on shows the other icon; even rows carry
// the alternate colour. All as the list settings say.
TEST_F(CommandsTest, RemoveV2AsksFirstAndTheChangedRowIsDrawnAsTheSettingsSay) {
    LoadThree();
    const QAbstractItemModel& model = *window_->List().model();
    const QColor base = window_->List().palette().color(QPalette::Base);
    EXPECT_EQ(model.index(0, 0).data(Qt::BackgroundRole).value<QColor>().rgb(), ui::AlternateRowColor(base.rgb()));
    EXPECT_FALSE(model.index(1, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(model.index(2, 3).data(Qt::BackgroundRole).isValid());
    Trigger(ui::Command::RemoveV2);  // nothing selected: no question
    EXPECT_EQ(prompts_.Count(), 0u);

    SelectRows({1});
    prompts_.QueueAnswer(PromptAnswer::No);
    Trigger(ui::Command::RemoveV2);
    ASSERT_EQ(CountPrompts("yesno", kRemoveV2Question), 1u);
    EXPECT_EQ(prompts_.Prompts().back().caption, u"Quorvane 1.7");
    EXPECT_EQ(Cell(1, ui::kColumnTitle), QStringLiteral("B title"));
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 0"));
    EXPECT_FALSE(model.index(1, 0).data(Qt::ForegroundRole).isValid());

    prompts_.QueueAnswer(PromptAnswer::Yes);
    Trigger(ui::Command::RemoveV2);
    EXPECT_EQ(Cell(1, ui::kColumnTitle), QString());  // the row shows the tag as it is now
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 1"));
    EXPECT_EQ(model.index(1, 4).data(Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_FALSE(model.index(0, 4).data(Qt::ForegroundRole).isValid());
    const auto icon = [&](int row) { return model.index(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(); };
    EXPECT_EQ(icon(1), icon(0));  // "ShowIcons" is off by default

    SettingsStore::Instance().WriteBool("ShowIcons", true);
    SettingsStore::Instance().WriteBool("ShowRedText", false);
    SettingsStore::Instance().WriteBool("AlternateBg", false);
    SettingsStore::Instance().WriteBool("ShowGridlines", true);
    window_->ApplyListSettings();
    EXPECT_NE(icon(1), icon(0));
    EXPECT_FALSE(model.index(1, 4).data(Qt::ForegroundRole).isValid());
    EXPECT_FALSE(model.index(0, 0).data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(window_->List().showGrid());
    SaveAll();
    EXPECT_EQ(Inspect("d/b.mp3"), "v1=1 v2=0 title= track=");
}

// What each answer does is the controller's; the window shows the outcome: the rows,
// the directory entries, whether it closes.
TEST_F(CommandsTest, RefreshClearAndExitAskWhenChangesWait) {
    LoadThree();
    EXPECT_EQ(window_->DirectoryEntries(), (QStringList{"All", ui::PathToQString(TreePath("d"))}));
    SelectRows({0});
    Trigger(ui::Command::RemoveV1);
    prompts_.QueueAnswer(PromptAnswer::No);  // the change is dropped, the files listed anew
    Trigger(ui::Command::RefreshList);
    WaitForRows(3);
    EXPECT_EQ(window_->StatusText(2), QStringLiteral("Updated: 0"));
    EXPECT_EQ(window_->DirectoryEntries().size(), 2);  // the directory stays loaded
    Trigger(ui::Command::RefreshList);  // nothing to save: no question
    WaitForRows(3);

    SelectRows({0});
    Trigger(ui::Command::RemoveV1);
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    EXPECT_FALSE(window_->close());
    EXPECT_TRUE(window_->isVisible());
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    Trigger(ui::Command::Clear);
    EXPECT_EQ(window_->Rows().rowCount(), 3);
    prompts_.QueueAnswer(PromptAnswer::Yes);  // save first, then clear
    Trigger(ui::Command::Clear);
    WaitForSaveEnd();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Rows().rowCount() == 0; }, 5000));
    EXPECT_EQ(CountPrompts("yesnocancel", kSaveQuestion), 4u);  // none after the save
    EXPECT_EQ(Inspect("d/a.mp3"), "v1=0 v2=1 title=A title track=1");
    EXPECT_EQ(window_->DirectoryEntries(), QStringList{"All"});
}

// "Track #" numbers the rows as they are clicked; Exit with Yes saves the numbers, then closes.
TEST_F(CommandsTest, TrackToggleNumbersRowsInTheOrderClicked) {
    LoadThree();
    QPushButton& track = *window_->TrackButton();
    EXPECT_EQ(track.text(), QStringLiteral("Track #"));
    track.click();
    EXPECT_EQ(track.text(), QStringLiteral("Track 1"));
    for (int row : {2, 0, 1}) {
        window_->List().selectionModel()->select(window_->List().model()->index(row, 0),
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    EXPECT_EQ(Cell(2, ui::kColumnTrack), QStringLiteral("1"));
    EXPECT_EQ(Cell(0, ui::kColumnTrack), QStringLiteral("2"));
    EXPECT_EQ(Cell(1, ui::kColumnTrack), QStringLiteral("3"));
    EXPECT_EQ(track.text(), QStringLiteral("Track 4"));
    track.click();
    EXPECT_EQ(track.text(), QStringLiteral("Track #"));
    window_->List().clearSelection();
    SelectRows({0});  // up: no numbering
    EXPECT_EQ(Cell(0, ui::kColumnTrack), QStringLiteral("2"));
    track.click();  // down again: from 1
    EXPECT_EQ(track.text(), QStringLiteral("Track 1"));

    prompts_.QueueAnswer(PromptAnswer::Yes);
    EXPECT_FALSE(window_->close());  // not yet: the save runs first
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window_->isVisible(); }, 10000));
    EXPECT_EQ(Inspect("d/c.mp3"), "v1=0 v2=1 title=C title track=1");
}

// Every command that would change or read records a save holds is refused with its box,
// before any question of its own; after the save the same command works.
TEST_F(CommandsTest, CommandsAreRefusedWhileASaveCoversTheirFiles) {
    LoadThree();
    HeldSave held(window_->Saver());
    SelectRows({0});
    Trigger(ui::Command::RemoveV1);
    Trigger(ui::Command::Save);
    ASSERT_TRUE(held.WaitEntered());
    EXPECT_FALSE(window_->CommandAction(ui::Command::Save)->isEnabled());
    EXPECT_FALSE(window_->CommandAction(ui::Command::Clear)->isEnabled());
    EXPECT_FALSE(window_->CommandAction(ui::Command::RefreshList)->isEnabled());
    EXPECT_FALSE(WithDialog<ui::RenameDialog>(ui::Command::Rename, [](ui::RenameDialog&) {}));
    EXPECT_FALSE(WithDialog<ui::GenerateDialog>(ui::Command::Generate, [](ui::GenerateDialog&) {}));
    for (ui::Command command : {ui::Command::ExportM3u, ui::Command::ExportPls, ui::Command::ExportXml,
                                ui::Command::ExportPictures}) {
        Trigger(command);
    }
    EXPECT_EQ(CountPrompts("error", u"Exporting is disabled when saving is in progress."), 4u);
    EXPECT_TRUE(chooser_.saveRequests.empty() && chooser_.directoryRequests.empty());

    SelectRows({1});
    Trigger(ui::Command::RemoveV1);
    prompts_.QueueAnswer(PromptAnswer::Yes);
    Trigger(ui::Command::RemoveV2);
    window_->TrackButton()->setChecked(true);
    SelectRows({2});
    window_->TrackButton()->setChecked(false);
    EXPECT_EQ(CountPrompts("error", kEditWhileSaving), 5u);
    EXPECT_EQ(CountPrompts("yesno", kRemoveV2Question), 0u);  // refused before asking
    EXPECT_FALSE(window_->Rows().RowNeedsSaving(1));
    EXPECT_EQ(Cell(2, ui::kColumnTrack), QStringLiteral("3"));

    window_->RefreshList();  // the menu item is disabled; the command still refuses
    EXPECT_EQ(CountPrompts("error", kRefreshWhileSaving), 1u);
    EXPECT_EQ(window_->Rows().rowCount(), 3);

    held.Release();
    WaitForSaveEnd();
    EXPECT_TRUE(window_->CommandAction(ui::Command::Save)->isEnabled());
    EXPECT_EQ(window_->StatusText(0), QStringLiteral("Saved"));
    EXPECT_EQ(Inspect("d/a.mp3"), "v1=0 v2=1 title=A title track=1");
    SelectRows({1});
    Trigger(ui::Command::RemoveV1);
    EXPECT_TRUE(window_->Rows().RowNeedsSaving(1));
    EXPECT_TRUE(WithDialog<ui::RenameDialog>(ui::Command::Rename, [](ui::RenameDialog&) {}));
}

// Dropped folders are added and dropped files ignored; removing a directory asks only for
// its own changes; Exit with No closes without saving.
TEST_F(CommandsTest, DroppedFoldersAreAddedAndDeleteAsksOnlyForTheDirectorysOwnChanges) {
    MakeFiles({{"one/a.mp3", {}, 1.0, "", "", "", "", "", "", true}, {"two/b.mp3"}, {"two/c.mp3"}, {"loose.mp3"}});
    const QUrl loose = QUrl::fromLocalFile(ui::PathToQString(TreePath("loose.mp3")));
    QMimeData files, folders;
    files.setUrls({loose});
    folders.setUrls({loose, QUrl::fromLocalFile(ui::PathToQString(TreePath("one"))),
                     QUrl::fromLocalFile(ui::PathToQString(TreePath("two")) + QStringLiteral("/"))});
    QDragEnterEvent enterFiles(QPoint(50, 50), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QDragEnterEvent enterFolders(QPoint(50, 50), Qt::CopyAction, &folders, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &enterFiles);
    QApplication::sendEvent(window_.get(), &enterFolders);
    EXPECT_FALSE(enterFiles.isAccepted());
    EXPECT_TRUE(enterFolders.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &folders, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window_.get(), &drop);
    WaitForRows(3);
    EXPECT_EQ(window_->DirectoryEntries(),
              (QStringList{"All", ui::PathToQString(TreePath("one")), ui::PathToQString(TreePath("two"))}));
    SelectRows({RowOfFile(QStringLiteral("a.mp3"))});
    Trigger(ui::Command::RemoveV1);  // a change in "one" only

    auto* combo = window_->findChild<QComboBox*>(QStringLiteral("directories"));
    auto* remove = window_->findChild<QPushButton*>(QStringLiteral("deleteDirectory"));
    ASSERT_TRUE(combo && remove);
    combo->setCurrentIndex(2);  // "two"
    remove->click();
    EXPECT_EQ(prompts_.Count(), 0u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->Rows().rowCount() == 1; }, 5000));
    EXPECT_EQ(window_->DirectoryEntries(), (QStringList{"All", ui::PathToQString(TreePath("one"))}));
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(Stored("LoadedDirs"), std::vector<std::u16string>{TreePath("one")});

    combo->setCurrentIndex(1);
    prompts_.QueueAnswer(PromptAnswer::Cancel);
    remove->click();
    EXPECT_EQ(CountPrompts("yesnocancel", kSaveQuestion), 1u);
    EXPECT_EQ(window_->Rows().rowCount(), 1);
    EXPECT_EQ(window_->DirectoryEntries().size(), 2);  // cancelled: the entry stays

    prompts_.QueueAnswer(PromptAnswer::No);
    EXPECT_TRUE(window_->close());
    EXPECT_EQ(Inspect("one/a.mp3"), "v1=1 v2=1 title= track=");
}

// "Add directory..." asks for a folder where the last one was chosen; Cancel changes
// nothing, a chosen folder is listed and remembered without its trailing separator.
TEST_F(CommandsTest, AddDirectoryStartsWhereTheLastChoiceWasAndRemembersIt) {
    MakeFiles({{"pick/a.mp3"}, {"pick/b.mp3"}});
    SettingsStore::Instance().WriteStringValue("BrowseDir", TreePath());
    Trigger(ui::Command::AddDirectory);  // cancelled
    ASSERT_EQ(chooser_.directoryRequests.size(), 1u);
    EXPECT_EQ(chooser_.directoryRequests[0].first, QStringLiteral("Select a directory"));
    EXPECT_EQ(chooser_.directoryRequests[0].second, ui::PathToQString(TreePath()));
    EXPECT_EQ(window_->DirectoryEntries(), QStringList{"All"});

    chooser_.answers.push_back(ui::PathToQString(TreePath("pick")) + QStringLiteral("/"));
    Trigger(ui::Command::AddDirectory);
    WaitForRows(2);
    EXPECT_EQ(window_->DirectoryEntries(), (QStringList{"All", ui::PathToQString(TreePath("pick"))}));
    EXPECT_EQ(SettingsStore::Instance().ReadString("BrowseDir"), TreePath("pick"));
    Trigger(ui::Command::AddDirectory);
    EXPECT_EQ(chooser_.directoryRequests.back().second, ui::PathToQString(TreePath("pick")));
}

TEST_F(CommandsTest, PlayEnqueueAndExploreOpenFilesWhereTheyAreOnDisk) {
    MakeFiles({{"p/one.mp3"}, {"p/two.mp3"}, {"q/it's; rm -rf ~.mp3"}});
    LoadTree(3);
    const QString odd = ui::PathToQString(TreePath("q/it's; rm -rf ~.mp3"));
    window_->SelectAll();
    // A pending rename is not on disk yet: the file opens under its current name.
    window_->SelectedRecords().front()->SetFileName(u"renamed.mp3");
    Trigger(ui::Command::Play);
    ASSERT_EQ(launcher_.opened.size(), 3u);
    EXPECT_EQ(launcher_.opened[0], QUrl::fromLocalFile(ui::PathToQString(TreePath("p/one.mp3"))));
    EXPECT_EQ(launcher_.opened[2].toLocalFile(), odd);

    launcher_.opened.clear();
    Trigger(ui::Command::ExploreDirectory);
    ASSERT_EQ(launcher_.opened.size(), 2u);  // two directories, each once
    EXPECT_EQ(launcher_.opened[0].toLocalFile(), ui::PathToQString(TreePath("p")));
    EXPECT_EQ(launcher_.opened[1].toLocalFile(), ui::PathToQString(TreePath("q")));

    // No enqueue command: the file is opened.
    launcher_.opened.clear();
    Trigger(ui::Command::Enqueue);
    EXPECT_TRUE(launcher_.started.empty());
    EXPECT_EQ(launcher_.opened.size(), 3u);

    // The command's own words, then the path as one argument of its own.
    launcher_.opened.clear();
    SettingsStore::Instance().WriteStringValue("EnqueueCommand", u"player --enqueue \"two words\"");
    Trigger(ui::Command::Enqueue);
    ASSERT_EQ(launcher_.started.size(), 3u);
    EXPECT_EQ(launcher_.started[2].program, QStringLiteral("player"));
    EXPECT_EQ(launcher_.started[2].arguments, (QStringList{"--enqueue", "two words", odd}));
    EXPECT_EQ(launcher_.started[0].arguments.back(), ui::PathToQString(TreePath("p/one.mp3")));
    EXPECT_TRUE(launcher_.opened.empty());

    // A command that does not start falls back to opening.
    launcher_.startSucceeds = false;
    Trigger(ui::Command::Enqueue);
    EXPECT_EQ(launcher_.opened.size(), 3u);

    // Double-click opens the row's file.
    launcher_.opened.clear();
    ui::FileListView& view = window_->List();
    const QRect cell = view.visualRect(view.model()->index(1, ui::kColumnTitle));
    // As the system delivers a double-click: press, release, double-click, release.
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(launcher_.opened.size(), 1u);
    EXPECT_EQ(launcher_.opened[0].toLocalFile(), ui::PathToQString(TreePath("p/two.mp3")));
}

// A name that is not UTF-8 has no QString that gives its bytes back: Play and Enqueue
// name the file by its file: URL, percent-encoded byte for byte.
TEST_F(CommandsTest, ANameThatIsNotUtf8IsOpenedAndEnqueuedByItsOwnBytes) {
    MakeFiles({{"r/plain.mp3"}});
    std::filesystem::rename(tree_ / "r/plain.mp3", tree_ / "r/caf\xE9.mp3");
    LoadTree(1);
    window_->SelectAll();
    const QByteArray url = QUrl::fromLocalFile(ui::PathToQString(TreePath("r"))).toEncoded() + "/caf%E9.mp3";
    Trigger(ui::Command::Play);
    ASSERT_EQ(launcher_.opened.size(), 1u);
    EXPECT_EQ(launcher_.opened[0].toEncoded(), url);
    SettingsStore::Instance().WriteStringValue("EnqueueCommand", u"player");
    Trigger(ui::Command::Enqueue);
    ASSERT_EQ(launcher_.started.size(), 1u);
    EXPECT_EQ(launcher_.started[0].arguments, QStringList{QString::fromLatin1(url)});
}

// The menu only over a selected row; Select All selects every row and refreshes once.
TEST_F(CommandsTest, ContextMenuOnlyOverASelectedRowAndSelectAll) {
    LoadThree();
    ui::FileListView& view = window_->List();
    QSignalSpy requests(&view, &ui::FileListView::ContextMenuRequested);
    const auto rightClick = [&](QPoint at) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view.viewport()->mapToGlobal(at));
        QApplication::sendEvent(view.viewport(), &event);
    };
    const QPoint row0 = view.visualRect(view.model()->index(0, 1)).center();
    const QPoint row1 = view.visualRect(view.model()->index(1, 1)).center();
    rightClick(row0);  // nothing selected
    SelectRows({1});
    rightClick(row0);  // an unselected row
    rightClick(QPoint(5, view.viewport()->height() - 3));  // empty space
    EXPECT_EQ(requests.count(), 0);
    rightClick(row1);
    EXPECT_EQ(requests.count(), 1);

    QSignalSpy refreshed(window_.get(), &ui::MainWindow::SelectionRefreshed);
    Trigger(ui::Command::SelectAll);
    EXPECT_EQ(window_->SelectedRecords().size(), 3u);
    QTest::qWait(20);
    EXPECT_EQ(refreshed.count(), 1);
    view.clearSelection();
    EXPECT_EQ(window_->TargetRecords().size(), 3u);  // none selected: every listed file
}

TEST_F(CommandsTest, HelpOpensTheManualOrSaysItCannot) {
    const QString manual = ui::FindManual();
    ASSERT_FALSE(manual.isEmpty());  // the source tree's, for a build
    EXPECT_TRUE(manual.endsWith(QStringLiteral("manual.html")));
    Trigger(ui::Command::Contents);
    ASSERT_EQ(launcher_.opened.size(), 1u);
    EXPECT_EQ(launcher_.opened[0], QUrl::fromLocalFile(manual));

    ui::OpenManual(launcher_, prompts_, QString());
    launcher_.openSucceeds = false;
    ui::OpenManual(launcher_, prompts_, manual);
    EXPECT_EQ(CountPrompts("error", u"Couldn't open help file"), 2u);
}

}  // namespace
}  // namespace quorvane::test

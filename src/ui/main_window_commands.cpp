// The main window's commands: what each menu item, key, button and the list do.
#include <QComboBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

#include "library/edit_gate.h"
#include "library/tag_saver.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"
#include "tags/frame_id.h"
#include "ui/desktop_launcher.h"
#include "ui/file_list_view.h"
#include "ui/main_window.h"
#include "ui/preferences_dialog.h"
#include "ui/qt_text.h"
#include "ui/record_list_model.h"

namespace quorvane::ui {

namespace {
constexpr char16_t kRemoveV2Question[] =
    u"All subsequent changes to the ID3v2 tag will not be saved.\r\nReally remove ID3v2?";
}

std::vector<RecordPtr> MainWindow::SelectedRecords() const { return view_->SelectedRecords(); }

std::vector<RecordPtr> MainWindow::TargetRecords() const {
    std::vector<RecordPtr> records = SelectedRecords();
    if (!records.empty()) return records;
    const int count = view_->model()->rowCount();
    records.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) records.push_back(view_->RecordAtViewRow(row));
    return records;
}

void MainWindow::RecordsChanged(std::span<const RecordPtr> records) {
    rows_->Refresh(records);
    UpdateStatus();
    emit RecordsEdited();
}

void MainWindow::AfterListCommand() {
    FlushRemovedRows();
    SyncDirectoryEntries();
}

// --- File menu ---------------------------------------------------------------------------

void MainWindow::ClearList() {
    controller_->ClearList();
    AfterListCommand();
}

void MainWindow::AddDirectory() {
    SettingsStore& store = SettingsStore::Instance();
    const QString start = PathToQString(store.ReadString("BrowseDir"));
    const QString chosen = chooser_->ChooseDirectory(this, QStringLiteral("Select a directory"), start);
    if (chosen.isEmpty()) return;
    store.WriteStringValue("BrowseDir", NormalizeDirectory(PathFromQString(chosen)));
    AddDirectoryPath(chosen);
}

void MainWindow::AddDirectoryPath(const QString& path) {
    const std::u16string directory = NormalizeDirectory(PathFromQString(path));
    if (directory.empty()) return;
    loader_->AddDirectory(directory);
    SyncDirectoryEntries();
}

void MainWindow::Save() { controller_->Save(); }

void MainWindow::RefreshList() {
    controller_->RefreshList();
    AfterListCommand();
}

void MainWindow::DeleteDirectory() {
    if (directories_->currentIndex() <= 0) {
        // "All": every directory goes, as by Clear.
        controller_->ClearList();
    } else {
        controller_->RemoveDirectory(ToU16(directories_->currentText()));
    }
    AfterListCommand();
}

// --- Edit menu ---------------------------------------------------------------------------

void MainWindow::RemoveV1() {
    const std::vector<RecordPtr> records = SelectedRecords();
    if (records.empty() || RefuseWhileSaving(*saver_, records, prompts_)) return;
    for (const RecordPtr& record : records) record->RequestRemoveV1();
    RecordsChanged(records);
}

void MainWindow::RemoveV2() {
    const std::vector<RecordPtr> records = SelectedRecords();
    if (records.empty() || RefuseWhileSaving(*saver_, records, prompts_)) return;
    if (!prompts_.AskYesNo(ProgramTitle(), kRemoveV2Question)) return;
    // The box ran an event loop: check again before touching the records.
    if (RefuseWhileSaving(*saver_, records, prompts_)) return;
    for (const RecordPtr& record : records) record->RequestRemoveV2();
    RecordsChanged(records);
}

void MainWindow::SelectAll() {
    selectionHandling_ = false;
    view_->selectAll();
    selectionHandling_ = true;
    selectionTimer_.stop();
    emit SelectionRefreshed();
}

void MainWindow::SelectOnlyRow(int viewRow) {
    selectionHandling_ = false;
    QItemSelectionModel* selection = view_->selectionModel();
    if (viewRow >= 0 && viewRow < view_->model()->rowCount()) {
        const QModelIndex index = view_->model()->index(viewRow, 0);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        view_->scrollTo(index);
    } else {
        selection->clearSelection();
    }
    selectionHandling_ = true;
    selectionTimer_.stop();
    emit SelectionRefreshed();
}

void MainWindow::ShowPreferences() {
    {
        PreferencesDialog dialog(prompts_, this);
        dialog.exec();
    }
    // Whatever the answer, the list shows the stored settings.
    ApplyListSettings();
}

// --- Help menu ---------------------------------------------------------------------------

void MainWindow::ShowHelp() { OpenManual(launcher_, prompts_, FindManual()); }

void MainWindow::ShowAbout() {
    const QString title = ToQString(ProgramTitle());
    QMessageBox::about(this, QStringLiteral("About Quorvane"),
                       QStringLiteral("<h3>%1</h3>"
                                      "<p>Manages the tags of MP3 files in bulk: edit ID3v2 and ID3v1 tags of "
                                      "many files at once, remove tags, rename files from their tags, fill "
                                      "tags from file names, and export playlists, XML and pictures.</p>"
                                      "<p>The command-line tool <tt>quorvane-cli</tt> runs the same operations "
                                      "without a window.</p>")
                           .arg(title.toHtmlEscaped()));
}

// --- the list ----------------------------------------------------------------------------

void MainWindow::Play() { PlayFiles(launcher_, SelectedRecords()); }

void MainWindow::Enqueue() { EnqueueFiles(launcher_, SelectedRecords()); }

void MainWindow::ExploreDirectory() { ui::ExploreDirectories(launcher_, SelectedRecords()); }

void MainWindow::ShowContextMenu(const QPoint& globalPos) { contextMenu_->popup(globalPos); }

void MainWindow::OnTrackToggled(bool down) {
    if (down) {
        trackCounter_.Press();
    } else {
        trackCounter_.Release();
    }
    trackButton_->setText(ToQString(trackCounter_.Caption()));
}

void MainWindow::OnSelectionChanged(const QItemSelection& selected) {
    if (!selectionHandling_) return;
    if (trackCounter_.IsDown() && view_->selectionModel()->hasSelection()) {
        // Each newly selected row takes the next number, in the order reported.
        for (const QItemSelectionRange& range : selected) {
            for (int row = range.top(); row <= range.bottom(); ++row) {
                const std::vector<RecordPtr> one{view_->RecordAtViewRow(row)};
                if (RefuseWhileSaving(*saver_, one, prompts_)) continue;
                const std::optional<std::u16string> number = trackCounter_.TakeNumber();
                if (!number) break;
                one.front()->Tag().SetText(kFrameTRCK, *number);
                RecordsChanged(one);
            }
        }
        trackButton_->setText(ToQString(trackCounter_.Caption()));
    }
    selectionTimer_.start();
}

}  // namespace quorvane::ui

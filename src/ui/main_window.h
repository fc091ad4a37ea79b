#pragma once
// The main window: menus, bars, the file list and the status bar over the core's file
// list, loader, saver and save controller. It turns commands into the core's operations
// and shows their progress; loading and saving run on the worker threads.
#include <QAction>
#include <QItemSelection>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>
#include <span>
#include <vector>

#include "library/directory_loader.h"
#include "library/mp3_file_record.h"
#include "library/save_controller.h"
#include "operations/text_cleanup.h"
#include "ui/file_chooser.h"

class QComboBox;
class QLabel;
class QMimeData;
class QMenu;
class QSplitter;
class QPushButton;

namespace quorvane {
class LoaderThread;
class TagSaver;
class UserPrompts;
}  // namespace quorvane

namespace quorvane::ui {

class DesktopLauncher;
class FileListView;
class RecordListModel;
class SaveBridge;
class TagEditor;

enum class Command {
    Clear,
    AddDirectory,
    Save,
    RefreshList,
    ExportM3u,
    ExportPls,
    ExportXml,
    ExportPictures,
    Exit,
    RemoveV1,
    RemoveV2,
    Rename,
    Generate,
    SelectAll,
    Preferences,
    Contents,
    About,
    Play,
    Enqueue,
    ExploreDirectory,
    Count
};

class MainWindow final : public QMainWindow, private MainWindowPort, private RecordObserver {
    Q_OBJECT
public:
    // `prompts` shows every box of the window and of its workers; `launcher` opens files.
    MainWindow(UserPrompts& prompts, DesktopLauncher& launcher, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the startup action (the directories of last time, or none) and starts the
    // loader thread and the row timer. Returns the startup action: 1 asks for a folder,
    // which the caller runs once the window shows.
    uint32_t Start();

    // A directory chosen, dropped or named on the command line: listed in "Loaded
    // Directories" and scanned.
    void AddDirectoryPath(const QString& path);

    QAction* CommandAction(Command command) const { return actions_[static_cast<size_t>(command)]; }
    // Where the exports ask for their file or folder (QFileDialog unless replaced; the
    // chooser must outlive the window's use of it).
    void SetFileChooser(FileChooser& chooser) { chooser_ = &chooser; }
    QPushButton* TrackButton() const { return trackButton_; }

    // The rows the selection commands act on, top to bottom as listed.
    std::vector<RecordPtr> SelectedRecords() const;
    // Rename, generation and the exports: the selection, or every listed file when none.
    std::vector<RecordPtr> TargetRecords() const;
    // After a command changed records in memory: their rows, the status and the panes.
    void RecordsChanged(std::span<const RecordPtr> records);
    // Only this row of the view is selected, focused and scrolled to (none when out of
    // range), without the selection handling (no track numbering); the panes refresh.
    void SelectOnlyRow(int viewRow);

    // The status bar's panes, the "Loaded Directories" entries, the list.
    QString StatusText(int pane) const;
    QStringList DirectoryEntries() const;
    FileListView& List() const { return *view_; }
    RecordListModel& Rows() const { return *rows_; }
    QSplitter& Splitter() const { return *splitter_; }
    TagEditor& Editor() const { return *editor_; }

    DirectoryLoader& Loader() { return *loader_; }
    TagSaver& Saver() { return *saver_; }
    SaveController& Controller() { return *controller_; }

    // Moves the rows the loader found since the last call into the list (the row
    // timer's step, every 250 ms).
    void TakeNewRows();

signals:
    // The selection changed (once per burst of changes) or was reloaded: the editor
    // panes refresh from SelectedRecords().
    void SelectionRefreshed();
    // Records changed by a command of the window: visible panes reload.
    void RecordsEdited();
    // Records left the list (Clear, Refresh List, a directory removed): nothing may keep
    // editing them.
    void RecordsDropped();

public slots:
    void ClearList();
    void AddDirectory();
    void Save();
    void RefreshList();
    void RemoveV1();
    void RemoveV2();
    void SelectAll();
    void ShowPreferences();
    void ShowHelp();
    void ShowAbout();
    void Play();
    void Enqueue();
    void ExploreDirectory();
    void DeleteDirectory();
    // Reads the four list settings again and redraws the rows.
    void ApplyListSettings();

    // The rename and generation dialogs and the exports, on TargetRecords().
    void RenameFromTags();
    void GenerateTags();
    void ExportPlaylistM3u();
    void ExportPlaylistPls();
    void ExportXml();
    void ExportPictures();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // MainWindowPort
    void EmptyList() override;
    void SetRedrawSuspended(bool suspended) override;
    void RedrawRecord(const RecordPtr& record) override;
    void RedrawVisibleRows() override;
    void SetStatusPane(int pane, std::u16string_view text) override;
    void SetSaveCommandsEnabled(bool enabled) override;
    void ExitProgram() override;
    // RecordObserver: RecordRemoved while the loader holds its list lock, ScanEnded on
    // the loader thread.
    void RecordRemoved(const RecordPtr& record) override;
    void ScanEnded() override;

    void CreateActions();
    void CreateMenus();
    void CreateBars();
    void CreateStatusBar();
    QAction* MakeAction(Command command, const QString& text, void (MainWindow::*slot)());
    void OnSelectionChanged(const QItemSelection& selected);
    void OnTrackToggled(bool down);
    void ShowContextMenu(const QPoint& globalPos);
    void FlushRemovedRows();
    void AppendPendingRows();
    // The three status panes.
    void UpdateStatus();
    void SyncDirectoryEntries();
    void AfterListCommand();
    bool HasDirectoryUrl(const QMimeData* mime) const;
    // True, after telling the user, when a running save covers one of the records an
    // export would read.
    bool RefuseExportWhileSaving(std::span<const RecordPtr> records);
    void ExportPlaylist(const Exporter& exporter);

    UserPrompts& prompts_;
    DesktopLauncher& launcher_;

    std::unique_ptr<DirectoryLoader> loader_;
    SaveBridge* bridge_;  // owned by this window, destroyed after the saver
    std::unique_ptr<TagSaver> saver_;
    std::unique_ptr<SaveController> controller_;
    std::unique_ptr<LoaderThread> loaderThread_;

    RecordListModel* rows_;
    FileListView* view_;
    QSplitter* splitter_;
    TagEditor* editor_;
    std::array<QAction*, static_cast<size_t>(Command::Count)> actions_{};
    QMenu* contextMenu_ = nullptr;
    QPushButton* trackButton_ = nullptr;
    QPushButton* renameButton_ = nullptr;
    QComboBox* directories_ = nullptr;
    std::array<QLabel*, 3> panes_{};
    DialogFileChooser dialogChooser_;
    FileChooser* chooser_ = &dialogChooser_;

    QTimer rowTimer_;
    QTimer selectionTimer_;
    bool selectionHandling_ = true;
    bool wasBusy_ = false;
    TrackCounter trackCounter_;
    std::vector<RecordPtr> removedRecords_;
    // Records taken from the loader that have no row yet.
    std::vector<RecordPtr> pendingRows_;
    bool appendQueued_ = false;
    bool flushQueued_ = false;
    bool exitAllowed_ = false;
    bool inCloseEvent_ = false;
};

}  // namespace quorvane::ui

#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include <unordered_set>

#include "library/loader_thread.h"
#include "library/status_text.h"
#include "library/tag_saver.h"
#include "platform/settings_store.h"
#include "platform/user_prompts.h"
#include "ui/desktop_launcher.h"
#include "ui/edit_keys.h"
#include "ui/file_list_view.h"
#include "ui/icons.h"
#include "ui/qt_prompts.h"
#include "ui/qt_text.h"
#include "ui/record_list_model.h"
#include "ui/save_bridge.h"
#include "ui/tag_editor.h"

namespace quorvane::ui {

namespace {
constexpr int kRowTimerMs = 250;
// Rows added in one go: a few milliseconds of work, even while the loader thread
// competes for the processor.
constexpr size_t kRowsPerSlice = 5000;
}  // namespace

MainWindow::MainWindow(UserPrompts& prompts, DesktopLauncher& launcher, QWidget* parent)
    : QMainWindow(parent),
      prompts_(prompts),
      launcher_(launcher),
      loader_(std::make_unique<DirectoryLoader>(prompts)),
      bridge_(new SaveBridge([this](const RecordPtr& record) { controller_->OnSaved(record); },
                             [this] {
                                 controller_->OnSaveFinished();
                                 AfterListCommand();
                             },
                             this)),
      saver_(std::make_unique<TagSaver>(prompts, *bridge_)),
      controller_(std::make_unique<SaveController>(*loader_, *saver_, prompts, static_cast<MainWindowPort&>(*this))),
      rows_(new RecordListModel(this)) {
    if (auto* qtPrompts = dynamic_cast<QtPrompts*>(&prompts_)) qtPrompts->SetParentWindow(this);
    loader_->SetObserver(this);
    setWindowTitle(ToQString(ProgramTitle()));
    rows_->SetIcons(ThemeIcon("audio-x-generic", QStyle::SP_FileIcon),
                    ThemeIcon("document-save", QStyle::SP_DialogSaveButton));

    view_ = new FileListView(*rows_, this);
    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->addWidget(view_);
    editor_ = new TagEditor(*this, prompts_, launcher_, splitter_);
    splitter_->addWidget(editor_);
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 0);
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);

    CreateActions();
    CreateMenus();
    CreateBars();
    CreateStatusBar();
    InstallEditKeys(*this);

    view_->SetInitialColumnWidths();
    ApplyListSettings();
    setAcceptDrops(true);
    // Wide enough for every column, as far as the screen allows.
    QSize size(view_->ColumnsWidth() + 40, 720);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        size = size.boundedTo(screen->availableGeometry().size() * 0.95);
    }
    resize(size);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) { OnSelectionChanged(selected); });
    connect(view_, &FileListView::ContextMenuRequested, this, &MainWindow::ShowContextMenu);
    connect(view_, &FileListView::RowActivated, this,
            [this](const RecordPtr& record) { PlayFiles(launcher_, {record}); });

    selectionTimer_.setSingleShot(true);
    selectionTimer_.setInterval(1);
    connect(&selectionTimer_, &QTimer::timeout, this, &MainWindow::SelectionRefreshed);
    rowTimer_.setInterval(kRowTimerMs);
    connect(&rowTimer_, &QTimer::timeout, this, &MainWindow::TakeNewRows);
}

MainWindow::~MainWindow() {
    rowTimer_.stop();
    // No worker may wait for a box while this window waits for the worker.
    if (auto* qtPrompts = dynamic_cast<QtPrompts*>(&prompts_)) qtPrompts->Dismiss();
    loaderThread_.reset();
    // The saver lets its current file finish; its last reports are posted to the bridge,
    // which goes after it, with the rest of the children.
    controller_.reset();
    saver_.reset();
    loader_->SetObserver(nullptr);
}

uint32_t MainWindow::Start() {
    const uint32_t action = loader_->Startup();
    SyncDirectoryEntries();
    loaderThread_ = std::make_unique<LoaderThread>(*loader_);
    rowTimer_.start();
    return action;
}

QAction* MainWindow::MakeAction(Command command, const QString& text, void (MainWindow::*slot)()) {
    auto* action = new QAction(text, this);
    if (slot) connect(action, &QAction::triggered, this, slot);
    actions_[static_cast<size_t>(command)] = action;
    return action;
}

void MainWindow::CreateActions() {
    QAction* a = MakeAction(Command::Clear, QStringLiteral("Clear"), &MainWindow::ClearList);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    a->setToolTip(QStringLiteral("Clear the list of loaded files"));
    a->setIcon(ThemeIcon("edit-clear", QStyle::SP_DialogResetButton));

    a = MakeAction(Command::AddDirectory, QStringLiteral("Add directory..."), &MainWindow::AddDirectory);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    a->setToolTip(QStringLiteral("Add a new directory to the list"));
    a->setIcon(ThemeIcon("folder-open", QStyle::SP_DirOpenIcon));

    a = MakeAction(Command::Save, QStringLiteral("&Save"), &MainWindow::Save);
    a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    a->setToolTip(QStringLiteral("Save changes"));
    a->setIcon(ThemeIcon("document-save", QStyle::SP_DialogSaveButton));

    a = MakeAction(Command::RefreshList, QStringLiteral("Refresh List"), &MainWindow::RefreshList);
    a->setShortcut(QKeySequence(Qt::Key_F5));
    a->setIcon(ThemeIcon("view-refresh", QStyle::SP_BrowserReload));

    MakeAction(Command::ExportM3u, QStringLiteral("Playlist (M3U)..."), &MainWindow::ExportPlaylistM3u);
    MakeAction(Command::ExportPls, QStringLiteral("Playlist (PLS)..."), &MainWindow::ExportPlaylistPls);
    MakeAction(Command::ExportXml, QStringLiteral("XML..."), &MainWindow::ExportXml);
    MakeAction(Command::ExportPictures, QStringLiteral("Pictures..."), &MainWindow::ExportPictures);

    a = MakeAction(Command::Exit, QStringLiteral("E&xit"), nullptr);
    connect(a, &QAction::triggered, this, &QWidget::close);
    a->setIcon(ThemeIcon("application-exit", QStyle::SP_DialogCloseButton));

    a = MakeAction(Command::RemoveV1, QStringLiteral("Remove ID3v1"), &MainWindow::RemoveV1);
    a->setIcon(ThemeIcon("edit-delete", QStyle::SP_TrashIcon));
    a = MakeAction(Command::RemoveV2, QStringLiteral("Remove ID3v2"), &MainWindow::RemoveV2);
    a->setIcon(ThemeIcon("edit-delete", QStyle::SP_TrashIcon));
    MakeAction(Command::Rename, QStringLiteral("Rename..."), &MainWindow::RenameFromTags);
    MakeAction(Command::Generate, QStringLiteral("Generate ID3..."), &MainWindow::GenerateTags);
    MakeAction(Command::SelectAll, QStringLiteral("Select All"), &MainWindow::SelectAll);
    a = MakeAction(Command::Preferences, QStringLiteral("Preferences..."), &MainWindow::ShowPreferences);
    a->setMenuRole(QAction::PreferencesRole);

    a = MakeAction(Command::Contents, QStringLiteral("Contents..."), &MainWindow::ShowHelp);
    a->setShortcut(QKeySequence(Qt::Key_F1));
    a->setIcon(ThemeIcon("help-contents", QStyle::SP_DialogHelpButton));
    a = MakeAction(Command::About, QStringLiteral("&About Quorvane..."), &MainWindow::ShowAbout);
    a->setMenuRole(QAction::AboutRole);

    a = MakeAction(Command::Play, QStringLiteral("Play"), &MainWindow::Play);
    a->setIcon(ThemeIcon("media-playback-start", QStyle::SP_MediaPlay));
    MakeAction(Command::Enqueue, QStringLiteral("Enqueue"), &MainWindow::Enqueue);
    MakeAction(Command::ExploreDirectory, QStringLiteral("Explore directory"), &MainWindow::ExploreDirectory);

    // Shortcuts work wherever the focus is in this window.
    for (QAction* action : actions_) {
        if (action) addAction(action);
    }
}

void MainWindow::CreateMenus() {
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(CommandAction(Command::Clear));
    file->addAction(CommandAction(Command::AddDirectory));
    file->addAction(CommandAction(Command::Save));
    file->addAction(CommandAction(Command::RefreshList));
    file->addSeparator();
    QMenu* exportMenu = file->addMenu(QStringLiteral("Export"));
    exportMenu->addAction(CommandAction(Command::ExportM3u));
    exportMenu->addAction(CommandAction(Command::ExportPls));
    exportMenu->addAction(CommandAction(Command::ExportXml));
    exportMenu->addAction(CommandAction(Command::ExportPictures));
    file->addSeparator();
    file->addAction(CommandAction(Command::Exit));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->addAction(CommandAction(Command::RemoveV1));
    edit->addAction(CommandAction(Command::RemoveV2));
    edit->addSeparator();
    edit->addAction(CommandAction(Command::Rename));
    edit->addAction(CommandAction(Command::Generate));
    edit->addSeparator();
    edit->addAction(CommandAction(Command::SelectAll));
    edit->addSeparator();
    edit->addAction(CommandAction(Command::Preferences));

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(CommandAction(Command::Contents));
    help->addSeparator();
    help->addAction(CommandAction(Command::About));

    // The list's context menu, for selected rows.
    contextMenu_ = new QMenu(this);
    contextMenu_->addAction(CommandAction(Command::Play));
    contextMenu_->addAction(CommandAction(Command::Enqueue));
    contextMenu_->addAction(CommandAction(Command::ExploreDirectory));
    contextMenu_->addSeparator();
    contextMenu_->addAction(CommandAction(Command::RemoveV1));
    contextMenu_->addAction(CommandAction(Command::RemoveV2));
    contextMenu_->addSeparator();
    contextMenu_->addAction(CommandAction(Command::Rename));
    contextMenu_->addAction(CommandAction(Command::Generate));
    contextMenu_->addSeparator();
    QMenu* contextExport = contextMenu_->addMenu(QStringLiteral("Export"));
    contextExport->addAction(CommandAction(Command::ExportM3u));
    contextExport->addAction(CommandAction(Command::ExportPls));
    contextExport->addAction(CommandAction(Command::ExportXml));
    contextExport->addAction(CommandAction(Command::ExportPictures));
}

void MainWindow::CreateBars() {
    const bool tips = SettingsStore::Instance().ReadBool("Tooltips", true);

    QToolBar* tools = addToolBar(QStringLiteral("Toolbar"));
    tools->setObjectName(QStringLiteral("toolbar"));
    tools->setMovable(false);
    tools->setIconSize(QSize(16, 16));
    tools->addAction(CommandAction(Command::Clear));
    tools->addAction(CommandAction(Command::AddDirectory));
    tools->addAction(CommandAction(Command::Save));

    QToolBar* trackBar = addToolBar(QStringLiteral("Track numbers"));
    trackBar->setObjectName(QStringLiteral("trackbar"));
    trackBar->setMovable(false);
    // A push button that stays down while numbering.
    trackButton_ = new QPushButton(ToQString(trackCounter_.Caption()), trackBar);
    trackButton_->setCheckable(true);
    // Wide enough for "Track 999" so the bar does not jump while numbering.
    trackButton_->setMinimumWidth(trackButton_->fontMetrics().horizontalAdvance(QStringLiteral("Track 9999")) + 16);
    if (tips) trackButton_->setToolTip(QStringLiteral("Edit track numbers\n(number will increase after each click)"));
    connect(trackButton_, &QPushButton::toggled, this, &MainWindow::OnTrackToggled);
    trackBar->addWidget(trackButton_);
    renameButton_ = new QPushButton(QStringLiteral("Rename"), trackBar);
    if (tips) renameButton_->setToolTip(QStringLiteral("Rename selected files based on ID3 tags"));
    connect(renameButton_, &QPushButton::clicked, this, &MainWindow::RenameFromTags);
    trackBar->addWidget(renameButton_);

    addToolBarBreak();
    QToolBar* directoryBar = addToolBar(QStringLiteral("Loaded Directories"));
    directoryBar->setObjectName(QStringLiteral("directorybar"));
    directoryBar->setMovable(false);
    auto* label = new QLabel(QStringLiteral("Loaded Directories"), directoryBar);
    label->setContentsMargins(4, 0, 6, 0);
    directoryBar->addWidget(label);
    directories_ = new QComboBox(directoryBar);
    directories_->setObjectName(QStringLiteral("directories"));
    directories_->addItem(QStringLiteral("All"));
    directories_->setMinimumContentsLength(48);
    directories_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (tips) directories_->setToolTip(QStringLiteral("Shows all loaded directories"));
    directoryBar->addWidget(directories_);
    auto* remove = new QPushButton(QStringLiteral("Delete"), directoryBar);
    remove->setObjectName(QStringLiteral("deleteDirectory"));
    if (tips) remove->setToolTip(QStringLiteral("Delete the currently selected directory from the list"));
    connect(remove, &QPushButton::clicked, this, &MainWindow::DeleteDirectory);
    directoryBar->addWidget(remove);
}

void MainWindow::CreateStatusBar() {
    for (int pane = 0; pane < 3; ++pane) {
        panes_[pane] = new QLabel(this);
        panes_[pane]->setObjectName(QStringLiteral("pane%1").arg(pane));
    }
    panes_[0]->setText(QStringLiteral("Ready"));
    panes_[0]->setMinimumWidth(10);
    statusBar()->addWidget(panes_[0], 1);
    for (int pane = 1; pane < 3; ++pane) {
        panes_[pane]->setMinimumWidth(100);
        statusBar()->addPermanentWidget(panes_[pane]);
    }
}

void MainWindow::ApplyListSettings() { view_->ApplyAppearance(ListAppearance::FromSettings()); }

QString MainWindow::StatusText(int pane) const { return panes_[static_cast<size_t>(pane)]->text(); }

QStringList MainWindow::DirectoryEntries() const {
    QStringList entries;
    for (int i = 0; i < directories_->count(); ++i) entries << directories_->itemText(i);
    return entries;
}

void MainWindow::SyncDirectoryEntries() {
    const std::vector<std::u16string> loaded = loader_->GetLoadedDirectories();
    QStringList wanted{QStringLiteral("All")};
    for (const std::u16string& directory : loaded) wanted << ToQString(directory);
    if (wanted == DirectoryEntries()) return;
    const QString current = directories_->currentText();
    directories_->clear();
    directories_->addItems(wanted);
    const int keep = directories_->findText(current, Qt::MatchExactly | Qt::MatchCaseSensitive);
    directories_->setCurrentIndex(keep >= 0 ? keep : 0);
}

// --- rows -------------------------------------------------------------------------------

void MainWindow::TakeNewRows() {
    FlushRemovedRows();
    std::vector<RecordPtr> batch = loader_->TakeNewRecords();
    const bool busy = !batch.empty() || !loader_->IsIdle();
    if (pendingRows_.empty()) {
        pendingRows_ = std::move(batch);
    } else {
        pendingRows_.insert(pendingRows_.end(), batch.begin(), batch.end());
    }
    if (!appendQueued_) AppendPendingRows();
    // The status is worth its count only while something moves.
    if (busy || wasBusy_) UpdateStatus();
    wasBusy_ = busy;
}

void MainWindow::AppendPendingRows() {
    appendQueued_ = false;
    if (pendingRows_.empty()) return;
    // A tick's records go in as slices, each one insertion, with the event loop running
    // between them: a large tick never stalls the window.
    const size_t count = std::min(pendingRows_.size(), kRowsPerSlice);
    if (count == pendingRows_.size()) {
        rows_->Append(pendingRows_);
        pendingRows_.clear();
    } else {
        rows_->Append(std::vector<RecordPtr>(pendingRows_.begin(), pendingRows_.begin() + static_cast<std::ptrdiff_t>(count)));
        pendingRows_.erase(pendingRows_.begin(), pendingRows_.begin() + static_cast<std::ptrdiff_t>(count));
        appendQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            AppendPendingRows();
            UpdateStatus();
        });
    }
}

void MainWindow::UpdateStatus() {
    // While a save runs the controller counts from the saver's figures, cheaply; else the
    // rows' own marks give the count without walking every record.
    if (controller_->IsSaving()) {
        controller_->UpdateStatus();
        return;
    }
    StatusInputs inputs;
    inputs.directoryBeingScanned = loader_->DirectoryBeingScanned();
    inputs.recordCount = loader_->RecordCount();
    inputs.needingSaving = rows_->CountNeedingSaving();
    const StatusTexts texts = ComputeStatusTexts(inputs);
    if (texts.pane0) SetStatusPane(0, *texts.pane0);
    SetStatusPane(1, texts.pane1);
    SetStatusPane(2, texts.pane2);
}

void MainWindow::RecordRemoved(const RecordPtr& record) {
    // The loader's list lock is held: only note the record; its row goes right after.
    removedRecords_.push_back(record);
    if (!flushQueued_) {
        flushQueued_ = true;
        QMetaObject::invokeMethod(this, &MainWindow::FlushRemovedRows, Qt::QueuedConnection);
    }
}

void MainWindow::ScanEnded() {
    // A short scan lists its rows now, not at the row timer's next tick.
    QMetaObject::invokeMethod(this, &MainWindow::TakeNewRows, Qt::QueuedConnection);
}

void MainWindow::FlushRemovedRows() {
    flushQueued_ = false;
    if (removedRecords_.empty()) return;
    std::vector<RecordPtr> removed;
    removed.swap(removedRecords_);
    if (!pendingRows_.empty()) {
        const std::unordered_set<const Mp3FileRecord*> gone = [&] {
            std::unordered_set<const Mp3FileRecord*> set;
            for (const RecordPtr& record : removed) set.insert(record.get());
            return set;
        }();
        std::erase_if(pendingRows_, [&](const RecordPtr& record) { return gone.count(record.get()) != 0; });
    }
    rows_->Remove(removed);
    UpdateStatus();
    emit RecordsDropped();
}

void MainWindow::EmptyList() {
    removedRecords_.clear();
    pendingRows_.clear();
    rows_->Clear();
    emit RecordsDropped();
    emit SelectionRefreshed();
}

void MainWindow::SetRedrawSuspended(bool suspended) {
    if (!suspended) FlushRemovedRows();
    view_->setUpdatesEnabled(!suspended);
}

void MainWindow::RedrawRecord(const RecordPtr& record) { rows_->Refresh(record); }

void MainWindow::RedrawVisibleRows() {
    const int first = view_->rowAt(0);
    int last = view_->rowAt(view_->viewport()->height() - 1);
    if (first < 0) return;
    if (last < 0) last = view_->model()->rowCount() - 1;
    for (int row = first; row <= last; ++row) {
        const int modelRow = view_->Proxy().mapToSource(view_->Proxy().index(row, 0)).row();
        rows_->RefreshRows(modelRow, modelRow);
    }
}

void MainWindow::SetStatusPane(int pane, std::u16string_view text) {
    if (pane >= 0 && pane < 3) panes_[static_cast<size_t>(pane)]->setText(ToQString(text));
}

void MainWindow::SetSaveCommandsEnabled(bool enabled) {
    CommandAction(Command::Save)->setEnabled(enabled);
    CommandAction(Command::Clear)->setEnabled(enabled);
    CommandAction(Command::RefreshList)->setEnabled(enabled);
}

void MainWindow::ExitProgram() {
    exitAllowed_ = true;
    if (!inCloseEvent_) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!exitAllowed_) {
        inCloseEvent_ = true;
        controller_->Exit();
        inCloseEvent_ = false;
    }
    if (!exitAllowed_) {
        event->ignore();
        return;
    }
    rowTimer_.stop();
    event->accept();
}

// --- drag and drop ---------------------------------------------------------------------

bool MainWindow::HasDirectoryUrl(const QMimeData* mime) const {
    if (!mime || !mime->hasUrls()) return false;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir()) return true;
    }
    return false;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (HasDirectoryUrl(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    if (HasDirectoryUrl(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    if (!event->mimeData() || !event->mimeData()->hasUrls()) return;
    bool any = false;
    for (const QUrl& url : event->mimeData()->urls()) {
        // Folders only; dropped files are ignored.
        if (!url.isLocalFile() || !QFileInfo(url.toLocalFile()).isDir()) continue;
        AddDirectoryPath(url.toLocalFile());
        any = true;
    }
    if (any) event->acceptProposedAction();
}

}  // namespace quorvane::ui

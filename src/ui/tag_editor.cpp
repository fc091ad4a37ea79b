#include "ui/tag_editor.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "library/edit_gate.h"
#include "operations/temp_image.h"
#include "platform/settings_store.h"
#include "ui/comments_pane.h"
#include "ui/file_chooser.h"
#include "ui/file_list_view.h"
#include "ui/general_pane.h"
#include "ui/id3v1_pane.h"
#include "ui/main_window.h"
#include "ui/pictures_pane.h"
#include "ui/preview_hub.h"
#include "ui/tooltips.h"

namespace quorvane::ui {
namespace {
constexpr char kAutoSaveSetting[] = "NextAutoSave";
}

TagEditor::TagEditor(MainWindow& window, UserPrompts& prompts, DesktopLauncher& launcher, QWidget* parent)
    : QWidget(parent),
      window_(window),
      dialogChooser_(std::make_unique<DialogFileChooser>()),
      previews_(new PreviewHub(this)),
      tempImages_(std::make_unique<TempImageDirectory>()),
      services_{window, prompts, launcher, dialogChooser_.get(), *previews_, *tempImages_, TooltipsOn()} {
    setObjectName(QStringLiteral("tagEditor"));
    const bool tips = services_.tooltips;
    removeV1_ = new QPushButton(QStringLiteral("Remove ID3v1"), this);
    removeV1_->setObjectName(QStringLiteral("RemoveV1"));
    SetTooltip(*removeV1_, QStringLiteral("Remove the ID3v1 tags from the selected files"), tips);
    removeV2_ = new QPushButton(QStringLiteral("Remove ID3v2"), this);
    removeV2_->setObjectName(QStringLiteral("RemoveV2"));
    SetTooltip(*removeV2_, QStringLiteral("Remove the ID3v2 tags from the selected files"), tips);
    autoSave_ = new QCheckBox(QStringLiteral("Save automatically"), this);
    autoSave_->setObjectName(QStringLiteral("AutoSave"));
    SetTooltip(*autoSave_, QStringLiteral("Automatically save changes when clicking the \"Next File\" button"), tips);
    autoSave_->setChecked(SettingsStore::Instance().ReadBool(kAutoSaveSetting, true));
    nextFile_ = new QPushButton(QStringLiteral("Next File"), this);
    nextFile_->setObjectName(QStringLiteral("NextFile"));
    SetTooltip(*nextFile_, QStringLiteral("Select the next file in the list"), tips);
    for (QPushButton* button : {removeV1_, removeV2_, nextFile_}) button->setAutoDefault(false);
    connect(removeV1_, &QPushButton::clicked, &window, &MainWindow::RemoveV1);
    connect(removeV2_, &QPushButton::clicked, &window, &MainWindow::RemoveV2);
    connect(autoSave_, &QCheckBox::clicked, this,
            [](bool on) { SettingsStore::Instance().WriteBool(kAutoSaveSetting, on); });
    connect(nextFile_, &QPushButton::clicked, this, &TagEditor::NextFile);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("pages"));
    general_ = new GeneralPane(services_, tabs_);
    comments_ = new CommentsPane(services_, tabs_);
    pictures_ = new PicturesPane(services_, tabs_);
    id3v1_ = new Id3v1Pane(services_, tabs_);
    tabs_->addTab(general_, QStringLiteral("General ID3v2"));
    tabs_->addTab(comments_, QStringLiteral("Comments"));
    tabs_->addTab(pictures_, QStringLiteral("Pictures"));
    tabs_->addTab(id3v1_, QStringLiteral("ID3v1"));
    tabs_->setCurrentIndex(0);

    auto* bar = new QHBoxLayout;
    bar->addWidget(removeV1_);
    bar->addWidget(removeV2_);
    bar->addStretch();
    bar->addWidget(autoSave_);
    bar->addWidget(nextFile_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(tabs_, 1);

    connect(tabs_, &QTabWidget::currentChanged, this, &TagEditor::OnPageChanged);
    connect(&window, &MainWindow::SelectionRefreshed, this, &TagEditor::OnSelectionRefreshed);
    connect(&window, &MainWindow::RecordsEdited, this, &TagEditor::OnRecordsEdited);
    connect(&window, &MainWindow::RecordsDropped, this, &TagEditor::OnRecordsDropped);
    Visible().ShowSelection(window.SelectedRecords());
}

// The pages go before the previews they may still wait for.
TagEditor::~TagEditor() { delete tabs_; }

void TagEditor::ShowPage(Page page) { tabs_->setCurrentIndex(static_cast<int>(page)); }

TagEditor::Page TagEditor::CurrentPage() const { return static_cast<Page>(tabs_->currentIndex()); }

EditorPane& TagEditor::PaneOf(Page page) const {
    switch (page) {
        case Page::General: return *general_;
        case Page::Comments: return *comments_;
        case Page::Pictures: return *pictures_;
        case Page::Id3v1: break;
    }
    return *id3v1_;
}

EditorPane& TagEditor::Visible() const { return PaneOf(CurrentPage()); }

void TagEditor::OnPageChanged() { Visible().ShowSelection(window_.SelectedRecords()); }

void TagEditor::OnSelectionRefreshed() { Visible().ShowSelection(window_.SelectedRecords()); }

void TagEditor::OnRecordsEdited() {
    // The page that shows reloads now; the others when they show again.
    EditorPane& visible = Visible();
    for (EditorPane* pane : {static_cast<EditorPane*>(general_), static_cast<EditorPane*>(comments_),
                             static_cast<EditorPane*>(pictures_), static_cast<EditorPane*>(id3v1_)}) {
        if (pane != &visible || savingPages_) pane->MarkStale();
    }
    if (!savingPages_) visible.Reload(window_.SelectedRecords());
}

void TagEditor::OnRecordsDropped() {
    for (EditorPane* pane : {static_cast<EditorPane*>(general_), static_cast<EditorPane*>(comments_),
                             static_cast<EditorPane*>(pictures_), static_cast<EditorPane*>(id3v1_)}) {
        pane->Release();
    }
    Visible().ShowSelection(window_.SelectedRecords());
}

bool TagEditor::SaveFieldPages() {
    // Both pages are checked before either writes, so a refusal leaves both as they were.
    std::vector<RecordPtr> touched;
    if (id3v1_->HasEdits()) touched = id3v1_->Shown();
    if (general_->HasEdits()) touched.insert(touched.end(), general_->Shown().begin(), general_->Shown().end());
    if (RefuseWhileSaving(services_.Gate(), touched, services_.prompts)) return false;
    savingPages_ = true;
    const bool saved = (!id3v1_->HasEdits() || id3v1_->Save()) && (!general_->HasEdits() || general_->Save());
    savingPages_ = false;
    return saved;
}

void TagEditor::NextFile() {
    const FileListView& list = window_.List();
    int highest = -1;
    for (const QModelIndex& index : list.selectionModel()->selectedRows()) highest = std::max(highest, index.row());
    const int target = highest + 1;
    if (autoSave_->isChecked() && !SaveFieldPages()) return;
    // Nothing selected, or the last row: no row is selected afterwards.
    window_.SelectOnlyRow(target > 0 && target < list.model()->rowCount() ? target : -1);
}

}  // namespace quorvane::ui

#include "ui/pictures_pane.h"

#include <QListWidget>
#include <QPushButton>

#include <optional>

#include "library/edit_gate.h"
#include "operations/delete_pictures.h"
#include "operations/listed_picture.h"
#include "operations/picture_editor.h"
#include "tags/id3_tag.h"
#include "ui/editor_services.h"
#include "ui/main_window.h"
#include "ui/picture_dialog.h"
#include "ui/preview_hub.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

PicturesPane::PicturesPane(EditorServices& services, QWidget* parent)
    : EditorPane(services, parent),
      list_(new QListWidget(this)),
      buttons_(*this, *list_, QStringLiteral("picture"), QStringLiteral("pictures"), services.tooltips) {
    setObjectName(QStringLiteral("picturesPane"));
    list_->setObjectName(QStringLiteral("pictures"));
    list_->setViewMode(QListView::IconMode);
    list_->setIconSize(QSize(kThumbnailSide, kThumbnailSide));
    list_->setGridSize(QSize(kThumbnailSide + 24, kThumbnailSide + 2 * list_->fontMetrics().height() + 8));
    list_->setMovement(QListView::Static);
    list_->setResizeMode(QListView::Adjust);
    list_->setFlow(QListView::LeftToRight);
    list_->setWrapping(true);
    list_->setWordWrap(true);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);

    connect(buttons_.add, &QPushButton::clicked, this, &PicturesPane::Add);
    connect(buttons_.edit, &QPushButton::clicked, this, &PicturesPane::Edit);
    connect(buttons_.remove, &QPushButton::clicked, this, &PicturesPane::Delete);
    connect(buttons_.removeAll, &QPushButton::clicked, this, &PicturesPane::DeleteAll);
    connect(list_, &QListWidget::itemSelectionChanged, this, &PicturesPane::UpdateButtons);
    connect(list_, &QListWidget::itemActivated, this, [this] { Edit(); });
    connect(&services.previews, &PreviewHub::PreviewArrived, this, &PicturesPane::OnPreview);
}

PicturesPane::~PicturesPane() { CancelThumbnails(); }

void PicturesPane::CancelThumbnails() {
    for (const auto& [ticket, row] : tickets_) services_.previews.Cancel(ticket);
    tickets_.clear();
}

void PicturesPane::Fill(bool) {
    CancelThumbnails();
    list_->clear();
    pictures_ = SharedPictures(Shown());
    // A blank cell until the thumbnail arrives, so the icons do not move when it does.
    QPixmap blank(kThumbnailSide, kThumbnailSide);
    blank.fill(Qt::transparent);
    for (size_t i = 0; i < pictures_.size(); ++i) {
        const SharedPicture& picture = pictures_[i];
        auto* item = new QListWidgetItem(QIcon(blank), ToQString(PictureTypeName(picture.type)), list_);
        item->setData(Qt::UserRole, static_cast<qulonglong>(i));
        item->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
        if (picture.bytes.empty() || picture.format == PictureFormat::None) continue;
        const PreviewRequest request = services_.previews.Request(picture.bytes, picture.format);
        if (request.ready) {
            if (request.ready->image) item->setIcon(QIcon(Thumbnail(*request.ready->image, kThumbnailSide)));
        } else if (request.ticket) {
            tickets_[request.ticket] = static_cast<int>(i);
        }
    }
    buttons_.add->setEnabled(!Shown().empty());
    buttons_.removeAll->setEnabled(AnyHasPicture(Shown()));
    UpdateButtons();
}

void PicturesPane::OnPreview(quint64 ticket, const std::shared_ptr<const RgbaImage>& image) {
    const auto found = tickets_.find(ticket);
    if (found == tickets_.end()) return;
    const int row = found->second;
    tickets_.erase(found);
    QListWidgetItem* item = list_->item(row);
    if (item && image) item->setIcon(QIcon(Thumbnail(*image, kThumbnailSide)));
}

const SharedPicture* PicturesPane::Picked() const {
    const QList<QListWidgetItem*> items = list_->selectedItems();
    if (items.isEmpty()) return nullptr;
    const size_t index = items.front()->data(Qt::UserRole).toULongLong();
    return index < pictures_.size() ? &pictures_[index] : nullptr;
}

void PicturesPane::UpdateButtons() { buttons_.SetPicked(Picked() != nullptr); }

void PicturesPane::Add() {
    if (!Shown().empty()) OpenDialog(nullptr);
}

void PicturesPane::Edit() {
    if (const SharedPicture* picked = Picked()) OpenDialog(picked);
}

void PicturesPane::OpenDialog(const SharedPicture* picked) {
    const std::vector<RecordPtr> selection = Shown();
    PictureEditor editor = picked ? PictureEditor(selection, *picked) : PictureEditor(selection, 0);
    PictureDialog dialog(editor, services_, this);
    if (dialog.exec() == QDialog::Accepted) services_.window.RecordsChanged(selection);
}

void PicturesPane::Delete() {
    const SharedPicture* pickedItem = Picked();
    if (!pickedItem) return;
    const SharedPicture picked = *pickedItem;
    const std::vector<RecordPtr> selection = Shown();
    if (RefuseWhileSaving(services_.Gate(), selection, services_.prompts)) return;
    DeleteListedPicture(selection, picked, services_.Gate(), services_.prompts);
    services_.window.RecordsChanged(selection);
}

void PicturesPane::DeleteAll() {
    const std::vector<RecordPtr> selection = Shown();
    if (selection.empty() || RefuseWhileSaving(services_.Gate(), selection, services_.prompts)) return;
    DeleteAllPictures(selection, services_.Gate(), services_.prompts);
    services_.window.RecordsChanged(selection);
}

}  // namespace quorvane::ui

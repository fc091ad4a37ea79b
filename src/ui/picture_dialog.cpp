#include "ui/picture_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "operations/picture_editor.h"
#include "operations/save_picture.h"
#include "operations/set_pictures.h"
#include "operations/temp_image.h"
#include "tags/id3_tag.h"
#include "ui/desktop_launcher.h"
#include "ui/editor_services.h"
#include "ui/file_chooser.h"
#include "ui/preview_hub.h"
#include "ui/qt_text.h"
#include "ui/tooltips.h"

namespace quorvane::ui {
namespace {

constexpr int kPreviewSide = 240;
constexpr char kWarning[] =
    "WARNING: Make sure there is only one image type per file. Changing this option will cause previous picture "
    "with this type to be overwritten.";

// The local files of a drag, as the core names them.
std::vector<std::u16string> DroppedNames(const QMimeData* mime) {
    std::vector<std::u16string> names;
    if (!mime || !mime->hasUrls()) return names;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) names.push_back(PathFromQString(url.toLocalFile()));
    }
    return names;
}

}  // namespace

// --- the preview box ---------------------------------------------------------------------

PicturePreview::PicturePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("preview"));
    setFixedSize(kPreviewSide, kPreviewSide);
    setAcceptDrops(true);
    setCursor(Qt::PointingHandCursor);
}

void PicturePreview::SetImage(std::shared_ptr<const RgbaImage> image) {
    image_ = std::move(image);
    update();
}

QRect PicturePreview::ImageRect() const {
    if (!image_) return {};
    const PreviewRect rect =
        FitInto(image_->width, image_->height, static_cast<uint32_t>(width()), static_cast<uint32_t>(height()));
    return QRect(static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.width),
                 static_cast<int>(rect.height));
}

void PicturePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (image_) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(ImageRect(), WrapImage(*image_));
    }
    // A thin frame shows where the box is, also while it is empty.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void PicturePreview::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit Clicked();
}

void PicturePreview::dragEnterEvent(QDragEnterEvent* event) {
    if (FirstImageFile(DroppedNames(event->mimeData()))) event->acceptProposedAction();
}

void PicturePreview::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const std::u16string& name : DroppedNames(event->mimeData())) paths << PathToQString(name);
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    emit FilesDropped(paths);
}

// --- the dialog --------------------------------------------------------------------------

PictureDialog::PictureDialog(PictureEditor& editor, EditorServices& services, QWidget* parent)
    : QDialog(parent), editor_(editor), services_(services) {
    setWindowTitle(QStringLiteral("Edit Picture Tag"));
    setObjectName(QStringLiteral("pictureDialog"));
    const bool tips = TooltipsOn();

    preview_ = new PicturePreview(this);
    auto* hint = new QLabel(QStringLiteral("(click to open in your default image viewer)"), this);
    hint->setAlignment(Qt::AlignHCenter);
    savePicture_ = new QPushButton(QStringLiteral("Save picture..."), this);
    savePicture_->setObjectName(QStringLiteral("SavePicture"));
    SetTooltip(*savePicture_, QStringLiteral("Export this picture"), tips);
    browse_ = new QPushButton(QStringLiteral("Browse for new picture..."), this);
    browse_->setObjectName(QStringLiteral("Browse"));
    SetTooltip(*browse_, QStringLiteral("Browse for a new picture to add"), tips);
    for (QPushButton* b : {savePicture_, browse_}) b->setAutoDefault(false);
    description_ = new QLineEdit(this);
    description_->setObjectName(QStringLiteral("Description"));
    description_->setMaxLength(static_cast<int>(kPictureDescriptionLimit));
    type_ = new QComboBox(this);
    type_->setObjectName(QStringLiteral("ImageType"));
    type_->setMaxVisibleItems(21);
    for (uint8_t type = 0; type < kPictureTypeCount; ++type) type_->addItem(ToQString(PictureTypeName(type)));
    auto* warning = new QLabel(QString::fromLatin1(kWarning), this);
    warning->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto* left = new QVBoxLayout;
    left->addWidget(preview_, 0, Qt::AlignHCenter);
    left->addWidget(hint);
    left->addStretch();
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Description"), description_);
    form->addRow(QStringLiteral("Image type"), type_);
    auto* right = new QVBoxLayout;
    right->addWidget(savePicture_);
    right->addWidget(browse_);
    right->addSpacing(8);
    right->addLayout(form);
    right->addWidget(warning);
    right->addStretch();
    right->addWidget(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left);
    layout->addLayout(right, 1);
    setMinimumWidth(kPreviewSide + 360);

    connect(preview_, &PicturePreview::Clicked, this, &PictureDialog::OpenInViewer);
    connect(preview_, &PicturePreview::FilesDropped, this, &PictureDialog::LoadDropped);
    connect(savePicture_, &QPushButton::clicked, this, &PictureDialog::SavePicture);
    connect(browse_, &QPushButton::clicked, this, &PictureDialog::Browse);
    connect(type_, &QComboBox::activated, this, [this](int index) {
        editor_.SelectType(static_cast<uint8_t>(index));
        ShowType();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&services.previews, &PreviewHub::PreviewArrived, this, &PictureDialog::OnPreview);

    type_->setCurrentIndex(editor_.Type());
    ShowType();
}

PictureDialog::~PictureDialog() { services_.previews.Cancel(ticket_); }

void PictureDialog::ShowType() {
    if (const auto& found = editor_.FoundDescription()) {
        // A longer description another program wrote is shown whole, and kept unless edited.
        description_->setMaxLength(std::max(static_cast<int>(kPictureDescriptionLimit), static_cast<int>(found->size())));
        description_->setText(ToQString(*found));
    }
    ShowImage();
}

void PictureDialog::ShowImage() {
    services_.previews.Cancel(ticket_);
    ticket_ = 0;
    preview_->SetImage(nullptr);
    savePicture_->setEnabled(editor_.HasImage());
    if (!editor_.HasImage()) return;
    const PreviewRequest request = services_.previews.Request(editor_.ImageBytes(), editor_.ImageFormat());
    if (request.ready) {
        preview_->SetImage(request.ready->image);
    } else {
        ticket_ = request.ticket;
    }
}

void PictureDialog::OnPreview(quint64 ticket, const std::shared_ptr<const RgbaImage>& image) {
    if (ticket == 0 || ticket != ticket_) return;
    ticket_ = 0;
    preview_->SetImage(image);
}

void PictureDialog::OpenInViewer() {
    const std::optional<std::u16string> path =
        services_.tempImages.Write(editor_.ImageBytes(), editor_.ImageFormat(), services_.prompts);
    if (path) services_.launcher.OpenUrl(QUrl::fromLocalFile(PathToQString(*path)));
}

void PictureDialog::SavePicture() {
    if (!editor_.HasImage()) return;
    const QString extension = ToQString(U16(PictureExtension(editor_.ImageFormat())));
    const QString path = services_.chooser->SaveFile(this, QStringLiteral("Save picture"),
                                                     ToQString(SavePictureName(editor_.OpenedType())),
                                                     ToQString(SavePictureFilter(editor_.ImageFormat())), extension);
    if (path.isEmpty()) return;
    WritePictureFile(PathFromQString(path), editor_.ImageBytes(), services_.prompts);
}

void PictureDialog::Browse() {
    const QString path = services_.chooser->OpenFile(this, QStringLiteral("Browse for new picture"),
                                                     {QStringLiteral("JPG Files (*.jpg *.jpeg)"),
                                                      QStringLiteral("PNG Files (*.png)"),
                                                      QStringLiteral("All Supported Files (*.jpg *.jpeg *.png)")});
    if (path.isEmpty()) return;
    if (editor_.LoadImage(PathFromQString(path), services_.prompts)) ShowImage();
}

void PictureDialog::LoadDropped(const QStringList& paths) {
    std::vector<std::u16string> names;
    for (const QString& path : paths) names.push_back(PathFromQString(path));
    const std::optional<size_t> first = FirstImageFile(names);
    if (first && editor_.LoadImage(names[*first], services_.prompts)) ShowImage();
}

void PictureDialog::accept() {
    if (editor_.Apply(ToU16(description_->text()), services_.Gate(), services_.prompts)) QDialog::accept();
}

}  // namespace quorvane::ui

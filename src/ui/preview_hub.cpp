#include "ui/preview_hub.h"

#include <QPainter>
#include <QPixmap>

namespace quorvane::ui {

PreviewHub::PreviewHub(QObject* parent) : QObject(parent) {}

// The service stops first: decodes still running deliver to this object, whose queued
// calls are dropped with it.
PreviewHub::~PreviewHub() { service_.reset(); }

PreviewRequest PreviewHub::Request(std::span<const uint8_t> bytes, PictureFormat format) {
    if (!service_) service_ = std::make_unique<PreviewService>(static_cast<PreviewListener&>(*this));
    return service_->Request(bytes, format);
}

void PreviewHub::Cancel(PreviewTicket ticket) {
    if (service_ && ticket) service_->Cancel(ticket);
}

void PreviewHub::PreviewReady(PreviewTicket ticket, const Preview& preview) {
    // A worker thread: the image goes to the GUI thread by a queued call.
    std::shared_ptr<const RgbaImage> image = preview.image;
    QMetaObject::invokeMethod(
        this, [this, ticket, image] { emit PreviewArrived(ticket, image); }, Qt::QueuedConnection);
}

QImage WrapImage(const RgbaImage& image) {
    if (image.width == 0 || image.height == 0) return {};
    return QImage(image.pixels.data(), static_cast<int>(image.width), static_cast<int>(image.height),
                  static_cast<qsizetype>(image.width) * 4, QImage::Format_RGBA8888);
}

QPixmap Thumbnail(const RgbaImage& image, int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    const QImage source = WrapImage(image);
    if (source.isNull()) return pixmap;
    const PreviewRect rect = FitInto(image.width, image.height, static_cast<uint32_t>(side), static_cast<uint32_t>(side));
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(static_cast<int>(rect.left), static_cast<int>(rect.top), static_cast<int>(rect.width),
                            static_cast<int>(rect.height)),
                      source);
    return pixmap;
}

}  // namespace quorvane::ui

#pragma once
// Previews of embedded pictures for the Pictures tab and the picture dialog: requests go
// to the core's preview service, whose decodes finish on worker threads; each finished
// preview is handed to the GUI thread and announced there. The service (and its four
// decoding threads) starts with the first request.
#include <QImage>
#include <QObject>

#include <memory>
#include <span>

#include "library/preview_service.h"

namespace quorvane::ui {

class PreviewHub final : public QObject, private PreviewListener {
    Q_OBJECT
public:
    explicit PreviewHub(QObject* parent = nullptr);
    ~PreviewHub() override;

    // As PreviewService::Request: a preview at once, or a ticket that PreviewArrived names.
    PreviewRequest Request(std::span<const uint8_t> bytes, PictureFormat format);
    void Cancel(PreviewTicket ticket);

signals:
    // On the GUI thread. The image is null when the picture cannot be decoded.
    void PreviewArrived(quint64 ticket, std::shared_ptr<const RgbaImage> image);

private:
    void PreviewReady(PreviewTicket ticket, const Preview& preview) override;

    std::unique_ptr<PreviewService> service_;
};

// The decoded pixels as an image that borrows them: `image` must outlive the result.
QImage WrapImage(const RgbaImage& image);
// The image drawn into a square of `side` pixels: never enlarged, aspect kept, centred,
// on a transparent ground.
QPixmap Thumbnail(const RgbaImage& image, int side);

}  // namespace quorvane::ui

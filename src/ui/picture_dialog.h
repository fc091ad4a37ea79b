#pragma once
// The "Edit Picture Tag" dialog over the core's PictureEditor: a preview (click to open
// the picture in the default image viewer; image files may be dropped on it), "Save
// picture...", "Browse for new picture...", the description, the picture type and the
// warning that one picture of a type replaces another.
#include <QDialog>
#include <QImage>

#include <memory>

#include "library/preview_service.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quorvane {
class PictureEditor;
}

namespace quorvane::ui {

struct EditorServices;

// The preview box: the button-face colour with the picture centred, never enlarged.
class PicturePreview final : public QWidget {
    Q_OBJECT
public:
    explicit PicturePreview(QWidget* parent = nullptr);
    // The picture shown; null shows none. The pixels are shared, not copied.
    void SetImage(std::shared_ptr<const RgbaImage> image);
    bool HasImage() const { return image_ != nullptr; }
    // Where the picture is drawn in the box now.
    QRect ImageRect() const;

signals:
    void Clicked();
    // Local files dropped on the box.
    void FilesDropped(const QStringList& paths);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::shared_ptr<const RgbaImage> image_;
};

class PictureDialog final : public QDialog {
    Q_OBJECT
public:
    PictureDialog(PictureEditor& editor, EditorServices& services, QWidget* parent = nullptr);
    ~PictureDialog() override;

    PicturePreview& Preview() const { return *preview_; }
    QPushButton& SavePictureButton() const { return *savePicture_; }
    QPushButton& BrowseButton() const { return *browse_; }
    QLineEdit& DescriptionEdit() const { return *description_; }
    QComboBox& TypeBox() const { return *type_; }
    // The preview is still being decoded.
    bool PreviewPending() const { return ticket_ != 0; }

    void OpenInViewer();
    void SavePicture();
    void Browse();
    // The first JPEG or PNG file of a drop is loaded; the others are ignored.
    void LoadDropped(const QStringList& paths);
    void accept() override;

private:
    // After the editor's picture type was (re)chosen: description, preview, buttons.
    void ShowType();
    // The editor's image in the preview.
    void ShowImage();
    void OnPreview(quint64 ticket, const std::shared_ptr<const RgbaImage>& image);

    PictureEditor& editor_;
    EditorServices& services_;
    PicturePreview* preview_;
    QPushButton* savePicture_;
    QPushButton* browse_;
    QLineEdit* description_;
    QComboBox* type_;
    PreviewTicket ticket_ = 0;
};

}  // namespace quorvane::ui

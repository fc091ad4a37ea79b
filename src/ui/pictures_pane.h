#pragma once
// The "Pictures" page: the pictures all selected files share as 115 x 115 thumbnails
// (decoded in the background, shown as they arrive) captioned with their picture type,
// and Add, Edit, Delete and Delete All. Edit and Delete act on the picture the user
// picked, also when a file holds two pictures of one type.
#include <memory>
#include <unordered_map>
#include <vector>

#include "library/preview_service.h"
#include "operations/shared_pictures.h"
#include "ui/editor_pane.h"
#include "ui/item_buttons.h"

class QListWidget;
class QPushButton;

namespace quorvane::ui {

class PicturesPane final : public EditorPane {
    Q_OBJECT
public:
    static constexpr int kThumbnailSide = 115;

    explicit PicturesPane(EditorServices& services, QWidget* parent = nullptr);
    ~PicturesPane() override;

    QListWidget& List() const { return *list_; }
    QPushButton& AddButton() const { return *buttons_.add; }
    QPushButton& EditButton() const { return *buttons_.edit; }
    QPushButton& DeleteButton() const { return *buttons_.remove; }
    QPushButton& DeleteAllButton() const { return *buttons_.removeAll; }
    // Thumbnails asked for and not arrived yet.
    size_t PendingThumbnails() const { return tickets_.size(); }

    void Add();
    void Edit();
    void Delete();
    void DeleteAll();

protected:
    void Fill(bool keepTyped) override;

private:
    const SharedPicture* Picked() const;
    void UpdateButtons();
    void OpenDialog(const SharedPicture* picked);
    void CancelThumbnails();
    void OnPreview(quint64 ticket, const std::shared_ptr<const RgbaImage>& image);

    QListWidget* list_;
    ItemButtons buttons_;
    std::vector<SharedPicture> pictures_;
    std::unordered_map<PreviewTicket, int> tickets_;  // ticket -> row of the list
};

}  // namespace quorvane::ui

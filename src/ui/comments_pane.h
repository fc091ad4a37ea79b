#pragma once
// The "Comments" page: the comments all selected files share, with Add, Edit, Delete and
// Delete All. Edit and Delete act on the comment of the row the user picked.
#include <vector>

#include "operations/comment_list.h"
#include "ui/editor_pane.h"
#include "ui/item_buttons.h"

class QPushButton;
class QTreeWidget;

namespace quorvane::ui {

class CommentsPane final : public EditorPane {
    Q_OBJECT
public:
    explicit CommentsPane(EditorServices& services, QWidget* parent = nullptr);

    QTreeWidget& List() const { return *list_; }
    QPushButton& AddButton() const { return *buttons_.add; }
    QPushButton& EditButton() const { return *buttons_.edit; }
    QPushButton& DeleteButton() const { return *buttons_.remove; }
    QPushButton& DeleteAllButton() const { return *buttons_.removeAll; }
    const std::vector<ListedComment>& Listed() const { return listed_; }

    void Add();
    void Edit();
    void Delete();
    void DeleteAll();

protected:
    void Fill(bool keepTyped) override;

private:
    // The comment of the row picked; none when no row is.
    const ListedComment* Picked() const;
    void UpdateButtons();
    void OpenDialog(const ListedComment* picked);

    QTreeWidget* list_;
    ItemButtons buttons_;
    std::vector<ListedComment> listed_;
};

}  // namespace quorvane::ui

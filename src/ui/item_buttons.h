#pragma once
// The Add, Edit, Delete and Delete All buttons of a pane that lists items of one kind
// (comments, pictures), in a column beside the list. Edit and Delete act on the item
// picked in the list; all four start disabled.
#include <QString>

class QPushButton;
class QWidget;

namespace quorvane::ui {

struct ItemButtons {
    // Lays out `list` and the buttons in `pane`; `item` names one item in the tooltips
    // ("comment"), `items` all of them ("comments").
    ItemButtons(QWidget& pane, QWidget& list, const QString& item, const QString& items, bool tooltips);
    void SetPicked(bool picked);

    QPushButton* add;
    QPushButton* edit;
    QPushButton* remove;
    QPushButton* removeAll;
};

}  // namespace quorvane::ui

#include "ui/item_buttons.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/tooltips.h"

namespace quorvane::ui {

ItemButtons::ItemButtons(QWidget& pane, QWidget& list, const QString& item, const QString& items, bool tooltips) {
    auto button = [&](const QString& text, const QString& name, const QString& tip) {
        auto* b = new QPushButton(text, &pane);
        b->setObjectName(name);
        b->setAutoDefault(false);
        b->setEnabled(false);
        SetTooltip(*b, tip, tooltips);
        return b;
    };
    add = button(QStringLiteral("Add"), QStringLiteral("Add"), QStringLiteral("Add a %1").arg(item));
    edit = button(QStringLiteral("Edit"), QStringLiteral("Edit"), QStringLiteral("Edit the selected %1").arg(item));
    remove = button(QStringLiteral("Delete"), QStringLiteral("Delete"), QStringLiteral("Remove the selected %1").arg(item));
    removeAll = button(QStringLiteral("Delete All"), QStringLiteral("DeleteAll"),
                       QStringLiteral("Remove all %1\n(including those the selected files don't have in common)").arg(items));

    auto* column = new QVBoxLayout;
    for (QPushButton* b : {add, edit, remove, removeAll}) column->addWidget(b);
    column->addStretch();
    auto* layout = new QHBoxLayout(&pane);
    layout->addWidget(&list, 1);
    layout->addLayout(column);
}

void ItemButtons::SetPicked(bool picked) {
    edit->setEnabled(picked);
    remove->setEnabled(picked);
}

}  // namespace quorvane::ui

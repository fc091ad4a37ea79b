#include "ui/comments_pane.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

#include <optional>

#include "operations/comment_edit.h"
#include "ui/comment_dialog.h"
#include "ui/editor_services.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

CommentsPane::CommentsPane(EditorServices& services, QWidget* parent)
    : EditorPane(services, parent),
      list_(new QTreeWidget(this)),
      buttons_(*this, *list_, QStringLiteral("comment"), QStringLiteral("comments"), services.tooltips) {
    setObjectName(QStringLiteral("commentsPane"));
    list_->setObjectName(QStringLiteral("comments"));
    list_->setColumnCount(3);
    list_->setHeaderLabels({QStringLiteral("Short Description"), QStringLiteral("Language"), QStringLiteral("Description")});
    list_->setRootIsDecorated(false);
    list_->setItemsExpandable(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setStretchLastSection(true);
    list_->header()->setSectionsMovable(false);
    list_->setColumnWidth(0, 120);
    list_->setColumnWidth(1, 100);

    connect(buttons_.add, &QPushButton::clicked, this, &CommentsPane::Add);
    connect(buttons_.edit, &QPushButton::clicked, this, &CommentsPane::Edit);
    connect(buttons_.remove, &QPushButton::clicked, this, &CommentsPane::Delete);
    connect(buttons_.removeAll, &QPushButton::clicked, this, &CommentsPane::DeleteAll);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CommentsPane::UpdateButtons);
    connect(list_, &QTreeWidget::itemActivated, this, [this] { Edit(); });
}

void CommentsPane::Fill(bool) {
    list_->clear();
    listed_ = SharedComments(Shown());
    for (size_t i = 0; i < listed_.size(); ++i) {
        const ListedComment& comment = listed_[i];
        // One line of the text: a line break would hide the rest of the row.
        QString text = ToQString(comment.text);
        text.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        auto* item = new QTreeWidgetItem({ToQString(comment.description), ToQString(comment.languageName), text});
        item->setData(0, Qt::UserRole, static_cast<qulonglong>(i));
        list_->addTopLevelItem(item);
    }
    buttons_.add->setEnabled(!Shown().empty());
    buttons_.removeAll->setEnabled(!Shown().empty());
    UpdateButtons();
}

const ListedComment* CommentsPane::Picked() const {
    const QList<QTreeWidgetItem*> items = list_->selectedItems();
    if (items.isEmpty()) return nullptr;
    const size_t index = items.front()->data(0, Qt::UserRole).toULongLong();
    return index < listed_.size() ? &listed_[index] : nullptr;
}

void CommentsPane::UpdateButtons() { buttons_.SetPicked(Picked() != nullptr); }

void CommentsPane::Add() {
    if (!Shown().empty()) OpenDialog(nullptr);
}

void CommentsPane::Edit() {
    if (const ListedComment* picked = Picked()) OpenDialog(picked);
}

void CommentsPane::OpenDialog(const ListedComment* pickedRow) {
    // Copies: the list is rebuilt when the records change.
    const std::optional<ListedComment> picked = pickedRow ? std::optional(*pickedRow) : std::nullopt;
    const std::vector<RecordPtr> selection = Shown();
    const CommentDialogValues values = InitialCommentValues(selection, picked ? &*picked : nullptr);
    CommentDialog dialog(
        values,
        [&](const CommentEdit& edit) {
            EditSession session(services_, selection);
            if (!SaveComment(session.Context(), selection, edit, picked ? &*picked : nullptr)) return false;
            session.Finish();
            return true;
        },
        this);
    dialog.exec();
}

void CommentsPane::Delete() {
    const ListedComment* pickedRow = Picked();
    if (!pickedRow) return;
    const ListedComment picked = *pickedRow;
    EditSession session(services_, Shown());
    if (DeleteComment(session.Context(), Shown(), picked)) session.Finish();
}

void CommentsPane::DeleteAll() {
    if (Shown().empty()) return;
    EditSession session(services_, Shown());
    if (DeleteAllComments(session.Context(), Shown())) session.Finish();
}

}  // namespace quorvane::ui

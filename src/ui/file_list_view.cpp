#include "ui/file_list_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include <algorithm>

namespace quorvane::ui {

RecordSortProxy::RecordSortProxy(RecordListModel& rows, QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows) {
    // Rows that arrive or change after a sort keep their place: no re-sorting.
    setDynamicSortFilter(false);
    setSourceModel(&rows);
}

void RecordSortProxy::sort(int column, Qt::SortOrder order) {
    rows_.PrepareSort(column);
    QSortFilterProxyModel::sort(column, order);
}

bool RecordSortProxy::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    return rows_.LessThan(left.row(), right.row(), left.column());
}

QVariant RecordSortProxy::data(const QModelIndex& index, int role) const {
    // The alternate background goes by the row as the list shows it: rows 0, 2, 4...
    if (role == Qt::BackgroundRole) {
        if (rows_.Appearance().alternateBg && index.row() % 2 == 0) {
            return QColor::fromRgb(AlternateRowColor(windowColor_.rgb()));
        }
        return {};
    }
    return QSortFilterProxyModel::data(index, role);
}

FileListView::FileListView(RecordListModel& rows, QWidget* parent)
    : QTableView(parent), rows_(rows), proxy_(new RecordSortProxy(rows, this)) {
    setModel(proxy_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    // One row height for all rows: the view never measures 100,000 rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(std::max(fontMetrics().height() + 4, 18));
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setSortIndicatorShown(true);
    // No order until a header is clicked.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    setIconSize(QSize(16, 16));
    proxy_->SetWindowColor(palette().color(QPalette::Base));
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) emit RowActivated(RecordAtViewRow(index.row()));
    });
}

void FileListView::SetInitialColumnWidths() {
    static constexpr int kFixed[kColumnCount] = {300, -1, 150, 200, 200, -1, -1, 100, 75, -1};
    const QFontMetrics metrics(horizontalHeader()->font());
    for (int column = 0; column < kColumnCount; ++column) {
        int width = kFixed[column];
        if (width < 0) {
            const int text = metrics.horizontalAdvance(RecordListModel::HeaderText(column));
            width = text > 0 ? text + 16 : 100;
        }
        // "Bitrate" holds "320 (VBR)", wider than its header: the cell is not cut.
        if (column == kColumnBitrate) {
            width = std::max(width, fontMetrics().horizontalAdvance(QStringLiteral("320 (VBR)")) + 12);
        }
        setColumnWidth(column, width);
    }
}

void FileListView::ApplyAppearance(const ListAppearance& appearance) {
    setShowGrid(appearance.gridlines);
    proxy_->SetWindowColor(palette().color(QPalette::Base));
    rows_.SetAppearance(appearance);
    viewport()->update();
}

int FileListView::ColumnsWidth() const {
    int width = 0;
    for (int column = 0; column < kColumnCount; ++column) width += columnWidth(column);
    return width;
}

std::vector<int> FileListView::SelectedModelRows() const {
    std::vector<std::pair<int, int>> rows;  // view row, model row
    for (const QModelIndex& index : selectionModel()->selectedRows()) {
        rows.emplace_back(index.row(), proxy_->mapToSource(index).row());
    }
    std::sort(rows.begin(), rows.end());
    std::vector<int> result;
    result.reserve(rows.size());
    for (const auto& row : rows) result.push_back(row.second);
    return result;
}

std::vector<RecordPtr> FileListView::SelectedRecords() const {
    std::vector<RecordPtr> records;
    for (int row : SelectedModelRows()) records.push_back(rows_.RecordAt(row));
    return records;
}

const RecordPtr& FileListView::RecordAtViewRow(int row) const {
    return rows_.RecordAt(proxy_->mapToSource(proxy_->index(row, 0)).row());
}

void FileListView::contextMenuEvent(QContextMenuEvent* event) {
    QModelIndex index;
    QPoint where = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        index = indexAt(event->pos());
    } else {
        index = currentIndex();
        where = viewport()->mapToGlobal(visualRect(index).center());
    }
    // Only over a selected row.
    if (!index.isValid() || !selectionModel()->isRowSelected(index.row(), QModelIndex())) return;
    emit ContextMenuRequested(where);
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        emit RowActivated(RecordAtViewRow(currentIndex().row()));
        return;
    }
    QTableView::keyPressEvent(event);
}

}  // namespace quorvane::ui

namespace quorvane::ui {

QModelIndex FileListView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (action == MoveHome || action == MoveEnd) modifiers |= Qt::ControlModifier;
    return QTableView::moveCursor(action, modifiers);
}

}  // namespace quorvane::ui

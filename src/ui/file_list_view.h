#pragma once
// The file list on screen: a sort proxy over the rows (sorting never reorders the
// records; rows added later go to the end), and the table that shows it.
#include <QColor>
#include <QSortFilterProxyModel>
#include <QTableView>

#include <vector>

#include "library/mp3_file_record.h"
#include "ui/record_list_model.h"

namespace quorvane::ui {

class RecordSortProxy final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit RecordSortProxy(RecordListModel& rows, QObject* parent = nullptr);
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The window colour the even rows are drawn against.
    void SetWindowColor(QColor color) { windowColor_ = color; }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    RecordListModel& rows_;
    QColor windowColor_ = Qt::white;
};

class FileListView final : public QTableView {
    Q_OBJECT
public:
    FileListView(RecordListModel& rows, QWidget* parent = nullptr);

    RecordListModel& Rows() const { return rows_; }
    RecordSortProxy& Proxy() const { return *proxy_; }
    // The records of the selected rows, top to bottom as the list shows them.
    std::vector<RecordPtr> SelectedRecords() const;
    // The rows of the list model (not the view) that are selected.
    std::vector<int> SelectedModelRows() const;
    // The record shown at this row of the view.
    const RecordPtr& RecordAtViewRow(int row) const;
    // The initial widths of the columns, from the header's font.
    void SetInitialColumnWidths();
    // The width of all columns together.
    int ColumnsWidth() const;
    void ApplyAppearance(const ListAppearance& appearance);

signals:
    // A right click on a selected row (or the menu key with the current row selected).
    void ContextMenuRequested(const QPoint& globalPos);
    // Double-click or Enter on a row.
    void RowActivated(const RecordPtr& record);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Home and End go to the first and last row, as in a list (not along the columns).
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    RecordListModel& rows_;
    RecordSortProxy* proxy_;
};

}  // namespace quorvane::ui

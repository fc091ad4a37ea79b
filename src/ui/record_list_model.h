#pragma once
// The file list's rows: one per record, in the order the records arrived. Each row
// keeps its ten texts, so painting and sorting never read a record (the saver may be
// writing it); a row's texts are taken anew when the window says the record changed.
#include <QAbstractTableModel>
#include <QCollator>
#include <QCollatorSortKey>
#include <QIcon>

#include <array>
#include <deque>
#include <span>
#include <unordered_map>
#include <vector>

#include "library/mp3_file_record.h"
#include "ui/list_appearance.h"

namespace quorvane::ui {

enum ListColumn {
    kColumnFilename,
    kColumnTrack,
    kColumnArtist,
    kColumnAlbum,
    kColumnTitle,
    kColumnYear,
    kColumnBitrate,
    kColumnDirectory,
    kColumnGenre,
    kColumnDuration,
    kColumnCount
};

class RecordListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordListModel(QObject* parent = nullptr);

    static QString HeaderText(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends one row per record, in this order, as one insertion.
    void Append(const std::vector<RecordPtr>& records);
    void Clear();
    // Drops the rows of these records (in runs of neighbouring rows).
    void Remove(const std::vector<RecordPtr>& records);
    // Takes the row's texts from its record again. The caller makes sure no running
    // save covers the record.
    void Refresh(const RecordPtr& record);
    void Refresh(std::span<const RecordPtr> records);
    void RefreshRows(int first, int last);

    const RecordPtr& RecordAt(int row) const { return rows_[static_cast<size_t>(row)].record; }
    // -1 when the record has no row.
    int RowOf(const Mp3FileRecord* record) const;
    bool RowNeedsSaving(int row) const { return rows_[static_cast<size_t>(row)].needsSaving; }
    // Rows whose record needed saving when its texts were last taken.
    size_t CountNeedingSaving() const { return needingSaving_; }
    QString Text(int row, int column) const { return rows_[static_cast<size_t>(row)].texts[column]; }

    void SetAppearance(const ListAppearance& appearance);
    const ListAppearance& Appearance() const { return appearance_; }
    void SetIcons(const QIcon& unchanged, const QIcon& changed);

    // Sorting: text columns by the locale's case-sensitive collation, "Bitrate" and
    // "Duration" by their numbers. PrepareSort builds what LessThan needs for a column.
    void PrepareSort(int column);
    bool LessThan(int leftRow, int rightRow, int column) const;

private:
    struct Row {
        RecordPtr record;
        std::array<QString, kColumnCount> texts;
        uint32_t bitrate = 0;
        uint32_t duration = 0;
        bool needsSaving = false;
    };
    void Fill(Row& row);
    // The text as a QString, the one made for the column's last text when it is the same:
    // neighbouring rows often share a text (an album's artist, year, directory).
    const QString& SharedText(int column, std::u16string_view text);
    void InvalidateKeys();

    std::deque<Row> rows_;  // rows are never moved as the list grows
    size_t needingSaving_ = 0;
    // Row of each record, for the rows up to `indexed_` (see RowOf).
    mutable std::unordered_map<const Mp3FileRecord*, int> rowOf_;
    mutable size_t indexed_ = 0;
    ListAppearance appearance_;
    QIcon unchangedIcon_, changedIcon_;
    QCollator collator_;
    std::array<std::vector<QCollatorSortKey>, kColumnCount> keys_;
    std::array<std::pair<std::u16string, QString>, kColumnCount> lastTexts_;
    std::u16string scratch_;
};

}  // namespace quorvane::ui

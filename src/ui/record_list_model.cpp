#include "ui/record_list_model.h"

#include <QColor>

#include <algorithm>

#include "library/list_columns.h"
#include "tags/frame_id.h"
#include "ui/qt_text.h"

namespace quorvane::ui {

RecordListModel::RecordListModel(QObject* parent) : QAbstractTableModel(parent) {
    // The "C" locale would compare code units ("B" before "a"); the list sorts like a
    // person reads, so it falls back to English collation there.
    QLocale locale;
    if (locale.language() == QLocale::C) locale = QLocale(QLocale::English, QLocale::UnitedStates);
    collator_ = QCollator(locale);
    collator_.setCaseSensitivity(Qt::CaseSensitive);
    collator_.setNumericMode(false);
}

QString RecordListModel::HeaderText(int column) {
    static const char* const kHeaders[kColumnCount] = {"Filename", "Track",     "Artist", "Album", "Title",
                                                       "Year",     "Bitrate",   "Directory", "Genre", "Duration"};
    return column >= 0 && column < kColumnCount ? QString::fromLatin1(kHeaders[column]) : QString();
}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RecordListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant RecordListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return row.texts[index.column()];
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(
                (index.column() == kColumnTrack ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
        case Qt::ForegroundRole:
            if (appearance_.redText && row.needsSaving) return QColor(255, 0, 0);
            return {};
        case Qt::DecorationRole:
            if (index.column() != kColumnFilename) return {};
            return appearance_.icons && row.needsSaving ? changedIcon_ : unchangedIcon_;
        default:
            return {};
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return HeaderText(section);
    // A click on a column sorts it ascending first.
    if (role == Qt::InitialSortOrderRole) return static_cast<int>(Qt::AscendingOrder);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

const QString& RecordListModel::SharedText(int column, std::u16string_view text) {
    auto& [source, shared] = lastTexts_[static_cast<size_t>(column)];
    if (text != source) {
        source.assign(text);
        shared = ToQString(text);
    }
    return shared;
}

void RecordListModel::Fill(Row& row) {
    static constexpr std::pair<int, FrameId> kTagColumns[] = {{kColumnTrack, kFrameTRCK},
                                                              {kColumnArtist, kFrameTPE1},
                                                              {kColumnAlbum, kFrameTALB},
                                                              {kColumnTitle, kFrameTIT2},
                                                              {kColumnYear, kFrameTDRC}};
    const Mp3FileRecord& record = *row.record;
    const Id3Tag& tag = record.Tag();
    row.texts[kColumnFilename] = ToQString(record.FileName());
    for (const auto& [column, id] : kTagColumns) {
        tag.GetText(id, scratch_);
        row.texts[column] = SharedText(column, scratch_);
    }
    row.texts[kColumnBitrate] = SharedText(kColumnBitrate, BitrateText(record));
    row.texts[kColumnDirectory] = SharedText(kColumnDirectory, record.Directory().str());
    row.texts[kColumnGenre] = SharedText(kColumnGenre, tag.GetGenre());
    row.texts[kColumnDuration] = SharedText(kColumnDuration, DurationText(record));
    row.bitrate = record.Stream().bitrate;
    row.duration = record.Stream().duration;
    needingSaving_ -= row.needsSaving;
    row.needsSaving = record.NeedsSaving();
    needingSaving_ += row.needsSaving;
}

void RecordListModel::Append(const std::vector<RecordPtr>& records) {
    if (records.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(records.size()) - 1);
    for (const RecordPtr& record : records) {
        Row row;
        row.record = record;
        Fill(row);
        rows_.push_back(std::move(row));
    }
    endInsertRows();
}

void RecordListModel::Clear() {
    beginResetModel();
    rows_.clear();
    rowOf_.clear();
    indexed_ = 0;
    needingSaving_ = 0;
    InvalidateKeys();
    endResetModel();
}

void RecordListModel::Remove(const std::vector<RecordPtr>& records) {
    std::vector<int> doomed;
    for (const RecordPtr& record : records) {
        const int row = RowOf(record.get());
        if (row >= 0) doomed.push_back(row);
    }
    if (doomed.empty()) return;
    std::sort(doomed.begin(), doomed.end());
    doomed.erase(std::unique(doomed.begin(), doomed.end()), doomed.end());
    // From the end, one removal per run of neighbouring rows.
    size_t end = doomed.size();
    while (end > 0) {
        size_t begin = end - 1;
        while (begin > 0 && doomed[begin - 1] == doomed[begin] - 1) --begin;
        const int first = doomed[begin], last = doomed[end - 1];
        beginRemoveRows({}, first, last);
        rows_.erase(rows_.begin() + first, rows_.begin() + last + 1);
        endRemoveRows();
        end = begin;
    }
    rowOf_.clear();
    indexed_ = 0;
    needingSaving_ = 0;
    for (const Row& row : rows_) needingSaving_ += row.needsSaving;
    InvalidateKeys();
}

int RecordListModel::RowOf(const Mp3FileRecord* record) const {
    // The index is brought up to date when asked, not as rows arrive: built at once it
    // costs a fraction of growing it row by row while a large directory loads.
    if (indexed_ < rows_.size()) {
        rowOf_.reserve(rows_.size());
        for (; indexed_ < rows_.size(); ++indexed_) rowOf_[rows_[indexed_].record.get()] = static_cast<int>(indexed_);
    }
    const auto it = rowOf_.find(record);
    return it == rowOf_.end() ? -1 : it->second;
}

void RecordListModel::Refresh(const RecordPtr& record) {
    const int row = RowOf(record.get());
    if (row >= 0) RefreshRows(row, row);
}

void RecordListModel::Refresh(std::span<const RecordPtr> records) {
    for (const RecordPtr& record : records) Refresh(record);
}

void RecordListModel::RefreshRows(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, static_cast<int>(rows_.size()) - 1);
    if (first > last) return;
    for (int i = first; i <= last; ++i) {
        Row& row = rows_[static_cast<size_t>(i)];
        Fill(row);
        for (int column = 0; column < kColumnCount; ++column) {
            auto& keys = keys_[static_cast<size_t>(column)];
            if (static_cast<size_t>(i) < keys.size()) keys[static_cast<size_t>(i)] = collator_.sortKey(row.texts[column]);
        }
    }
    emit dataChanged(index(first, 0), index(last, kColumnCount - 1));
}

void RecordListModel::SetAppearance(const ListAppearance& appearance) {
    appearance_ = appearance;
    if (!rows_.empty()) emit dataChanged(index(0, 0), index(static_cast<int>(rows_.size()) - 1, kColumnCount - 1));
}

void RecordListModel::SetIcons(const QIcon& unchanged, const QIcon& changed) {
    unchangedIcon_ = unchanged;
    changedIcon_ = changed;
}

void RecordListModel::InvalidateKeys() {
    for (auto& keys : keys_) keys.clear();
}

void RecordListModel::PrepareSort(int column) {
    if (column < 0 || column >= kColumnCount || column == kColumnBitrate || column == kColumnDuration) return;
    auto& keys = keys_[static_cast<size_t>(column)];
    keys.reserve(rows_.size());
    for (size_t i = keys.size(); i < rows_.size(); ++i) keys.push_back(collator_.sortKey(rows_[i].texts[column]));
}

bool RecordListModel::LessThan(int leftRow, int rightRow, int column) const {
    const Row& left = rows_[static_cast<size_t>(leftRow)];
    const Row& right = rows_[static_cast<size_t>(rightRow)];
    if (column == kColumnBitrate) return left.bitrate < right.bitrate;
    if (column == kColumnDuration) return left.duration < right.duration;
    const auto& keys = keys_[static_cast<size_t>(column)];
    if (static_cast<size_t>(std::max(leftRow, rightRow)) < keys.size()) {
        return keys[static_cast<size_t>(leftRow)].compare(keys[static_cast<size_t>(rightRow)]) < 0;
    }
    return collator_.compare(left.texts[column], right.texts[column]) < 0;
}

}  // namespace quorvane::ui

#include "browse/listmodel.h"

#include "model/cells.h"
#include "model/sorting.h"
#include "ui/icons.h"

#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <numeric>
#include <utility>

namespace km {

TListModel::TListModel(QObject* parent)
    : QAbstractTableModel(parent)
    , m_locale(QLocale::system())
{
}

int TListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_visibleRows; }

int TListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 1 + static_cast<int>(m_columns.size());
}

int TListModel::IdOfColumn(int column) const
{
    return column >= 1 && column <= static_cast<int>(m_columns.size()) ? m_columns[static_cast<std::size_t>(column - 1)].Id
                                                                      : kIconColumnTag;
}

std::vector<int> TListModel::ColumnIds() const
{
    std::vector<int> ids;
    ids.reserve(m_columns.size());
    for (const TColumn& c : m_columns)
        ids.push_back(c.Id);
    return ids;
}

QVariant TListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_visibleRows || index.row() >= Count())
        return {};
    const TRow& row = m_rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        // Built when shown: a text per cell and row would cost more than the entry.
        return column >= 1 && column - 1 < static_cast<int>(m_columns.size())
            ? CellText(m_columns[static_cast<std::size_t>(column - 1)].Id, *row.entry, m_locale)
            : QString();
    case Qt::DecorationRole:
        if (column == 0)
            return row.icon == TemplateIcon ? Icons::Template() : Icons::File();
        return {};
    case Qt::TextAlignmentRole:
        if (column >= 1)
            return QVariant::fromValue(m_columns[static_cast<std::size_t>(column - 1)].Alignment | Qt::AlignVCenter);
        return {};
    default:
        return {};
    }
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const
{
    return QAbstractTableModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList TListModel::mimeTypes() const { return {QStringLiteral("text/uri-list")}; }

QMimeData* TListModel::mimeData(const QModelIndexList& indexes) const
{
    // Each row once however many of its cells are selected; in list order.
    std::vector<int> rows;
    for (const QModelIndex& index : indexes)
        if (index.isValid() && index.row() < Count())
            rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.empty())
        return nullptr;
    // Encoded from the bytes, so a name that is no UTF-8 still names its file
    // (a QUrl would turn such bytes into U+FFFD).
    QByteArray list;
    for (const int row : rows)
        list += "file://" + QByteArray::fromStdString(Entry(row)->FullPath()).toPercentEncoding("/") + "\r\n";
    auto* mime = new QMimeData;
    mime->setData(QStringLiteral("text/uri-list"), list);
    return mime;
}

Qt::DropActions TListModel::supportedDragActions() const { return Qt::CopyAction | Qt::LinkAction; }

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 1 || section > static_cast<int>(m_columns.size()))
        return {};
    const TColumn& c = m_columns[static_cast<std::size_t>(section - 1)];
    switch (role) {
    case Qt::DisplayRole: return ColumnCaption(c.Id);
    case Qt::TextAlignmentRole: return QVariant::fromValue(c.Alignment | Qt::AlignVCenter);
    case Qt::DecorationRole:
        if (c.Id + 1 == SortCode(m_arrowKey))
            return m_arrowKey > 0 ? Icons::SortAscending() : Icons::SortDescending();
        return {};
    default: return {};
    }
}

void TListModel::SetColumns(std::vector<TColumn> columns)
{
    // Rows of a batch go in order by the columns they were found under.
    Settle();
    beginResetModel();
    m_columns = std::move(columns);
    endResetModel();
}

int TListModel::RowOf(const TEintragDaten* entry) const
{
    for (std::size_t k = 0; k < m_rows.size(); ++k)
        if (m_rows[k].entry == entry)
            return static_cast<int>(k);
    return -1;
}

void TListModel::Clear(const std::function<void()>& serve)
{
    beginResetModel();
    std::vector<TRow> old;
    old.swap(m_rows);
    ++m_generation;
    m_sortedRows = 0;
    m_visibleRows = 0;
    endResetModel();
    FreeInSlices(old, serve);
}

void TListModel::BeginBatch() { m_batch = true; }

void TListModel::EndBatch(const std::function<void()>& serve)
{
    if (!m_batch)
        return;
    Settle(serve);
    m_batch = false;
    const int total = static_cast<int>(m_rows.size());
    // Rows removed meanwhile that the view knew of: it must learn of all anew.
    const bool removed = std::exchange(m_batchRemoved, false) && m_visibleRows > 0;
    if (total == m_visibleRows && !removed)
        return;
    if (m_visibleRows == 0) {
        beginInsertRows({}, 0, total - 1);
        m_visibleRows = total;
        endInsertRows();
    } else {
        beginResetModel();
        m_visibleRows = total;
        endResetModel();
    }
}

void TListModel::Settle(const std::function<void()>& serve)
{
    if (m_settling || m_sortedRows >= m_rows.size())
        return;
    // While `serve` runs, the rows are in the middle of the sort: a sort asked
    // for meanwhile (a header click) waits until they are settled.
    m_settling = true;
    const std::vector<int> ids = ColumnIds();
    const int key = m_batchKey;
    const auto less = [&ids, key](const TRow& a, const TRow& b) { return CompareRows(key, ids, *a.entry, *b.entry) < 0; };
    // Stable, and the rows in order come first among equals: where
    // upper_bound would have put each row one at a time.
    const auto added = m_rows.begin() + static_cast<std::ptrdiff_t>(m_sortedRows);
    StableSortInSlices(added, m_rows.end(), less, [&serve] {
        if (serve)
            serve();
    });
    std::inplace_merge(m_rows.begin(), added, m_rows.end(), less);
    ++m_generation;
    m_sortedRows = m_rows.size();
    m_settling = false;
    if (std::exchange(m_sortPending, false))
        Sort(m_pendingSortKey);
}

void TListModel::RemoveRows(std::vector<int> rows)
{
    if (m_settling)
        return; // rows being sorted are not shown, so none can be chosen to go
    Settle();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    // From the bottom, so the rows still to go keep their numbers.
    for (std::size_t k = rows.size(); k > 0;) {
        const int last = rows[--k];
        int first = last;
        while (k > 0 && rows[k - 1] == first - 1)
            first = rows[--k];
        if (first < 0 || last >= Count())
            continue;
        const auto begin = m_rows.begin() + first;
        if (m_batch) {
            m_rows.erase(begin, begin + (last - first + 1));
            ++m_generation;
            m_batchRemoved = true;
            continue;
        }
        beginRemoveRows({}, first, last);
        m_rows.erase(begin, begin + (last - first + 1));
        ++m_generation;
        m_visibleRows -= last - first + 1;
        endRemoveRows();
    }
    m_sortedRows = m_rows.size();
}

int TListModel::InsertSorted(TEintragDaten* entry, int icon, int sortKey)
{
    if (m_batch) {
        if (sortKey != m_batchKey)
            Settle();
        m_batchKey = sortKey;
        m_rows.push_back(TRow {entry, icon});
        ++m_generation;
        return static_cast<int>(m_rows.size()) - 1;
    }
    Settle();
    const std::vector<int> ids = ColumnIds();
    const auto at = std::upper_bound(m_rows.begin(), m_rows.end(), entry, [&](const TEintragDaten* e, const TRow& row) {
        return CompareRows(sortKey, ids, *e, *row.entry) < 0;
    });
    const int row = static_cast<int>(at - m_rows.begin());
    beginInsertRows({}, row, row);
    m_rows.insert(at, TRow {entry, icon});
    ++m_generation;
    ++m_visibleRows;
    ++m_sortedRows;
    endInsertRows();
    return row;
}

void TListModel::FillRow(int row)
{
    if (row < 0 || row >= Count())
        return;
    ++m_filled; // its place in the order may change
    if (row < m_visibleRows)
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

void TListModel::FillAllRows()
{
    ++m_filled;
    if (m_visibleRows > 0)
        emit dataChanged(index(0, 0), index(m_visibleRows - 1, columnCount() - 1));
}

void TListModel::SetRowIcon(int row, int icon)
{
    if (row < 0 || row >= Count())
        return;
    m_rows[static_cast<std::size_t>(row)].icon = icon;
    if (row < m_visibleRows)
        emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole});
}

void TListModel::Sort(int sortKey, const std::function<void()>& serve)
{
    if (m_settling || m_sorting) {
        m_sortPending = true;
        m_pendingSortKey = sortKey;
        return;
    }
    m_sorting = true;
    std::vector<int> order;
    for (;;) {
        Settle(serve); // ties keep the order the rows had
        if (std::exchange(m_sortPending, false))
            sortKey = m_pendingSortKey;
        const std::uint64_t generation = m_generation + m_filled;
        const std::vector<int> ids = ColumnIds();
        order.resize(m_rows.size());
        std::iota(order.begin(), order.end(), 0);
        const auto less = [&](int a, int b) {
            return CompareRows(sortKey, ids, *m_rows[static_cast<std::size_t>(a)].entry,
                       *m_rows[static_cast<std::size_t>(b)].entry) < 0;
        };
        // The rows stay as they are shown until the order stands.
        const bool whole = StableSortInSlices(order.begin(), order.end(), less, [&] {
            if (serve)
                serve();
            return generation == m_generation + m_filled && !m_sortPending;
        });
        if (whole)
            break;
    }
    m_sorting = false;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    ++m_generation;
    std::vector<int> newRowOf(m_rows.size());
    std::vector<TRow> sorted;
    sorted.reserve(m_rows.size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        newRowOf[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
        sorted.push_back(std::move(m_rows[static_cast<std::size_t>(order[k])]));
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
        after.append(index(newRowOf[static_cast<std::size_t>(i.row())], i.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TListModel::SetSortArrows(int sortKey)
{
    m_arrowKey = sortKey;
    if (!m_columns.empty())
        emit headerDataChanged(Qt::Horizontal, 1, static_cast<int>(m_columns.size()));
}

} // namespace km

#pragma once

#include "model/columns.h"
#include "model/entry.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QLocale>
#include <QStringList>

#include <functional>
#include <vector>

namespace km {

// The rows of the file list: a pointer to its entry (never owned, never null)
// and the row icon; the cell texts are made from the entry when shown. Column
// 0 is the narrow icon column; the data columns follow in display order.
class TListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum RowIcon { FileIcon = 1, TemplateIcon = 2 };

    explicit TListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Rows dragged out are their files, to be copied or linked, never moved.
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // The data columns: ids in display order, and how each is aligned.
    struct TColumn {
        int Id;
        Qt::Alignment Alignment;
    };
    const std::vector<TColumn>& Columns() const { return m_columns; }
    std::vector<int> ColumnIds() const;
    // Replaces the columns; the view asks for every text anew.
    void SetColumns(std::vector<TColumn> columns);
    // The id of a view column; -1 for the icon column.
    int IdOfColumn(int column) const;

    TEintragDaten* Entry(int row) const { return m_rows[static_cast<std::size_t>(row)].entry; }
    int RowOf(const TEintragDaten* entry) const;
    int Count() const { return static_cast<int>(m_rows.size()); }

    // Removes every row; `serve` runs while the old rows are freed in slices.
    void Clear(const std::function<void()>& serve = {});
    // Removes rows (not their entries), one notice for each run of neighbours.
    void RemoveRows(std::vector<int> rows);
    // While a batch runs, new rows are added at the end and the view hears of
    // nothing (the scan's list drawing is suspended). When the batch ends they
    // take the places one-by-one insertion would have given them, in one
    // sort; `serve` runs between its slices.
    void BeginBatch();
    void EndBatch(const std::function<void()>& serve = {});
    bool InBatch() const { return m_batch; }
    // Inserts a row at its place in the order of `sortKey` and the shown
    // columns and returns it; in a batch the place comes when it ends.
    int InsertSorted(TEintragDaten* entry, int icon, int sortKey);
    // Tell the view that a row's entry (or every entry) changed.
    void FillRow(int row);
    void FillAllRows();
    void SetRowIcon(int row, int icon);
    int RowIcon(int row) const { return m_rows[static_cast<std::size_t>(row)].icon; }
    // Changes whenever rows come, go or move: rows known by number stay
    // valid while it stays.
    std::uint64_t Generation() const { return m_generation; }
    // Sorts every row; selections and the current row follow their rows.
    // `serve` runs between slices of a long sort, the rows shown as they
    // were; rows that change meanwhile, or another sort asked for, start it anew.
    void Sort(int sortKey, const std::function<void()>& serve = {});
    // The header arrow: on every column whose id + 1 is the sort code.
    void SetSortArrows(int sortKey);

private:
    struct TRow {
        TEintragDaten* entry;
        int icon;
    };

    // Sorts the rows added in the batch so far into place.
    void Settle(const std::function<void()>& serve = {});

    std::vector<TRow> m_rows;
    std::size_t m_sortedRows = 0; // the rows in front of these are in order
    int m_batchKey = 0;           // the order the batch's rows go in
    bool m_settling = false;
    bool m_sorting = false;
    std::uint64_t m_generation = 0; // counts rows coming, going and moving
    std::uint64_t m_filled = 0;     // counts changes of the rows' entries
    bool m_sortPending = false;   // asked for while the rows settled
    int m_pendingSortKey = 0;
    std::vector<TColumn> m_columns;
    int m_visibleRows = 0; // the rows the view knows of
    bool m_batch = false;
    bool m_batchRemoved = false; // rows went while the view was not told
    int m_arrowKey = 0;
    QLocale m_locale;
};

} // namespace km

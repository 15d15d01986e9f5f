#pragma once

#include "browse/columns.h"
#include "browse/entry.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QLocale>
#include <QStringList>

#include <vector>

namespace km {

// The rows of the file list: a pointer to its entry (never owned, never null),
// the row icon and the cell texts as FillRow last built them. Column 0 is the
// narrow icon column; the data columns follow in display order.
class TListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum RowIcon { FileIcon = 1, TemplateIcon = 2 };

    explicit TListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The data columns: ids in display order, and how each is aligned.
    struct TColumn {
        int Id;
        Qt::Alignment Alignment;
    };
    const std::vector<TColumn>& Columns() const { return m_columns; }
    std::vector<int> ColumnIds() const;
    // Replaces the columns and rebuilds every row's texts.
    void SetColumns(std::vector<TColumn> columns);
    // The id of a view column; -1 for the icon column.
    int IdOfColumn(int column) const;

    TEintragDaten* Entry(int row) const { return m_rows[static_cast<std::size_t>(row)].entry; }
    int RowOf(const TEintragDaten* entry) const;
    int Count() const { return static_cast<int>(m_rows.size()); }

    void Clear();
    // Removes rows (not their entries), one notice for each run of neighbours.
    void RemoveRows(std::vector<int> rows);
    // While a batch runs, new rows take their sorted place at once but the view
    // hears of them only when the batch ends (the scan's list drawing is suspended).
    void BeginBatch();
    void EndBatch();
    bool InBatch() const { return m_batch; }
    // Inserts a row at its place in the order of `sortKey` and the shown columns; returns it.
    int InsertSorted(TEintragDaten* entry, int icon, int sortKey);
    void FillRow(int row);
    void FillAllRows();
    void SetRowIcon(int row, int icon);
    int RowIcon(int row) const { return m_rows[static_cast<std::size_t>(row)].icon; }
    // Sorts every row; selections and the current row follow their rows.
    void Sort(int sortKey);
    // The header arrow: on every column whose id + 1 is the sort code.
    void SetSortArrows(int sortKey);

private:
    struct TRow {
        TEintragDaten* entry;
        int icon;
        QStringList texts;
    };

    QStringList Texts(const TEintragDaten& entry) const;

    std::vector<TRow> m_rows;
    std::vector<TColumn> m_columns;
    int m_visibleRows = 0; // the rows the view knows of
    bool m_batch = false;
    bool m_batchRemoved = false; // rows went while the view was not told
    int m_arrowKey = 0;
    QLocale m_locale;
};

} // namespace km

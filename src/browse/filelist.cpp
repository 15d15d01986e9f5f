#include "browse/filelist.h"

#include "browse/listmodel.h"

#include <QItemSelectionModel>
#include <QTreeView>

namespace km {

TFileList::TFileList(QTreeView* view, TListModel& model, TScan scan)
    : m_view(view)
    , m_model(model)
    , m_scan(std::move(scan))
{
}

bool TFileList::HasSelection() const { return m_view->selectionModel()->hasSelection(); }

std::vector<int> TFileList::SelectedRows() const
{
    std::vector<int> rows;
    const QItemSelectionModel* selection = m_view->selectionModel();
    for (int row = 0; row < m_model.rowCount(); ++row)
        if (selection->isRowSelected(row, {}))
            rows.push_back(row);
    return rows;
}

int TFileList::FirstSelectedRow() const
{
    int first = -1;
    for (const QModelIndex& i : m_view->selectionModel()->selectedRows())
        if (first < 0 || i.row() < first)
            first = i.row();
    return first;
}

TEintragDaten& TFileList::Entry(int row) const { return *m_model.Entry(row); }

void TFileList::FillRow(int row) const { m_model.FillRow(row); }

} // namespace km

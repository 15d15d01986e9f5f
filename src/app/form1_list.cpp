// The list's columns and order: the layout, the header, the column toggles,
// the chooser and the sort commands.
#include "app/form1.h"

#include "ui/commandtable.h"
#include "edit/editpanel.h"

#include "browse/formspalten.h"
#include "browse/listmodel.h"
#include "model/sorting.h"
#include "platform/dialogs.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTreeView>

namespace km {

namespace {
// Keeps the selected rows and the current row across a change of columns.
class TSelectionKeeper {
public:
    TSelectionKeeper(QTreeView* view, TListModel* model)
        : m_view(view)
        , m_model(model)
    {
        for (const QModelIndex& i : view->selectionModel()->selectedRows())
            m_selected.push_back(model->Entry(i.row()));
        const QModelIndex current = view->currentIndex();
        m_current = current.isValid() ? model->Entry(current.row()) : nullptr;
    }
    ~TSelectionKeeper()
    {
        QItemSelection selection;
        for (const TEintragDaten* e : m_selected) {
            const int row = m_model->RowOf(e);
            if (row >= 0)
                selection.select(m_model->index(row, 0), m_model->index(row, m_model->columnCount() - 1));
        }
        QItemSelectionModel* sm = m_view->selectionModel();
        if (m_current) {
            const int row = m_model->RowOf(m_current);
            if (row >= 0)
                sm->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
        }
        sm->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private:
    QTreeView* m_view;
    TListModel* m_model;
    std::vector<const TEintragDaten*> m_selected;
    const TEintragDaten* m_current = nullptr;
};

void SetColumnWidths(QTreeView* view, const std::vector<int>& widths)
{
    QHeaderView* header = view->header();
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    header->resizeSection(0, kIconColumnWidth);
    for (std::size_t k = 0; k < widths.size(); ++k) {
        header->setSectionResizeMode(static_cast<int>(k + 1), QHeaderView::Interactive);
        header->resizeSection(static_cast<int>(k + 1), widths[k]);
    }
}
} // namespace

void TForm1::ApplyColumnLayout(const std::vector<TColumnPair>& pairs)
{
    std::vector<TListModel::TColumn> columns;
    std::vector<int> widths;
    for (const TColumnPair& p : ColumnsOfLayout(pairs)) {
        columns.push_back({p.Id, ColumnInfos[static_cast<std::size_t>(p.Id)].Alignment});
        widths.push_back(p.Width);
    }
    SetListColumns(std::move(columns), widths);
}

void TForm1::SetListColumns(std::vector<TListModel::TColumn> columns, const std::vector<int>& widths)
{
    ListView1->setUpdatesEnabled(false);
    {
        // The rows stay selected as they were: nothing to store or load.
        const QScopedValueRollback guard(m_panel->IgnoreSelection, true);
        TSelectionKeeper keep(ListView1, m_model);
        m_model->SetColumns(std::move(columns));
        SetColumnWidths(ListView1, widths);
    }
    ApplySort();
    ListView1->setUpdatesEnabled(true);
}

std::vector<TColumnPair> TForm1::CurrentColumns() const
{
    std::vector<TColumnPair> pairs;
    const auto& columns = m_model->Columns();
    for (std::size_t k = 0; k < columns.size(); ++k)
        pairs.push_back({columns[k].Id, ListView1->header()->sectionSize(static_cast<int>(k + 1))});
    return pairs;
}

void TForm1::FillRow(int row) { m_model->FillRow(row); }

void TForm1::ColumnToggleExecute(QAction* action)
{
    const int id = action->data().toInt();
    std::vector<TListModel::TColumn> columns = m_model->Columns();
    std::vector<int> widths;
    for (const TColumnPair& p : CurrentColumns())
        widths.push_back(p.Width);
    const auto shown = std::find_if(columns.begin(), columns.end(), [id](const auto& c) { return c.Id == id; });
    if (shown != columns.end()) {
        widths.erase(widths.begin() + (shown - columns.begin()));
        columns.erase(shown);
    } else {
        // Left-aligned, whatever the column's own alignment, until the next layout.
        columns.push_back({id, Qt::AlignLeft});
        widths.push_back(ColumnInfos[static_cast<std::size_t>(id)].DefaultWidth);
    }
    SetListColumns(std::move(columns), widths);
    m_commands->Refresh();
}

void TForm1::ActSpaltenExecute()
{
    TFormSpalten chooser(CurrentColumns(), m_dialogs, this);
    if (chooser.exec() == QDialog::Accepted)
        ApplyColumnLayout(chooser.Result());
}

void TForm1::ShowHeaderMenu(const QPoint& pos)
{
    PopListViewHead->popup(ListView1->header()->viewport()->mapToGlobal(pos));
}

void TForm1::ListView1ColumnClick(int section)
{
    const int id = m_model->IdOfColumn(section);
    if (id < 0)
        return;
    m_sortKey = SortKeyAfterColumnClick(m_sortKey, id);
    ApplySort();
}

void TForm1::ApplySort()
{
    m_model->SetSortArrows(m_sortKey);
    m_model->Sort(m_sortKey);
    const int row = FirstSelectedRow();
    if (row >= 0)
        ScrollRowIntoView(row);
}

void TForm1::SortFieldExecute(QAction* action)
{
    m_sortKey = SortKeyForField(m_sortKey, action->data().toInt());
    ApplySort();
    m_commands->Refresh();
}

void TForm1::SortDirectionExecute(QAction* action)
{
    m_sortKey = SortKeyForDirection(m_sortKey, action->data().toInt());
    ApplySort();
    m_commands->Refresh();
}

void TForm1::ActUnterordnerExecute()
{
    m_settings.Unterordner = !m_settings.Unterordner;
    ScanFolder();
    m_commands->Refresh();
}

int TForm1::FirstSelectedRow() const
{
    int first = -1;
    for (const QModelIndex& i : ListView1->selectionModel()->selectedRows())
        if (first < 0 || i.row() < first)
            first = i.row();
    return first;
}

void TForm1::SelectRow(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TForm1::ScrollRowIntoView(int row) { ListView1->scrollTo(m_model->index(row, 0), QAbstractItemView::EnsureVisible); }

} // namespace km

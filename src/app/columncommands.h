#pragma once

#include "browse/listmodel.h"
#include "model/columns.h"

#include <QObject>

#include <functional>
#include <vector>

class QAction;
class QMenu;
class QWidget;

namespace km {

struct TCommandContext;
class TCommandTable;
class TDialogs;
class TEditPanel;
class TFileList;

// The list's columns and order: the layout, the header's clicks and menu, the
// column toggles, the column chooser and the sort commands.
class TColumnCommands : public QObject {
    Q_OBJECT
public:
    // `headerMenu`: the header's popup, filled by the window with the toggles.
    TColumnCommands(const TCommandContext& context, TEditPanel& panel, QMenu* headerMenu);

    int SortKey() const { return m_sortKey; }
    void SetSortKey(int key) { m_sortKey = key; }
    // Shows the columns of a stored layout, in its order and widths.
    void ApplyLayout(const std::vector<TColumnPair>& pairs);
    // Sorts by the sort key and shows the first selected row.
    void ApplySort();
    // The data columns as shown: ids and current widths in display order.
    std::vector<TColumnPair> Current() const;
    // Called when a change of columns shows the ID3v2 column.
    std::function<void()> ID3v2Shown;

private:
    void SetColumns(std::vector<TListModel::TColumn> columns, const std::vector<int>& widths);
    void ColumnClick(int section);
    void ToggleColumn(QAction* action);
    void ActSpaltenExecute();
    void SortFieldExecute(QAction* action);
    void SortDirectionExecute(QAction* action);
    void ColumnsUpdate();
    void SortUpdate();

    TCommandTable& m_commands;
    TDialogs& m_dialogs;
    TFileList& m_files;
    QWidget* m_window;
    TEditPanel& m_panel;
    int m_sortKey = 1;
    std::vector<QAction*> m_columnToggles; // ids 0..8
    std::vector<QAction*> m_sortFields;    // codes 1..8
};

} // namespace km

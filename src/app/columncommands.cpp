#include "app/columncommands.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/formspalten.h"
#include "edit/editpanel.h"
#include "model/sorting.h"
#include "platform/dialogs.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScopedValueRollback>
#include <QTreeView>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActSpalten", "Ansicht", "&Spalten...", "", {}},
    {"ActSpalten2", "Spalten", "&Mehr...", "", {}},
    {"ActSpalteDateiname", "Spalten", "&Dateiname", "", {}},
    {"ActSpalteTitel", "Spalten", "&Titel", "", {}},
    {"ActSpalteInterpret", "Spalten", "&Interpret", "", {}},
    {"ActSpalteAlbum", "Spalten", "&Album", "", {}},
    {"ActSpalteTitelNr", "Spalten", "Titel&nummer", "", {}},
    {"ActSpalteJahr", "Spalten", "&Jahr", "", {}},
    {"ActSpalteBemerkung", "Spalten", "&Bemerkung", "", {}},
    {"ActSpalteMusikrichtung", "Spalten", "&Musikrichtung", "", {}},
    {"ActSpalteOrdner", "Spalten", "&Ordner", "", {}},
    {"SortDateiname", "Sortierung", "&Dateiname", "", {}},
    {"SortTitel", "Sortierung", "&Titel", "", {}},
    {"sortInterpret", "Sortierung", "&Interpret", "", {}},
    {"SortAlbum", "Sortierung", "&Album", "", {}},
    {"SortTitelNr", "Sortierung", "Titel&nummer", "", {}},
    {"SortJahr", "Sortierung", "&Jahr", "", {}},
    {"SortBemerkung", "Sortierung", "&Bemerkung", "", {}},
    {"SortMusikrichtung", "Sortierung", "&Musikrichtung", "", {}},
    {"SortAufsteigend", "Sortierung", "Au&fsteigend", "", {}},
    {"SortAbsteigend", "Sortierung", "A&bsteigend", "", {}},
};

// Keeps the selected rows and the current row across a change of columns.
class TSelectionKeeper {
public:
    TSelectionKeeper(QTreeView* view, TListModel& model)
        : m_view(view)
        , m_model(model)
    {
        for (const QModelIndex& i : view->selectionModel()->selectedRows())
            m_selected.push_back(model.Entry(i.row()));
        const QModelIndex current = view->currentIndex();
        m_current = current.isValid() ? model.Entry(current.row()) : nullptr;
    }
    ~TSelectionKeeper()
    {
        QItemSelection selection;
        for (const TEintragDaten* e : m_selected) {
            const int row = m_model.RowOf(e);
            if (row >= 0)
                selection.select(m_model.index(row, 0), m_model.index(row, m_model.columnCount() - 1));
        }
        QItemSelectionModel* sm = m_view->selectionModel();
        if (m_current) {
            const int row = m_model.RowOf(m_current);
            if (row >= 0)
                sm->setCurrentIndex(m_model.index(row, 0), QItemSelectionModel::NoUpdate);
        }
        sm->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }

private:
    QTreeView* m_view;
    TListModel& m_model;
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

TColumnCommands::TColumnCommands(const TCommandContext& context, TEditPanel& panel, QMenu* headerMenu)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_files(context.Files)
    , m_window(context.Window)
    , m_panel(panel)
{
    m_commands.Define(kCommands);
    const char* toggles[] = {"ActSpalteDateiname", "ActSpalteTitel", "ActSpalteInterpret", "ActSpalteAlbum",
        "ActSpalteTitelNr", "ActSpalteJahr", "ActSpalteBemerkung", "ActSpalteMusikrichtung", "ActSpalteOrdner"};
    for (int id = 0; id < 9; ++id) {
        QAction* a = m_commands.Action(QLatin1String(toggles[id]));
        a->setCheckable(true);
        a->setData(id);
        m_columnToggles.push_back(a);
        m_commands.On(a->objectName(), [this, a] { ToggleColumn(a); });
    }
    const char* sorts[] = {"SortDateiname", "SortTitel", "sortInterpret", "SortAlbum", "SortTitelNr", "SortJahr",
        "SortBemerkung", "SortMusikrichtung"};
    for (int code = 1; code <= 8; ++code) {
        QAction* a = m_commands.Action(QLatin1String(sorts[code - 1]));
        a->setCheckable(true);
        a->setData(code);
        m_sortFields.push_back(a);
        m_commands.On(a->objectName(), [this, a] { SortFieldExecute(a); });
    }
    for (const auto& [name, direction] : {std::pair {"SortAufsteigend", 1}, std::pair {"SortAbsteigend", -1}}) {
        QAction* a = m_commands.Action(QLatin1String(name));
        a->setCheckable(true);
        a->setData(direction);
        m_commands.On(a->objectName(), [this, a] { SortDirectionExecute(a); });
    }
    m_commands.On(QStringLiteral("ActSpalten"), [this] { ActSpaltenExecute(); });
    m_commands.On(QStringLiteral("ActSpalten2"), [this] { ActSpaltenExecute(); });
    m_commands.OnUpdate(QStringLiteral("SortDateiname"), [this] { SortUpdate(); });
    m_commands.OnUpdate(QStringLiteral("ActSpalteDateiname"), [this] { ColumnsUpdate(); });

    QHeaderView* header = m_files.View()->header();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QHeaderView::sectionClicked, this, &TColumnCommands::ColumnClick);
    connect(header, &QWidget::customContextMenuRequested, this,
        [header, headerMenu](const QPoint& pos) { headerMenu->popup(header->viewport()->mapToGlobal(pos)); });
}

void TColumnCommands::ApplyLayout(const std::vector<TColumnPair>& pairs)
{
    std::vector<TListModel::TColumn> columns;
    std::vector<int> widths;
    for (const TColumnPair& p : ColumnsOfLayout(pairs)) {
        columns.push_back({p.Id, ColumnInfos[static_cast<std::size_t>(p.Id)].Alignment});
        widths.push_back(p.Width);
    }
    SetColumns(std::move(columns), widths);
}

void TColumnCommands::SetColumns(std::vector<TListModel::TColumn> columns, const std::vector<int>& widths)
{
    QTreeView* view = m_files.View();
    view->setUpdatesEnabled(false);
    {
        // The rows stay selected as they were: nothing to store or load.
        const QScopedValueRollback guard(m_panel.IgnoreSelection, true);
        TSelectionKeeper keep(view, m_files.Model());
        m_files.Model().SetColumns(std::move(columns));
        SetColumnWidths(view, widths);
    }
    ApplySort();
    view->setUpdatesEnabled(true);
    const std::vector<int> ids = m_files.Model().ColumnIds();
    if (ID3v2Shown && std::find(ids.begin(), ids.end(), int(ColID3v2)) != ids.end())
        ID3v2Shown();
}

std::vector<TColumnPair> TColumnCommands::Current() const
{
    std::vector<TColumnPair> pairs;
    const auto& columns = m_files.Model().Columns();
    for (std::size_t k = 0; k < columns.size(); ++k)
        pairs.push_back({columns[k].Id, m_files.View()->header()->sectionSize(static_cast<int>(k + 1))});
    return pairs;
}

void TColumnCommands::ToggleColumn(QAction* action)
{
    const int id = action->data().toInt();
    std::vector<TListModel::TColumn> columns = m_files.Model().Columns();
    std::vector<int> widths;
    for (const TColumnPair& p : Current())
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
    SetColumns(std::move(columns), widths);
    m_commands.Refresh();
}

void TColumnCommands::ActSpaltenExecute()
{
    TFormSpalten chooser(Current(), m_dialogs, m_window);
    if (chooser.exec() == QDialog::Accepted)
        ApplyLayout(chooser.Result());
}

void TColumnCommands::ColumnClick(int section)
{
    const int id = m_files.Model().IdOfColumn(section);
    if (id < 0)
        return;
    m_sortKey = SortKeyAfterColumnClick(m_sortKey, id);
    ApplySort();
}

void TColumnCommands::ApplySort()
{
    m_files.Model().SetSortArrows(m_sortKey);
    // A long list sorts in slices, the window served every few milliseconds.
    QElapsedTimer served;
    served.start();
    m_files.Model().Sort(m_sortKey, [&served] {
        if (served.elapsed() < 4)
            return;
        QCoreApplication::processEvents();
        served.start();
    });
    const int row = m_files.FirstSelectedRow();
    if (row >= 0)
        m_files.View()->scrollTo(m_files.Model().index(row, 0), QAbstractItemView::EnsureVisible);
}

void TColumnCommands::SortFieldExecute(QAction* action)
{
    m_sortKey = SortKeyForField(m_sortKey, action->data().toInt());
    ApplySort();
    m_commands.Refresh();
}

void TColumnCommands::SortDirectionExecute(QAction* action)
{
    m_sortKey = SortKeyForDirection(m_sortKey, action->data().toInt());
    ApplySort();
    m_commands.Refresh();
}

void TColumnCommands::ColumnsUpdate()
{
    const std::vector<int> ids = m_files.Model().ColumnIds();
    for (QAction* a : m_columnToggles)
        a->setChecked(std::find(ids.begin(), ids.end(), a->data().toInt()) != ids.end());
}

void TColumnCommands::SortUpdate()
{
    const int code = SortCode(m_sortKey);
    for (QAction* a : m_sortFields)
        a->setChecked(a->data().toInt() == code);
    m_commands.Action(QStringLiteral("SortAufsteigend"))->setChecked(m_sortKey > 0);
    m_commands.Action(QStringLiteral("SortAbsteigend"))->setChecked(m_sortKey < 0);
}

} // namespace km

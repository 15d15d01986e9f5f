#include "edit/casecommands.h"

#include "ui/commandtable.h"
#include "browse/listmodel.h"
#include "edit/casing.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "platform/dialogs.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTreeView>

namespace km {

namespace {
const char* const kModes[] = {"ActGrossKlein_GrossKlein", "ActGrossKlein_GrossGross", "ActGrossKlein_KleinKlein"};
} // namespace

TCaseCommands::TCaseCommands(
    TCommandTable& commands, TEditPanel& panel, TDialogs& dialogs, QTreeView* list, TListModel& model, QObject* parent)
    : QObject(parent)
    , m_commands(commands)
    , m_panel(panel)
    , m_dialogs(dialogs)
    , m_list(list)
    , m_model(model)
{
    for (int mode = CaseFirstLetters; mode <= CaseLower; ++mode) {
        QAction* action = commands.Action(QLatin1String(kModes[mode - 1]));
        action->setProperty("Tag", mode);
        commands.On(action->objectName(), [this, action] { Execute(action->property("Tag").toInt()); });
    }
    // The parent only carries the three as its menu.
    commands.On(QStringLiteral("ActGrossKlein"), [] {});
    commands.OnUpdate(QStringLiteral("ActGrossKlein"), [this] { Update(); });
}

void TCaseCommands::Update()
{
    const bool any = m_list->selectionModel()->hasSelection();
    m_commands.Action(QStringLiteral("ActGrossKlein"))->setEnabled(any);
    for (const char* name : kModes)
        m_commands.Action(QLatin1String(name))->setEnabled(any);
}

void TCaseCommands::Execute(int mode)
{
    const QItemSelectionModel* selection = m_list->selectionModel();
    const int selected = static_cast<int>(selection->selectedRows().size());
    if (selected == 0) {
        m_dialogs.Beep();
        return;
    }
    if (selected == 1) {
        // The panel's texts change as if typed; saving is the panel's business.
        const TEditFields& f = m_panel.Fields();
        for (QLineEdit* field : {f.ETitel, f.ESaenger, f.EAlbum, f.EBemerkung}) {
            const QString converted = ConvertCase(field->text(), mode);
            if (converted != field->text())
                m_panel.SetFieldAsTyped(field, converted);
        }
        return;
    }
    m_panel.FlushPendingEdits();
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (selection->isRowSelected(row, {}))
            m_panel.SaveRow(row, ConvertTagCase(m_model.Entry(row)->Tag, mode));
    }
    // The panel shows the converted values and stores nothing of its own.
    m_panel.DropEditsAndReload();
}

} // namespace km

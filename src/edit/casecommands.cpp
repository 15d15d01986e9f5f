#include "edit/casecommands.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "edit/casing.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "model/entry.h"
#include "platform/dialogs.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QLineEdit>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActGrossKlein", "Extras", "Groß- und Kleinschreibung", "Groß- und Kleinschreibung ändern", {}},
    {"ActGrossKlein_GrossKlein", "Extras", "Nur Anfangsbuchstaben groß", "Nur Anfangsbuchstaben großschreiben", {}},
    {"ActGrossKlein_GrossGross", "Extras", "Alles groß", "Alles groß schreiben", {}},
    {"ActGrossKlein_KleinKlein", "Extras", "Alles klein", "Alles klein schreiben", {}},
};

const char* const kModes[] = {"ActGrossKlein_GrossKlein", "ActGrossKlein_GrossGross", "ActGrossKlein_KleinKlein"};

} // namespace

TCaseCommands::TCaseCommands(const TCommandContext& context, TEditPanel& panel)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_files(context.Files)
    , m_panel(panel)
{
    m_commands.Define(kCommands);
    for (int mode = CaseFirstLetters; mode <= CaseLower; ++mode) {
        QAction* action = m_commands.Action(QLatin1String(kModes[mode - 1]));
        action->setProperty("Tag", mode);
        m_commands.On(action->objectName(), [this, action] { Execute(action->property("Tag").toInt()); });
    }
    // The parent only carries the three as its menu.
    m_commands.On(QStringLiteral("ActGrossKlein"), [] {});
    m_commands.OnUpdate(QStringLiteral("ActGrossKlein"), [this] { Update(); });
}

void TCaseCommands::Update()
{
    const bool any = m_files.HasSelection();
    m_commands.Action(QStringLiteral("ActGrossKlein"))->setEnabled(any);
    for (const char* name : kModes)
        m_commands.Action(QLatin1String(name))->setEnabled(any);
}

void TCaseCommands::Execute(int mode)
{
    const std::vector<int> rows = m_files.SelectedRows();
    if (rows.empty()) {
        m_dialogs.Beep();
        return;
    }
    if (rows.size() == 1) {
        // The panel's texts change as if typed; saving is the panel's business.
        const TEditFields& f = m_panel.Fields();
        for (QLineEdit* field : {f.ETitel, f.ESaenger, f.EAlbum, f.EBemerkung}) {
            const QString converted = ConvertCase(field->text(), mode);
            if (converted != field->text())
                m_panel.SetFieldAsTyped(field, converted, ID3v2CaseChange(converted, mode));
        }
        return;
    }
    m_panel.FlushPendingEdits();
    for (const int row : m_files.SelectedRows()) {
        const TID3v1Tag converted = ConvertTagCase(m_files.Entry(row).Tag, mode);
        m_panel.SaveRow(row, converted, ID3v2CaseChanges(converted, mode));
    }
    // The panel shows the converted values and stores nothing of its own.
    m_panel.DropEditsAndReload();
}

} // namespace km

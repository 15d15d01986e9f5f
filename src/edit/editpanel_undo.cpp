// Undo: unsaved panel edits first, then the saved changes, newest first.
#include "edit/editpanel.h"

#include "browse/filelist.h"
#include "edit/editfields.h"
#include "edit/tagsaver.h"
#include "platform/dialogs.h"
#include "tags/genres.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeView>

namespace km {

bool TEditPanel::HasUnsavedEdits() const
{
    if (!m_files.HasSelection())
        return false;
    for (const QLineEdit* edit : m_fields->TextFields())
        if (edit->isModified())
            return true;
    return m_genreEdited;
}

void TEditPanel::RestoreLoadedPanel()
{
    m_applyFlags = m_applyFlagsAtLoad;
    m_id3v2Whole = {};
    m_genreEdited = false;
    m_genreByte.reset();
    FeldFarbenAktuallisieren();
    ShowLoadedValues();
    ShowPendingEdits();
}

void TEditPanel::ActRueckgaengigUpdate()
{
    QAction* action = m_commands->Action(QStringLiteral("ActRueckgaengig"));
    const bool unsaved = HasUnsavedEdits();
    const QString caption = unsaved ? QStringLiteral("Rückgängig: Titelinformationen ändern") : m_saver.UndoCaption();
    // Only the menu caption reads "&" as an access key.
    action->setText(QString(caption).replace(QLatin1Char('&'), QLatin1String("&&")));
    action->setToolTip(caption);
    action->setStatusTip(caption);
    action->setEnabled(unsaved || !m_saver.Undo().Empty());
    // Tools mark fields modified without a change event the panel sees.
    ShowPendingEdits();
}

void TEditPanel::ActRueckgaengigExecute()
{
    if (HasUnsavedEdits()) {
        RestoreLoadedPanel();
        return;
    }
    if (!m_saver.UndoTop()) {
        m_dialogs.Beep();
        return;
    }
    ReportID3v2Refusals();
    m_files.Rescan();
}

} // namespace km

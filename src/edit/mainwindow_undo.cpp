// Undo: unsaved panel edits first, then the saved changes, newest first.
#include "browse/mainwindow.h"

#include "browse/commandtable.h"

#include "browse/dirbox.h"
#include "browse/listmodel.h"
#include "edit/editpanel.h"
#include "platform/dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QTreeView>

namespace km {

namespace {
QString NameOf(const std::string& path)
{
    const QString full = QFile::decodeName(QByteArray::fromStdString(path));
    return full.mid(full.lastIndexOf(QLatin1Char('/')) + 1);
}
} // namespace

bool TForm1::HasUnsavedEdits() const
{
    if (ListView1->selectionModel()->selectedRows().isEmpty())
        return false;
    for (const QLineEdit* edit : m_fields->TextFields())
        if (edit->isModified())
            return true;
    return m_genreEdited;
}

void TForm1::RestoreLoadedPanel()
{
    m_applyFlags = m_applyFlagsAtLoad;
    m_genreEdited = false;
    FeldFarbenAktuallisieren();
    const QScopedValueRollback filling(m_filling, true);
    const std::array<int, 6> flags = {FlagTitel, FlagInterpret, FlagAlbum, FlagJahr, FlagBemerkung, FlagTitelnr};
    const auto fields = m_fields->TextFields();
    for (std::size_t k = 0; k < fields.size(); ++k) {
        fields[k]->setText(m_applyFlags[static_cast<std::size_t>(flags[k])] ? ShownText(flags[k]) : QString());
        if (fields[k]->hasFocus())
            fields[k]->selectAll();
        fields[k]->setModified(false);
    }
    m_fields->EMusikrichtung->setCurrentIndex(
        m_applyFlags[FlagMusikrichtung] ? m_genres.ItemOfGenre(m_shownTag.Musikrichtung) : 0);
}

void TForm1::ActRueckgaengigUpdate()
{
    QAction* action = m_commands->Action(QStringLiteral("ActRueckgaengig"));
    QString caption = QStringLiteral("Rückgängig");
    bool enabled = true;
    if (HasUnsavedEdits()) {
        caption = QStringLiteral("Rückgängig: Titelinformationen ändern");
    } else if (const TRueckgaengig* top = m_undo.Top()) {
        if (top->Kind == TRueckgaengig::Renamed)
            caption = QStringLiteral("Rückgängig: Umbenennen");
        else if (top->Kind == TRueckgaengig::TagWritten)
            caption = QStringLiteral("Rückgängig: Titelinformationen speichern (%1)").arg(NameOf(top->Path));
    } else {
        enabled = false;
    }
    // Only the menu caption reads "&" as an access key.
    action->setText(QString(caption).replace(QLatin1Char('&'), QLatin1String("&&")));
    action->setToolTip(caption);
    action->setStatusTip(caption);
    action->setEnabled(enabled);
}

void TForm1::ActRueckgaengigExecute()
{
    if (HasUnsavedEdits()) {
        RestoreLoadedPanel();
        return;
    }
    const TRueckgaengig* top = m_undo.Top();
    if (!top) {
        m_dialogs.Beep();
        return;
    }
    const TRueckgaengig record = *top;
    if (record.Kind == TRueckgaengig::TagWritten) {
        WriteID3v1Tag(record.Path, record.Tag, m_settings.DatumBeibehalten, WriteQuestions(), *m_fileLayer);
        WriteLastWriteTime(record.Path, record.FileTime, *m_fileLayer);
    } else if (record.Kind == TRueckgaengig::Renamed) {
        UndoRename(record);
    } else {
        return;
    }
    m_undo.Pop();
    ScanFolder();
}

void TForm1::UndoRename(const TRueckgaengig& record)
{
    if (!QFileInfo::exists(QFile::decodeName(QByteArray::fromStdString(record.Path))))
        m_dialogs.Message(QStringLiteral("Die Datei \"%1\" konnte nicht mehr gefunden werden.").arg(NameOf(record.Path)),
            TDialogs::Kind::Error, TDialogs::Ok);
    while (m_fileLayer->RenameNoReplace(record.Path, record.OldPath) != 0) {
        const auto answer = m_dialogs.Message(
            QStringLiteral("Der Dateiname konnte nicht geändert werden. Wahrscheinlich ist die Datei oder der Datenträger "
                           "schreibgeschützt.\rWollen Sie es nocheinmal versuchen, die Datei umzubenennen?"),
            TDialogs::Kind::Error, TDialogs::Yes | TDialogs::No);
        if (answer != TDialogs::Result::Yes)
            return;
    }
    WriteLastWriteTime(record.OldPath, record.FileTime, *m_fileLayer);
}

} // namespace km

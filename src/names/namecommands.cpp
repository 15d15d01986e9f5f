#include "names/namecommands.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "edit/editfields.h"
#include "edit/editpanel.h"
#include "edit/tagsaver.h"
#include "model/structure.h"
#include "names/form3.h"
#include "names/namerenamer.h"
#include "platform/charset.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "tags/writer.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QLineEdit>
#include <QScreen>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActEinstellungen", "Datei", "&Einstellungen...", "Einstellungen", {}},
    {"ActVonDateinamen", "Extras", "&Titelinformationen aus Dateinamen", "Titelinformationen vom Dateinamen übernehmen", QKeySequence(Qt::CTRL | Qt::Key_T)},
    {"ActDateinameAusID3", "Extras", "&Dateiname aus Titelinformationen", "Datei nach Titelinformationen umbenennen", QKeySequence(Qt::CTRL | Qt::Key_D)},
    {"ActRename", "Datei", "&Umbenennen", "", QKeySequence(Qt::Key_F2)},
};

} // namespace

TNameCommands::TNameCommands(const TCommandContext& context, TEditPanel& panel, TTagSaver& saver, TNameStructure& names)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_files(context.Files)
    , m_window(context.Window)
    , m_panel(panel)
    , m_saver(saver)
    , m_names(names)
{
    m_commands.Define(kCommands);
    m_commands.On(QStringLiteral("ActVonDateinamen"), [this] { ActVonDateinamenExecute(); });
    m_commands.On(QStringLiteral("ActDateinameAusID3"), [this] { ActDateinameAusID3Execute(); });
    m_commands.On(QStringLiteral("ActRename"), [this] { ActRenameExecute(); });
    m_commands.On(QStringLiteral("ActEinstellungen"), [this] { ActEinstellungenExecute(); });
    m_commands.OnUpdate(QStringLiteral("ActVonDateinamen"), [this] { ActVonDateinamenUpdate(); });
}

void TNameCommands::ActVonDateinamenUpdate()
{
    // One rule for the three commands that need a selected file.
    const bool any = m_files.HasSelection();
    for (const char* name : {"ActVonDateinamen", "ActDateinameAusID3", "ActRename"})
        m_commands.Action(QLatin1String(name))->setEnabled(any);
}

void TNameCommands::ActVonDateinamenExecute()
{
    std::vector<int> rows = m_files.SelectedRows();
    if (rows.empty()) {
        m_dialogs.Beep();
        return;
    }
    if (SeparatorsMissing(m_names)) {
        m_dialogs.Message(QStringLiteral("Sie haben in den Einstellungen des Programms keine Trennzeichen angegeben, "
                                         "mit denen die Informationen im Dateinamen getrennt sind."),
            TDialogs::Kind::Information, TDialogs::Ok);
        return;
    }
    const bool several = rows.size() > 1;
    if (several) {
        if (m_dialogs.Message(QStringLiteral("Sie haben mehrere Dateien markiert.\rWollen Sie wirklich bei allen markierten "
                                             "Dateien den Titel und Interpreten aus dem Dateinamen übernehemen?"),
                TDialogs::Kind::Confirmation, TDialogs::Yes | TDialogs::No)
            != TDialogs::Result::Yes)
            return;
        // What the user typed into fields the names do not set must not be lost.
        m_panel.FlushPendingEdits();
        rows = m_files.SelectedRows();
    }

    TParsedFields parsed;
    for (const int row : rows) {
        const TEintragDaten& entry = m_files.Entry(row);
        TID3v1Tag tag = entry.Tag;
        SplitFileName(Shown(entry.FileName), Shown(entry.Folder), m_names.JahrVonDatei ? FileYear(entry.FullPath(), m_saver.FileLayer()) : QString(),
            m_names, tag, parsed);
        if (several) {
            m_panel.SaveRow(row, tag, ParsedID3v2Texts(parsed));
            continue;
        }
        // One file: the results wait in the panel as edits the user can still check.
        const TEditFields& f = m_panel.Fields();
        const TID3v2Changes whole = ParsedID3v2Texts(parsed);
        const auto put = [this, &whole](QLineEdit* field, const QString& text, TID3v2Field v2) {
            m_panel.SetFieldAsTyped(field, text, whole[v2]);
            field->selectAll();
        };
        if (parsed.Titel)
            put(f.ETitel, ID3v1Charset().ToQString(FieldView(tag.Titel)), V2Title);
        if (parsed.Interpret)
            put(f.ESaenger, ID3v1Charset().ToQString(FieldView(tag.Interpret)), V2Artist);
        if (parsed.Album)
            put(f.EAlbum, ID3v1Charset().ToQString(FieldView(tag.Album)), V2Album);
        if (parsed.Jahr)
            put(f.EJahr, ID3v1Charset().ToQString(FieldView(tag.Jahr)), V2Year);
        if (parsed.Titelnr)
            put(f.ETitelnr, QString::number(tag.Titelnr), V2Track);
    }
    if (several)
        m_panel.DropEditsAndReload();
}

void TNameCommands::ActDateinameAusID3Execute()
{
    std::vector<int> rows = m_files.SelectedRows();
    if (rows.empty()) {
        m_dialogs.Beep();
        return;
    }
    if (rows.size() > 1
        && m_dialogs.Message(QStringLiteral("Sie haben mehrere Dateien markiert.\rWollen Sie wirklich alle markierten Dateien "
                                            "automatisch umbenennen lassen?"),
               TDialogs::Kind::Confirmation, TDialogs::Yes | TDialogs::No)
            != TDialogs::Result::Yes)
        return;
    // The names come from the tags as saved.
    m_panel.FlushPendingEdits();
    rows = m_files.SelectedRows();

    TNameRenamer run(m_dialogs, m_saver, m_names);
    QStringList noName;
    for (const int row : rows) {
        const TNameRenamer::TOutcome outcome = run.Rename(m_files.Entry(row));
        if (outcome == TNameRenamer::TOutcome::Stopped)
            break;
        switch (outcome) {
        case TNameRenamer::TOutcome::Stopped:
        case TNameRenamer::TOutcome::Skipped:
            break;
        case TNameRenamer::TOutcome::NoName:
            noName << Shown(m_files.Entry(row).FileName);
            m_files.FillRow(row);
            break;
        case TNameRenamer::TOutcome::Renamed:
        case TNameRenamer::TOutcome::Kept:
        case TNameRenamer::TOutcome::Failed:
            m_files.FillRow(row);
            break;
        }
    }
    // Once per run, as for files too small to hold a tag.
    if (!noName.isEmpty())
        m_dialogs.Message(noName.size() == 1
                ? QStringLiteral("Die Titelinformationen von \"%1\" ergeben keinen Dateinamen; der Name bleibt.")
                      .arg(noName.first())
                : QStringLiteral("%1 Dateien haben Titelinformationen, die keinen Dateinamen ergeben, darunter \"%2\"; "
                                 "die Namen bleiben.")
                      .arg(noName.size())
                      .arg(noName.first()),
            TDialogs::Kind::Information, TDialogs::Ok);
}

void TNameCommands::ActRenameExecute()
{
    const std::vector<int> rows = m_files.SelectedRows();
    if (rows.empty()) {
        m_dialogs.Beep();
        return;
    }
    // Only the name changes: what the panel holds stays pending.
    const int row = rows.front();
    TEintragDaten& entry = m_files.Entry(row);
    const std::string old = entry.FileName;
    const TFileTime time = KnownLastWriteTime(entry.FullPath(), m_saver.FileLayer());
    const std::string now = AskAndRename(m_dialogs, m_saver, entry.Folder, old);
    if (now == old)
        return;
    m_saver.PushRenamed(entry.Folder + now, entry.Folder + old, time);
    entry.FileName = now;
    m_files.FillRow(row);
    m_panel.ShowSelectionStatus();
}

void TNameCommands::ActEinstellungenExecute()
{
    TForm3 form(m_names, m_dialogs, m_window);
    form.OnReset = SettingsReset;
    // The first selected file, else the first listed one.
    const std::vector<int> selected = m_files.SelectedRows();
    const int row = !selected.empty() ? selected.front() : m_files.Model().rowCount() > 0 ? 0 : -1;
    if (row >= 0) {
        const TEintragDaten& entry = m_files.Entry(row);
        form.SetPreview(TForm3::TPreview {FieldText(entry.Tag.Titel), FieldText(entry.Tag.Interpret)});
    }
    const QString charsetBefore = m_names.ID3v1Zeichensatz;
    // Centred on the screen, not on the window.
    if (const QScreen* screen = m_window ? m_window->screen() : nullptr) {
        form.adjustSize();
        form.move(screen->availableGeometry().center() - form.rect().center());
    }
    if (form.exec() == QDialog::Accepted) {
        m_saver.SetDatumBeibehalten(m_names.DatumBeibehalten);
        m_saver.SetID3v2Mitschreiben(m_names.ID3v2Mitschreiben);
        if (m_names.ID3v1Zeichensatz != charsetBefore) {
            // What the fields hold was read and typed in the old set: it is
            // stored in it before the list is read in the new one.
            m_panel.FlushPendingEdits();
            SetID3v1Charset(CharsetOrDefault(m_names.ID3v1Zeichensatz.toStdString()));
            m_panel.DropEditsAndReload();
            m_files.Rescan();
        }
    }
}

} // namespace km

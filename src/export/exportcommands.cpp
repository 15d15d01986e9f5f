#include "export/exportcommands.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "export/formplaylist.h"
#include "export/htmlpage.h"
#include "export/playlist.h"
#include "export/workbook.h"
#include "platform/dialogs.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QTemporaryDir>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActExportHTML", "Datei", "&HTML", "", {}},
    {"ActExportExcel", "Datei", "Microsoft &Excel", "", {}},
    {"ActExportPlaylist", "Datei", "&Playlist...", "", {}},
};

QString WithSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}
} // namespace

TExportCommands::TExportCommands(const TCommandContext& context)
    : QObject(context.Window)
    , m_dialogs(context.Dialogs)
    , m_shell(context.Shell)
    , m_files(context.Files)
    , m_window(context.Window)
{
    context.Commands.Define(kCommands);
    context.Commands.On(QStringLiteral("ActExportHTML"), [this] { ActExportHTMLExecute(); });
    context.Commands.On(QStringLiteral("ActExportPlaylist"), [this] { ActExportPlaylistExecute(); });
    context.Commands.On(QStringLiteral("ActExportExcel"), [this] { ActExportExcelExecute(); });
    // A list still being filled would be written as if it were the folder's.
    for (const char* name : {"ActExportHTML", "ActExportPlaylist", "ActExportExcel"}) {
        QAction* action = context.Commands.Action(QString::fromLatin1(name));
        context.Commands.OnUpdate(QString::fromLatin1(name), [this, action] { action->setEnabled(!m_files.ScanRunning()); });
    }
}

QString TExportCommands::AskTarget(const QString& startPath, const QString& filter, const QString& extension)
{
    QString path = m_dialogs.SaveFileName(QStringLiteral("Speichern unter"), startPath, filter);
    // A name typed without extension gets the default one.
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + extension;
    return path;
}

bool TExportCommands::MayReplace(const QString& path, const QString& question)
{
    return !QFileInfo::exists(path)
        || m_dialogs.Message(question, TDialogs::Kind::Warning, TDialogs::Yes | TDialogs::No, TDialogs::No)
        == TDialogs::Result::Yes;
}

void TExportCommands::WriteFile(const QString& path, const QByteArray& bytes)
{
    // Written beside and renamed into place: a failure leaves the old file whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        m_dialogs.ShowError(QStringLiteral("Die Datei \"%1\" konnte nicht geschrieben werden.\r%2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void TExportCommands::ActExportHTMLExecute()
{
    // The name chosen last, else the folder shown.
    const QString start = m_lastPage.isEmpty() ? m_files.ShownFolder() : m_lastPage;
    const QString path = AskTarget(start, QStringLiteral("HTML-Dateien (*.htm *.html);;Alle Dateien (*)"),
        QStringLiteral("htm"));
    if (path.isEmpty())
        return;
    m_lastPage = path;
    if (!MayReplace(path, QStringLiteral("Die Datei \"%1\" existsiert bereits.\rWollen Sie diese überschreiben?")
                              .arg(QFileInfo(path).fileName())))
        return;

    const TListModel& model = m_files.Model();
    THtmlList list;
    for (int column = 1; column < model.columnCount(); ++column)
        list.Captions << model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    list.Rows.reserve(static_cast<std::size_t>(model.rowCount()));
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (int column = 1; column < model.columnCount(); ++column)
            cells << model.data(model.index(row, column), Qt::DisplayRole).toString();
        list.Rows.push_back(cells);
    }
    list.Folder = m_files.ScannedFolder();
    list.Subfolders = m_files.Subfolders();
    list.Date = QLocale::system().toString(Today(), QLocale::ShortFormat);
    WriteFile(path, HtmlPage(list).toUtf8());
}

void TExportCommands::ActExportPlaylistExecute()
{
    bool allListed = false;
    bool extended = true;
    {
        TFormPlaylist form(m_window);
        if (!form.Execute(allListed, extended))
            return;
    }
    // No name offered, but the folder shown, where the paths become relative.
    const QString path = AskTarget(m_files.ShownFolder(), QStringLiteral("Playlisten (*.m3u);;alle Dateien (*)"),
        QStringLiteral("m3u"));
    if (path.isEmpty())
        return;
    if (!MayReplace(path, QStringLiteral("Die Playlist mit dem Namen \"%1\" existiert bereits.\n\rWollen Sie diese überschreiben?")
                              .arg(QFileInfo(path).fileName())))
        return;

    // Saved into the folder shown, the paths are relative to it.
    const QString playlistFolder = WithSlash(QFileInfo(path).absolutePath());
    std::optional<std::string> relativeTo;
    if (playlistFolder == WithSlash(m_files.ShownFolder()))
        relativeTo = OnDisk(playlistFolder);

    std::vector<const TEintragDaten*> entries;
    if (allListed) {
        for (int row = 0; row < m_files.Model().rowCount(); ++row)
            entries.push_back(&m_files.Entry(row));
    } else {
        for (const int row : m_files.SelectedRows())
            entries.push_back(&m_files.Entry(row));
    }
    WriteFile(path, PlaylistText(entries, extended, relativeTo));
}

void TExportCommands::ActExportExcelExecute()
{
    std::vector<QStringList> rows;
    for (int row = 0; row < m_files.Model().rowCount(); ++row)
        rows.push_back(WorkbookRow(m_files.Entry(row)));
    QString message = QStringLiteral("Microsoft Excel konnte nicht gestartet werden.");
    QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/klangmappe-XXXXXX"));
    const QString path = folder.filePath(QStringLiteral("Klangmappe-Dateiliste.xlsx"));
    if (folder.isValid() && WriteWorkbook(OnDisk(path), rows)) {
        // Kept: the spreadsheet program opens it after we are done, and without
        // one the user still has the list.
        folder.setAutoRemove(false);
        if (m_shell.OpenDocument(path, folder.path()))
            return;
        message += QStringLiteral("\rDie Arbeitsmappe wurde unter \"%1\" gespeichert.").arg(QDir::toNativeSeparators(path));
    }
    m_dialogs.Message(message, TDialogs::Kind::Error, TDialogs::Ok);
}

} // namespace km

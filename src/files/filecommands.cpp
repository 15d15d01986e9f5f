#include "files/filecommands.h"

#include "browse/commandcontext.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "edit/editpanel.h"
#include "edit/tagsaver.h"
#include "files/fileprogress.h"
#include "model/settings.h"
#include "platform/dialogs.h"
#include "platform/fileops.h"
#include "platform/paths.h"
#include "platform/shell.h"
#include "ui/commandtable.h"

#include <QAction>
#include <QGuiApplication>
#include <QTreeView>

#include <sys/stat.h>

namespace km {

namespace {

const TActionDef kCommands[] = {
    {"ActDateioperationen", "Datei", "Datei&operationen", "Dateioperationen", {}},
    {"ActShellCopy", "Datei", "&Kopieren nach...", "", {}},
    {"ActShelMove", "Datei", "&Verschieben nach...", "", {}},
    {"ActShellDelete", "Datei", "&Löschen", "", {}},
    {"ActShellCopy2", "Datei", "K&opieren nach (leer)", "", {}},
    {"ActShelMove2", "Datei", "Ve&rschieben nach (leer)", "", {}},
    {"ActPlay", "Datei", "&Wiedergabe", "Wiedergeben", QKeySequence(Qt::CTRL | Qt::Key_P)},
};

const QString kBrowseTitle = QStringLiteral("Wählen sie das Ziellaufwerk oder den den Zielordner aus:");

} // namespace

TFileCommands::TFileCommands(const TCommandContext& context, TEditPanel& panel, TTagSaver& saver, TSettings& settings)
    : QObject(context.Window)
    , m_commands(context.Commands)
    , m_dialogs(context.Dialogs)
    , m_shell(context.Shell)
    , m_files(context.Files)
    , m_window(context.Window)
    , m_panel(panel)
    , m_saver(saver)
    , m_settings(settings)
    , m_layer(&TFileOpsLayer::Posix())
{
    setObjectName(QStringLiteral("FileCommands"));
    ShiftHeld = [] { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); };
    m_commands.Define(kCommands);
    m_commands.On(QStringLiteral("ActShellCopy"), [this] { Browse(false); });
    m_commands.On(QStringLiteral("ActShelMove"), [this] { Browse(true); });
    m_commands.On(QStringLiteral("ActShellCopy2"), [this] { Repeat(false); });
    m_commands.On(QStringLiteral("ActShelMove2"), [this] { Repeat(true); });
    m_commands.On(QStringLiteral("ActShellDelete"), [this] { DeleteSelectedFiles(); });
    // Only opens its submenu.
    m_commands.On(QStringLiteral("ActDateioperationen"), [] {});
    m_commands.OnUpdate(QStringLiteral("ActShellCopy"), [this] { Update(); });
    m_commands.On(QStringLiteral("ActPlay"), [this] { ActPlayExecute(); });
    m_commands.OnUpdate(QStringLiteral("ActPlay"),
        [this] { m_commands.Action(QStringLiteral("ActPlay"))->setEnabled(m_files.FirstSelectedRow() >= 0); });
    // A double click plays the row, whatever the update handler last decided.
    connect(m_files.View(), &QAbstractItemView::doubleClicked, this, &TFileCommands::ActPlayExecute);
}

void TFileCommands::Update()
{
    const bool any = m_files.HasSelection();
    for (const char* name : {"ActShellCopy", "ActShelMove", "ActShellDelete", "ActDateioperationen"})
        m_commands.Action(QLatin1String(name))->setEnabled(any);
    const auto repeat = [this, any](const char* name, const QString& verb, const QString& folder) {
        QAction* action = m_commands.Action(QLatin1String(name));
        action->setEnabled(any && !folder.isEmpty());
        QString target = QStringLiteral("(leer)");
        if (!folder.isEmpty())
            target = QLatin1Char('"') + QString(folder).replace(QLatin1Char('&'), QStringLiteral("&&")) + QLatin1Char('"');
        action->setText(verb + target);
    };
    repeat("ActShellCopy2", QStringLiteral("Kopieren nach "), m_settings.CopyTo);
    repeat("ActShelMove2", QStringLiteral("Verschieben nach "), m_settings.MoveTo);
}

void TFileCommands::Browse(bool move)
{
    if (!m_files.HasSelection()) {
        m_dialogs.Beep();
        return;
    }
    QString& stored = move ? m_settings.MoveTo : m_settings.CopyTo;
    const QString folder = m_dialogs.FolderName(kBrowseTitle, stored.isEmpty() ? m_files.ScannedFolder() : stored);
    if (folder.isEmpty())
        return;
    // Remembered even when the operation is then cancelled.
    stored = folder;
    move ? MoveSelectedFiles(folder) : CopySelectedFiles(folder);
}

void TFileCommands::Repeat(bool move)
{
    const QString folder = move ? m_settings.MoveTo : m_settings.CopyTo;
    if (!m_files.HasSelection() || folder.isEmpty()) {
        m_dialogs.Beep();
        return;
    }
    move ? MoveSelectedFiles(folder) : CopySelectedFiles(folder);
}

TFileOps::TPaths TFileCommands::SelectedFiles() const
{
    // As the file system spells them: a name that is no UTF-8 keeps its bytes.
    TFileOps::TPaths files;
    for (const int row : m_files.SelectedRows())
        files.push_back(m_files.Entry(row).FullPath());
    return files;
}

bool TFileCommands::InScannedTree(const QString& folder) const
{
    // Names that differ only in case are two folders here.
    const QString scanned = m_files.ScannedFolder();
    return folder == scanned || (m_files.Subfolders() && folder.size() > scanned.size() && folder.startsWith(scanned));
}

void TFileCommands::CopySelectedFiles(const QString& folder) { TransferSelectedFiles(TKind::Copy, folder); }

void TFileCommands::MoveSelectedFiles(const QString& folder) { TransferSelectedFiles(TKind::Move, folder); }

void TFileCommands::TransferSelectedFiles(TKind kind, QString folder)
{
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_panel.FlushPendingEdits();
    const TFileOps::TPaths files = SelectedFiles();
    if (files.empty()) {
        m_dialogs.Beep();
        return;
    }
    Run(kind, files, folder, folder == m_files.ScannedFolder(), false);
    if (InScannedTree(folder))
        m_files.Rescan();
    else if (kind == TKind::Move)
        RemoveGoneRows(folder);
}

void TFileCommands::DeleteSelectedFiles()
{
    m_panel.FlushPendingEdits();
    const TFileOps::TPaths files = SelectedFiles();
    if (files.empty()) {
        m_dialogs.Beep();
        return;
    }
    Run(TKind::Delete, files, {}, false, ShiftHeld());
    RemoveGoneRows({});
}

void TFileCommands::Run(
    TKind kind, const TFileOps::TPaths& files, const QString& folder, bool renameOnCollision, bool forGood)
{
    const QString label = kind == TKind::Copy ? QStringLiteral("Kopiere \"%1\"...")
        : kind == TKind::Move                 ? QStringLiteral("Verschiebe \"%1\"...")
                                              : QStringLiteral("Lösche \"%1\"...");
    TFileProgress progress(m_window, m_dialogs, label);
    TFileOps ops(progress, *m_layer);
    ops.Progress = [&progress](int done, int total, const QString& file) { return progress.Report(done, total, file); };
    switch (kind) {
    case TKind::Copy: ops.Copy(files, OnDisk(folder), renameOnCollision); break;
    case TKind::Move: ops.Move(files, OnDisk(folder), renameOnCollision); break;
    case TKind::Delete: ops.Delete(files, forGood); break;
    }
}

void TFileCommands::RemoveGoneRows(const QString& folder)
{
    // The operation may have skipped files or stopped half way: only what is gone goes.
    const std::string destination = OnDisk(folder);
    std::vector<int> gone;
    for (const int row : m_files.SelectedRows()) {
        const std::string path = m_files.Entry(row).FullPath();
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0)
            continue;
        gone.push_back(row);
        if (folder.isEmpty())
            m_saver.DropPath(path);
        else
            m_saver.RehomePath(path, destination);
    }
    if (gone.empty())
        return;
    // The panel holds nothing unsaved: it loads afresh what stays selected.
    m_panel.IgnoreSelection = true;
    m_files.View()->setUpdatesEnabled(false);
    m_files.Model().RemoveRows(gone);
    m_files.View()->setUpdatesEnabled(true);
    m_panel.IgnoreSelection = false;
    m_panel.DropEditsAndReload();
    m_commands.ScheduleRefresh();
}

void TFileCommands::ActPlayExecute()
{
    const int row = m_files.FirstSelectedRow();
    if (row < 0) {
        m_dialogs.Beep();
        return;
    }
    const TEintragDaten& e = m_files.Entry(row);
    if (!m_shell.OpenDocument(Shown(e.FullPath()),
            Shown(e.Folder)))
        m_dialogs.Message(QStringLiteral("Für MP3-Dateien ist kein Programm zum Abspielen eingerichtet."),
            TDialogs::Kind::Error, TDialogs::Ok);
}

} // namespace km

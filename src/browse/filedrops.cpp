#include "browse/filedrops.h"

#include "browse/commandcontext.h"
#include "browse/dirbox.h"
#include "browse/filelist.h"
#include "browse/listmodel.h"
#include "platform/paths.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QTreeView>

#include <string>
#include <unordered_set>

namespace km {

namespace {
bool IsMp3Name(const QString& path) { return path.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive); }

QString FolderOf(const QString& path)
{
    const QString folder = QFileInfo(path).path();
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'); // "/" stays "/"
}
} // namespace

TFileDrops::TFileDrops(
    const TCommandContext& context, TDirBox& tree, std::function<void(const QStringList&)> selectAfterScan)
    : QObject(context.Window)
    , m_files(context.Files)
    , m_tree(tree)
    , m_window(context.Window)
    , m_selectAfterScan(std::move(selectAfterScan))
{
    // Drops on the list, the tree or the frame come to the window: none of them takes drops itself.
    m_window->setAcceptDrops(true);
    m_window->installEventFilter(this);
    QTreeView* view = m_files.View();
    view->setDragEnabled(true);
    view->setDragDropMode(QAbstractItemView::DragOnly);
    view->setDefaultDropAction(Qt::CopyAction);
}

std::optional<TFileDrops::TPlan> TFileDrops::Plan(const QList<QUrl>& urls)
{
    QStringList paths;
    for (const QUrl& url : urls) {
        if (!url.isLocalFile())
            continue;
        QString path = url.toLocalFile();
        while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
            path.chop(1);
        if (!path.isEmpty())
            paths << path;
    }
    if (paths.isEmpty())
        return std::nullopt;
    // A folder first: that folder. Names decide what is an MP3 file; only a
    // folder costs a look at the disk, bounded for a share that does not answer.
    if (!IsMp3Name(paths.first()) && TDirBox::IsFolderSoon(paths.first())) {
        QString folder = paths.first();
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        return TPlan {folder, {}};
    }
    TPlan plan;
    for (const QString& path : std::as_const(paths)) {
        if (!IsMp3Name(path))
            continue;
        if (plan.Folder.isEmpty())
            plan.Folder = FolderOf(path);
        // Files from other folders are left out.
        if (FolderOf(path) == plan.Folder && !plan.Files.contains(path))
            plan.Files << path;
    }
    if (plan.Files.isEmpty())
        return std::nullopt;
    return plan;
}

bool TFileDrops::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter: {
        auto* drag = static_cast<QDragEnterEvent*>(event);
        // Rows of our own list dropped back: nothing to do.
        QObject* source = drag->source();
        const bool ours = source && (source == m_files.View() || source == m_files.View()->viewport());
        m_plan = ours || !drag->mimeData()->hasUrls() ? std::nullopt : Plan(drag->mimeData()->urls());
        if (!m_plan) {
            drag->ignore();
            return true;
        }
        // Dropping never moves a file.
        if (drag->proposedAction() == Qt::CopyAction || drag->proposedAction() == Qt::LinkAction)
            drag->acceptProposedAction();
        else if (drag->possibleActions() & Qt::CopyAction) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else if (drag->possibleActions() & Qt::LinkAction) {
            drag->setDropAction(Qt::LinkAction);
            drag->accept();
        } else {
            m_plan.reset();
            drag->ignore();
        }
        return true;
    }
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (m_plan)
            drag->accept();
        else
            drag->ignore();
        return true;
    }
    case QEvent::DragLeave:
        m_plan.reset();
        return true;
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<TPlan> plan = std::exchange(m_plan, std::nullopt);
        if (!plan) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(drop->dropAction() == Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction);
        drop->accept();
        Drop(*plan);
        return true;
    }
    default:
        return false;
    }
}

void TFileDrops::Drop(const TPlan& plan)
{
    if (plan.Files.isEmpty()) {
        m_tree.SelectPath(plan.Folder);
        return;
    }
    // Listed already: only the selection changes (the panel stores first, as on any change of it).
    if (!m_files.ScanRunning() && SelectListed(plan.Files))
        return;
    m_selectAfterScan(plan.Files);
    if (m_tree.Directory() == plan.Folder)
        m_files.Rescan(); // files new in the folder shown
    else
        m_tree.SelectPath(plan.Folder);
}

bool TFileDrops::SelectListed(const QStringList& files)
{
    const TListModel& model = m_files.Model();
    // Names first: a million rows are looked through without making their paths.
    std::unordered_set<std::string> names;
    std::unordered_set<std::string> paths;
    for (const QString& file : files) {
        paths.insert(OnDisk(file));
        names.insert(OnDisk(QFileInfo(file).fileName()));
    }
    QItemSelection selection;
    int first = -1;
    std::size_t found = 0;
    for (int row = 0; row < model.Count(); ++row) {
        const TEintragDaten& entry = *model.Entry(row);
        if (!names.contains(entry.FileName) || !paths.contains(entry.FullPath()))
            continue;
        selection.select(model.index(row, 0), model.index(row, model.columnCount() - 1));
        if (first < 0)
            first = row;
        ++found;
    }
    if (found < paths.size())
        return false;
    QItemSelectionModel* selected = m_files.View()->selectionModel();
    selected->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    selected->setCurrentIndex(model.index(first, 0), QItemSelectionModel::NoUpdate);
    m_files.View()->scrollTo(model.index(first, 0));
    return true;
}

} // namespace km

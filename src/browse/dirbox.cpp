#include "browse/dirbox.h"

#include "platform/soon.h"
#include "tags/fileio.h"

#include <QFile>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {

// Whether a folder has a subfolder; Unknown when the look was cut short.
enum class TMarker : unsigned char { No, Yes, Unknown };

// One subfolder as a listing finds it.
struct TSubfolder {
    QString caption;
    QByteArray name;
    bool link = false;
    TMarker marker = TMarker::No;
};

// A listing on its way from a worker: the node waits a moment for it, then
// takes it when it comes.
struct TDirBox::TListing {
    std::mutex Mutex;
    std::condition_variable Done;
    bool Ready = false;
    std::vector<TSubfolder> Subfolders;
};

namespace {

constexpr int PathRole = Qt::UserRole;       // QByteArray, ending in "/"
constexpr int LoadedRole = Qt::UserRole + 1; // children listed
constexpr int LinkRole = Qt::UserRole + 2;   // a symbolic link to a folder
constexpr int ProbeRole = Qt::UserRole + 3;  // serial of the answer the node waits for
constexpr int ListingRole = Qt::UserRole + 4; // serial of the listing the node waits for
constexpr int PlaceholderRole = Qt::UserRole + 5; // the "wird gelesen..." child

// Two reads of 32 KiB answer every folder of up to about a thousand entries
// with names as long as song titles; most folders with subfolders show one
// in the first.
constexpr int QuickReads = 2;

// Case-insensitive, ties broken by code point, so "B" and "b" keep a fixed
// order and dot folders come first. Names that decode to the same caption are
// ordered by their bytes: rereading merges two lists sorted by this order.
int CompareEntries(const QString& captionA, QByteArrayView nameA, const QString& captionB, QByteArrayView nameB)
{
    int c = QString::compare(captionA, captionB, Qt::CaseInsensitive);
    if (c == 0)
        c = QString::compare(captionA, captionB, Qt::CaseSensitive);
    if (c == 0)
        c = nameA.compare(nameB);
    return c;
}

QByteArray PathOf(const QTreeWidgetItem* node)
{
    return node->data(0, PathRole).toByteArray();
}

bool IsLoaded(const QTreeWidgetItem* node)
{
    return node->data(0, LoadedRole).toBool();
}

// The child of `node` on the way up from `item`, or null when `item` is not below `node`.
QTreeWidgetItem* BranchBelow(const QTreeWidgetItem* node, QTreeWidgetItem* item)
{
    while (item && item->parent() != node)
        item = item->parent();
    return item;
}

bool IsDotOrDotDot(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// Whether the entry `name` of the open folder `dfd` is a folder or a link to
// one. The entry's type answers most entries without a stat.
bool IsFolderEntry(int dfd, const char* name, unsigned char type, bool& link)
{
    link = false;
    struct stat st {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(dfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (S_ISDIR(st.st_mode))
            return true;
        if (!S_ISLNK(st.st_mode))
            return false;
        type = DT_LNK;
    }
    if (type == DT_DIR)
        return true;
    if (type != DT_LNK)
        return false;
    link = true;
    // A dangling link or a link loop (ELOOP) is simply no folder.
    return ::fstatat(dfd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Opens a folder, relative to `dfd` (or AT_FDCWD with a full path); -errno on failure.
int OpenFolderFd(TFileLayer& layer, int dfd, const char* path)
{
    return dfd == AT_FDCWD ? layer.Open(path, O_RDONLY | O_DIRECTORY) : layer.OpenAt(dfd, path, O_RDONLY | O_DIRECTORY);
}

// Opens a folder for reading.
DIR* OpenFolder(TFileLayer& layer, int dfd, const char* path)
{
    const int fd = OpenFolderFd(layer, dfd, path);
    if (fd < 0)
        return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return dir;
}

// Reads the folder `path` (relative to `dfd`) up to its first subfolder, in at
// most `reads` directory reads (0: no limit), and gives up once `stop` or
// `cancel` is set. getdents64 rather than readdir: only it tells where one
// read ends.
TMarker ProbeSubfolders(TFileLayer& layer, int dfd, const char* path, int reads, const std::atomic<bool>* stop = nullptr,
    const std::atomic<bool>* cancel = nullptr)
{
    const auto stopped = [&] {
        return (stop && stop->load(std::memory_order_relaxed)) || (cancel && cancel->load(std::memory_order_relaxed));
    };
    const int fd = OpenFolderFd(layer, dfd, path);
    if (fd < 0)
        return TMarker::No;
    alignas(dirent64) char buffer[32768];
    TMarker marker = TMarker::Unknown;
    for (int n = 0; marker == TMarker::Unknown && (reads == 0 || n < reads); ++n) {
        if (stopped())
            break;
        ssize_t got;
        do
            got = ::getdents64(fd, buffer, sizeof buffer);
        while (got < 0 && errno == EINTR);
        if (got <= 0) {
            marker = TMarker::No; // the end, or a folder that cannot be read
            break;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* e = reinterpret_cast<const dirent64*>(buffer + at);
            at += e->d_reclen;
            bool link = false;
            if (!IsDotOrDotDot(e->d_name) && IsFolderEntry(fd, e->d_name, e->d_type, link)) {
                marker = TMarker::Yes;
                break;
            }
            // Entries of unknown type cost a stat each: a stop need not wait for the whole read.
            if (e->d_type == DT_UNKNOWN && stopped())
                break;
        }
    }
    ::close(fd);
    return marker;
}

// The markers of the subfolders of `path`, each from a quick look, on a
// thread of their own: a subfolder that does not answer (a share mounted
// there that hangs) must not hold up the listing. After a second, or the
// quick wait when that is longer, the rest are not known yet and asked later.
void ProbeMarkers(const QByteArray& path, std::vector<TSubfolder>& subs)
{
    struct TProbes {
        std::mutex Mutex;
        std::condition_variable Done;
        std::vector<TMarker> Markers;
        bool Finished = false;
    };
    auto probes = std::make_shared<TProbes>();
    probes->Markers.assign(subs.size(), TMarker::Unknown);
    std::vector<QByteArray> paths;
    paths.reserve(subs.size());
    for (const TSubfolder& sub : subs)
        paths.push_back(path + sub.name);
    // The real layer only: the thread may outlive whoever asked.
    const auto look = [probes, paths] {
        for (std::size_t k = 0; k < paths.size(); ++k) {
            const TMarker marker = ProbeSubfolders(TFileLayer::Posix(), AT_FDCWD, paths[k].constData(), QuickReads);
            const std::lock_guard lock(probes->Mutex);
            probes->Markers[k] = marker;
        }
        {
            const std::lock_guard lock(probes->Mutex);
            probes->Finished = true;
        }
        probes->Done.notify_one();
    };
    try {
        std::thread(look).detach();
    } catch (const std::system_error&) {
        look();
    }
    const auto bound = std::chrono::milliseconds(std::max<long long>(1000, QuickWait().count()));
    std::unique_lock lock(probes->Mutex);
    probes->Done.wait_for(lock, bound, [&] { return probes->Finished; });
    for (std::size_t k = 0; k < subs.size(); ++k)
        subs[k].marker = probes->Markers[k];
}

// The subfolders of `path`, sorted by caption. An unreadable folder has none.
std::vector<TSubfolder> ListSubfolders(TFileLayer& layer, const QByteArray& path)
{
    std::vector<TSubfolder> out;
    DIR* dir = OpenFolder(layer, AT_FDCWD, path.constData());
    if (!dir)
        return out;
    const int dfd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        bool link = false;
        if (IsDotOrDotDot(e->d_name) || !IsFolderEntry(dfd, e->d_name, e->d_type, link))
            continue;
        TSubfolder sub;
        sub.name = QByteArray(e->d_name);
        sub.caption = QFile::decodeName(sub.name);
        sub.link = link;
        out.push_back(std::move(sub));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(), [](const TSubfolder& a, const TSubfolder& b) {
        return CompareEntries(a.caption, a.name, b.caption, b.name) < 0;
    });
    ProbeMarkers(path, out);
    return out;
}

// Runs `look` on a thread of its own and waits the quick wait for it: a
// folder on a share that does not answer must not hold up the window. The
// answer is `unanswered` then, and the thread ends whenever the call returns.
template <typename Look>
bool AnsweredSoon(Look look, bool unanswered)
{
    return TSoon<bool>(std::move(look)).Wait(QuickWait()).value_or(unanswered);
}

bool IsFolderNow(const QByteArray& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Whether `path` is a folder; one that does not answer at once counts as there.
bool IsFolder(const QByteArray& path)
{
    return AnsweredSoon([path] { return IsFolderNow(path); }, true);
}

// Whether a folder listed below `node` is still there; a few stats instead of
// reading a large folder to its end.
bool ListedFolderLeft(const QTreeWidgetItem* node)
{
    std::vector<QByteArray> paths;
    for (int i = 0; i < node->childCount(); ++i)
        if (!node->child(i)->data(0, PlaceholderRole).toBool())
            paths.push_back(PathOf(node->child(i)));
    return AnsweredSoon(
        [paths = std::move(paths)] {
            return std::any_of(paths.begin(), paths.end(), [](const QByteArray& path) { return IsFolderNow(path); });
        },
        true);
}

QIcon ThemeIcon(const char* name, const QIcon& fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

} // namespace

bool TDirBox::IsFolderSoon(const QString& path) { return IsFolder(QFile::encodeName(path)); }

TDirBox::TDirBox(QWidget* parent)
    : QTreeWidget(parent)
    , m_layer(&TFileLayer::Posix())
{
    setColumnCount(1);
    setHeaderHidden(true);
    // Screen readers still read the hidden header: it says what its caption says.
    setHeaderLabel(QStringLiteral("Ordner"));
    setAccessibleName(QStringLiteral("Ordner"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setUniformRowHeights(true);
    setAnimated(false);

    QStyle* s = style();
    m_rootIcon = ThemeIcon("drive-harddisk", s->standardIcon(QStyle::SP_DriveHDIcon));
    m_folderIcon = ThemeIcon("folder", s->standardIcon(QStyle::SP_DirIcon));
    m_openIcon = ThemeIcon("folder-open", s->standardIcon(QStyle::SP_DirOpenIcon));
    m_linkIcon = ThemeIcon("folder-link", s->standardIcon(QStyle::SP_DirLinkIcon));

    connect(this, &QTreeWidget::itemSelectionChanged, this, &TDirBox::OnSelectionChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &TDirBox::OnExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &TDirBox::OnCollapsed);

    m_probes.setMaxThreadCount(1);
    // A folder that hangs holds a thread; the others still answer.
    m_lists.setMaxThreadCount(8);

    const bool notify = m_notify;
    m_notify = false;
    Rebuild();
    m_notify = notify;
}

TDirBox::~TDirBox()
{
    // Answers still queued for this box are dropped with it.
    m_closing = true;
    m_probes.clear();
    m_probes.waitForDone();
    m_lists.clear();
    m_lists.waitForDone();
}

QString TDirBox::Directory() const
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return QStringLiteral("/");
    return QFile::decodeName(node->data(0, PathRole).toByteArray());
}

bool TDirBox::SelectPath(const QString& path) { return GoTo(path, true); }

bool TDirBox::GoTo(const QString& path, bool rebuildWhenMissing)
{
    m_selectLater.clear();
    QStringList parts = path.split(QLatin1Char('/'));
    parts.removeLast(); // the text after the last "/"
    QTreeWidgetItem* node = topLevelItem(0);
    // Only absolute paths: the first part is the empty text before the root's "/".
    bool found = node && !parts.isEmpty() && parts.first().isEmpty();
    // Nodes read again on the way may take the selection with them; report
    // only where it ends up.
    const bool held = std::exchange(m_hold, true);
    for (qsizetype i = 1; found && i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty())
            continue; // "//" names the same folder as "/"
        // Opening a closed node lists it, or reads it again.
        const bool fresh = !node->isExpanded();
        if (fresh)
            node->setExpanded(true);
        EnsureLoaded(node);
        if (node->data(0, ListingRole).isValid()) {
            // Still being read: the selection goes on when the folder answers.
            m_hold = held;
            m_selectLater = path;
            return true;
        }
        QTreeWidgetItem* child = FindChild(node, part);
        if (!child && !fresh) {
            // The folder may have been made after this open node was listed.
            Reread(node);
            child = FindChild(node, part);
        }
        if (!child) {
            found = false;
            break;
        }
        node = child;
    }
    m_hold = held;
    // A node left over from an earlier listing whose folder has gone counts as not found.
    if (!found || !IsFolder(PathOf(node))) {
        if (rebuildWhenMissing)
            Rebuild();
        return false;
    }
    scrollToItem(node);
    setCurrentItem(node);
    OnSelectionChanged(); // reports a move made while held, if setCurrentItem changed nothing
    return true;
}

void TDirBox::Rebuild()
{
    m_shown.clear();
    m_probes.clear();
    for (const TProbe& probe : std::as_const(m_pending))
        probe.Cancel->store(true);
    m_pending.clear();
    m_listings.clear(); // answers still on their way find no node
    m_selectLater.clear();
    clear();
    const QByteArray rootPath("/");
    // The root is listed at once: its own marker needs no answer.
    QTreeWidgetItem* root = MakeNode(rootPath, QStringLiteral("/"), false, ProbeSubfolders(*m_layer, AT_FDCWD, "/", QuickReads));
    root->setIcon(0, m_rootIcon);
    addTopLevelItem(root);
    // A single top node: show its folders at once rather than make the user open it.
    // Expanding lists it; loading first would make the expansion read it again.
    root->setExpanded(true);
    EnsureLoaded(root);
    setCurrentItem(root);
}

void TDirBox::RereadFolder(const QString& path)
{
    QStringList parts = path.split(QLatin1Char('/'));
    parts.removeLast(); // the text after the last "/"
    QTreeWidgetItem* node = topLevelItem(0);
    if (!node || parts.isEmpty() || !parts.first().isEmpty())
        return;
    // Only what is listed already: the deepest node on the way stands in for a
    // folder not (yet) in the tree.
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (parts[i].isEmpty())
            continue;
        QTreeWidgetItem* child = FindChild(node, parts[i]);
        if (!child)
            break;
        node = child;
    }
    while (node->parent() && !IsFolder(PathOf(node)))
        node = node->parent();
    // The node's folder may be on a share that does not answer: asked beside the window.
    if (IsLoaded(node))
        RereadHeld(node);
    else
        StartProbe(node);
}

QItemSelectionModel::SelectionFlags TDirBox::selectionCommand(const QModelIndex& index, const QEvent* event) const
{
    // Ctrl+click would leave no folder selected; keep the one we have.
    const auto flags = QTreeWidget::selectionCommand(index, event);
    if ((flags & QItemSelectionModel::Deselect) && !(flags & QItemSelectionModel::Select))
        return QItemSelectionModel::NoUpdate;
    return flags;
}

QTreeWidgetItem* TDirBox::SelectedNode() const
{
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? currentItem() : selected.first();
}

// A node whose marker is Unknown needs StartProbe once it is in the tree.
QTreeWidgetItem* TDirBox::MakeNode(const QByteArray& path, const QString& caption, bool link, TMarker marker) const
{
    auto* node = new QTreeWidgetItem;
    node->setText(0, caption);
    node->setIcon(0, link ? m_linkIcon : m_folderIcon);
    node->setData(0, PathRole, path);
    node->setData(0, LinkRole, link);
    // Until the answer comes, no marker: a folder whose first thousands of
    // entries hold no subfolder nearly always has none, so a marker rarely
    // appears later and never shows only to vanish again.
    node->setChildIndicatorPolicy(
        marker == TMarker::Yes ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
    return node;
}

// For a node in the tree whose children are not listed. Unknown keeps the
// marker it shows until the answer comes: mostly that is still right.
void TDirBox::SetMarker(QTreeWidgetItem* node, TMarker marker)
{
    if (marker == TMarker::Unknown) {
        StartProbe(node);
        return;
    }
    node->setChildIndicatorPolicy(
        marker == TMarker::Yes ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
    DropProbe(node); // an answer still on its way is older
}

void TDirBox::DropProbe(QTreeWidgetItem* node)
{
    const QVariant serial = node->data(0, ProbeRole);
    if (!serial.isValid())
        return;
    node->setData(0, ProbeRole, QVariant());
    // Stops the read if it runs, or makes it end at once when its turn comes.
    const auto it = m_pending.find(serial.toULongLong());
    if (it == m_pending.end())
        return;
    it->Cancel->store(true);
    m_pending.erase(it);
}

void TDirBox::StartProbe(QTreeWidgetItem* node)
{
    DropProbe(node);
    const quint64 serial = ++m_probeSerial;
    node->setData(0, ProbeRole, serial);
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_pending.insert(serial, TProbe {QPersistentModelIndex(indexFromItem(node)), cancel});
    m_probes.start([this, serial, cancel, path = PathOf(node), layer = m_layer] {
        const TMarker marker = ProbeSubfolders(*layer, AT_FDCWD, path.constData(), 0, &m_closing, cancel.get());
        if (marker == TMarker::Unknown)
            return; // the box is closing, or the answer is no longer wanted
        QMetaObject::invokeMethod(
            this, [this, serial, marker] { ApplyProbe(serial, marker == TMarker::Yes); }, Qt::QueuedConnection);
    });
}

void TDirBox::ApplyProbe(quint64 serial, bool hasSubfolders)
{
    const QPersistentModelIndex index = m_pending.take(serial).Index;
    // The node may have gone, been listed meanwhile (its children decide now),
    // or been checked again since.
    QTreeWidgetItem* node = index.isValid() ? itemFromIndex(index) : nullptr;
    if (!node || IsLoaded(node) || node->data(0, ProbeRole).toULongLong() != serial)
        return;
    node->setData(0, ProbeRole, QVariant());
    node->setChildIndicatorPolicy(hasSubfolders ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
}

void TDirBox::SetNodeIcon(QTreeWidgetItem* node) const
{
    if (!node->parent())
        node->setIcon(0, m_rootIcon);
    else if (node->data(0, LinkRole).toBool())
        node->setIcon(0, m_linkIcon);
    else
        node->setIcon(0, node->isExpanded() ? m_openIcon : m_folderIcon);
}

void TDirBox::EnsureLoaded(QTreeWidgetItem* node)
{
    if (node->data(0, LoadedRole).toBool())
        return;
    node->setData(0, LoadedRole, true);
    DropProbe(node); // its children decide now
    std::vector<TSubfolder> subs;
    if (List(node, true, subs))
        FillNode(node, subs);
}

bool TDirBox::List(QTreeWidgetItem* node, bool first, std::vector<TSubfolder>& subs)
{
    const quint64 serial = ++m_listSerial;
    auto listing = std::make_shared<TListing>();
    m_lists.start([this, serial, listing, path = PathOf(node), layer = m_layer] {
        std::vector<TSubfolder> found = ListSubfolders(*layer, path);
        {
            const std::lock_guard lock(listing->Mutex);
            listing->Subfolders = std::move(found);
            listing->Ready = true;
        }
        listing->Done.notify_one();
        QMetaObject::invokeMethod(this, [this, serial] { ApplyListing(serial); }, Qt::QueuedConnection);
    });
    {
        // Most folders answer at once: then the node is filled as if read here.
        std::unique_lock lock(listing->Mutex);
        if (listing->Done.wait_for(lock, QuickWait(), [&] { return listing->Ready; })) {
            subs = std::move(listing->Subfolders);
            return true;
        }
    }
    node->setData(0, ListingRole, serial);
    m_listings.insert(serial, TPendingListing {QPersistentModelIndex(indexFromItem(node)), listing, first});
    if (first) {
        auto* placeholder = new QTreeWidgetItem;
        placeholder->setText(0, QStringLiteral("wird gelesen..."));
        placeholder->setData(0, PlaceholderRole, true);
        placeholder->setFlags(Qt::ItemIsEnabled);
        node->addChild(placeholder);
    }
    return false;
}

void TDirBox::ApplyListing(quint64 serial)
{
    // An answer taken at once, or for a node that went, finds nothing here.
    const auto it = m_listings.find(serial);
    if (it == m_listings.end())
        return;
    const TPendingListing pending = *it;
    m_listings.erase(it);
    QTreeWidgetItem* node = pending.Index.isValid() ? itemFromIndex(pending.Index) : nullptr;
    if (!node || node->data(0, ListingRole).toULongLong() != serial)
        return;
    node->setData(0, ListingRole, QVariant());
    std::vector<TSubfolder> subs;
    {
        const std::lock_guard lock(pending.Listing->Mutex);
        subs = std::move(pending.Listing->Subfolders);
    }
    if (pending.First) {
        for (int i = node->childCount() - 1; i >= 0; --i)
            if (node->child(i)->data(0, PlaceholderRole).toBool())
                delete node->takeChild(i);
        FillNode(node, subs);
    } else {
        const bool held = std::exchange(m_hold, true);
        RereadWith(node, subs);
        m_hold = held;
        if (!held)
            OnSelectionChanged();
    }
    if (!m_selectLater.isEmpty())
        GoTo(std::exchange(m_selectLater, QString()), false);
}

void TDirBox::FillNode(QTreeWidgetItem* node, const std::vector<TSubfolder>& subs)
{
    const QByteArray path = node->data(0, PathRole).toByteArray();
    QList<QTreeWidgetItem*> children;
    children.reserve(qsizetype(subs.size()));
    for (const TSubfolder& sub : subs)
        children.append(MakeNode(path + sub.name + '/', sub.caption, sub.link, sub.marker));
    // Added at once: one by one is far slower for large folders.
    node->addChildren(children);
    for (std::size_t i = 0; i < subs.size(); ++i) {
        if (subs[i].marker == TMarker::Unknown)
            StartProbe(children[qsizetype(i)]);
    }
    // From now on the children themselves decide; a folder emptied since the
    // check loses its indicator.
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TDirBox::Reread(QTreeWidgetItem* node)
{
    if (node->data(0, ListingRole).isValid())
        return; // a listing is on its way already
    std::vector<TSubfolder> subs;
    if (List(node, false, subs))
        RereadWith(node, subs);
}

void TDirBox::RereadWith(QTreeWidgetItem* node, const std::vector<TSubfolder>& subs)
{
    const QByteArray path = PathOf(node);
    QTreeWidgetItem* const selectedBranch = BranchBelow(node, SelectedNode());
    QTreeWidgetItem* const currentBranch = BranchBelow(node, currentItem());

    // Both lists are in the same order: one merge pass pairs the nodes with
    // the folders still there, even for thousands of subfolders.
    std::vector<QTreeWidgetItem*> kept(subs.size(), nullptr);
    std::vector<int> gone;
    bool selectionGoes = false;
    bool currentGoes = false;
    const int count = node->childCount();
    int i = 0;
    std::size_t j = 0;
    while (i < count || j < subs.size()) {
        QTreeWidgetItem* child = i < count ? node->child(i) : nullptr;
        int c = 1; // only new folders left
        if (child && j == subs.size()) {
            c = -1;
        } else if (child) {
            const QByteArray childPath = PathOf(child);
            const QByteArrayView name = QByteArrayView(childPath).sliced(path.size(), childPath.size() - path.size() - 1);
            c = CompareEntries(child->text(0), name, subs[j].caption, subs[j].name);
        }
        if (c < 0) {
            selectionGoes |= child == selectedBranch;
            currentGoes |= child == currentBranch;
            gone.push_back(i++);
        } else if (c > 0) {
            ++j;
        } else {
            kept[j++] = child;
            ++i;
        }
    }

    if (selectionGoes || currentGoes)
        MoveSelectionOutOf(node, selectionGoes);
    for (auto it = gone.rbegin(); it != gone.rend(); ++it)
        delete node->takeChild(*it);

    // Open nodes are read again below. A closed one waits for its next opening,
    // unless the selection lies in it or its folder has no subfolders left.
    std::vector<QTreeWidgetItem*> again;
    // New nodes whose marker is still open: asked about once they are in the tree.
    std::vector<QTreeWidgetItem*> unknown;

    // New folders go in as runs: one insertion per run, not per folder.
    QList<QTreeWidgetItem*> run;
    int at = 0;
    for (j = 0; j <= subs.size(); ++j) {
        if (j < subs.size() && !kept[j]) {
            const TSubfolder& sub = subs[j];
            run.append(MakeNode(path + sub.name + '/', sub.caption, sub.link, sub.marker));
            if (sub.marker == TMarker::Unknown)
                unknown.push_back(run.last());
            continue;
        }
        if (!run.isEmpty()) {
            node->insertChildren(at, run);
            at += int(run.size());
            run.clear();
        }
        if (j == subs.size())
            break;
        QTreeWidgetItem* child = kept[j];
        if (child->data(0, LinkRole).toBool() != subs[j].link) {
            child->setData(0, LinkRole, subs[j].link);
            SetNodeIcon(child);
        }
        // A listed child gets its indicator from its own children below.
        if (!IsLoaded(child)) {
            SetMarker(child, subs[j].marker);
        } else {
            const bool emptied = subs[j].marker == TMarker::No
                || (subs[j].marker == TMarker::Unknown && child->childCount() > 0 && !ListedFolderLeft(child));
            // Listed without children, it shows no marker: new subfolders must show.
            const bool filled = child->childCount() == 0 && subs[j].marker == TMarker::Yes;
            if (child->isExpanded() || emptied || filled || child == selectedBranch || child == currentBranch)
                again.push_back(child);
        }
        ++at;
    }
    for (QTreeWidgetItem* child : unknown)
        StartProbe(child);

    // Only nodes listed before: reading never opens anything new.
    for (QTreeWidgetItem* child : again)
        Reread(child);
}

void TDirBox::RereadHeld(QTreeWidgetItem* node)
{
    const bool held = std::exchange(m_hold, true);
    Reread(node);
    m_hold = held;
    if (!held)
        OnSelectionChanged();
}

void TDirBox::MoveSelectionOutOf(QTreeWidgetItem* node, bool selectionGoes)
{
    if (selectionGoes) {
        // The node was just read, but a node that could not be read may have
        // gone itself: take the nearest folder that is still there.
        QTreeWidgetItem* target = node;
        while (target->parent() && !IsFolder(PathOf(target)))
            target = target->parent();
        setCurrentItem(target);
    } else {
        // Removing the current item would make the view select a neighbour.
        selectionModel()->setCurrentIndex(indexFromItem(SelectedNode()), QItemSelectionModel::NoUpdate);
    }
}

QTreeWidgetItem* TDirBox::FindChild(const QTreeWidgetItem* node, const QString& caption)
{
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == caption && !node->child(i)->data(0, PlaceholderRole).toBool())
            return node->child(i);
    }
    return nullptr;
}

void TDirBox::OnSelectionChanged()
{
    if (m_hold)
        return;
    // The user went elsewhere: a selection waiting for a folder's answer is dropped.
    m_selectLater.clear();
    // Only a selected node counts: clearing the tree passes through "none".
    const QList<QTreeWidgetItem*> selected = selectedItems();
    if (selected.isEmpty())
        return;
    // By path: a reread may replace nodes, but the same folder is no change.
    const QByteArray path = PathOf(selected.first());
    if (path == m_shown)
        return;
    m_shown = path;
    if (m_notify)
        emit DirChange(QFile::decodeName(path));
}

void TDirBox::OnExpanded(QTreeWidgetItem* node)
{
    if (!IsLoaded(node)) {
        EnsureLoaded(node);
        SetNodeIcon(node);
        return;
    }
    const QByteArray path = PathOf(node);
    {
        // Nothing may be told from inside the expanding: a scan that a
        // DirChange starts serves events and could delete this very node.
        const bool held = std::exchange(m_hold, true);
        Reread(node);
        m_hold = held;
    }
    SetNodeIcon(node);
    QTimer::singleShot(0, this, [this, path] {
        // A folder deleted since it was listed leaves its parent; removing the
        // node that is expanding is not safe inside the signal.
        if (path.count('/') > 1 && !IsFolder(path))
            RereadFolder(QFile::decodeName(path));
        OnSelectionChanged();
    });
}

void TDirBox::OnCollapsed(QTreeWidgetItem* node)
{
    SetNodeIcon(node);
}

} // namespace km

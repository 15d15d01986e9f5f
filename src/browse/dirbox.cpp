#include "browse/dirbox.h"

#include <QFile>
#include <QStyle>

#include <algorithm>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

constexpr int PathRole = Qt::UserRole;       // QByteArray, ending in "/"
constexpr int LoadedRole = Qt::UserRole + 1; // children listed
constexpr int LinkRole = Qt::UserRole + 2;   // a symbolic link to a folder

struct TSubfolder {
    QString caption;
    QByteArray name;
    bool link = false;
    bool hasSubfolders = false;
};

// Case-insensitive, ties broken by code point, so "B" and "b" keep a fixed
// order and dot folders come first.
bool CaptionLess(const QString& a, const QString& b)
{
    const int c = QString::compare(a, b, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

bool IsDotOrDotDot(const char* n)
{
    return n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'));
}

// Whether the entry `e` of the open folder `dfd` is a folder or a link to one.
// d_type answers most entries without a stat.
bool IsFolderEntry(int dfd, const dirent* e, bool& link)
{
    link = false;
    unsigned char type = e->d_type;
    struct stat st {};
    if (type == DT_UNKNOWN) {
        if (::fstatat(dfd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
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
    return ::fstatat(dfd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// Opens a folder for reading, relative to `dfd` (or AT_FDCWD with a full path).
DIR* OpenFolder(int dfd, const char* path)
{
    const int fd = ::openat(dfd, path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return dir;
}

// Stops at the first subfolder: deciding the expand indicator must stay cheap.
bool HasSubfolder(DIR* dir)
{
    const int dfd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        bool link = false;
        if (!IsDotOrDotDot(e->d_name) && IsFolderEntry(dfd, e, link))
            return true;
    }
    return false;
}

bool HasSubfolder(int dfd, const char* path)
{
    DIR* dir = OpenFolder(dfd, path);
    if (!dir)
        return false;
    const bool found = HasSubfolder(dir);
    ::closedir(dir);
    return found;
}

// The subfolders of `path`, sorted by caption. An unreadable folder has none.
std::vector<TSubfolder> ListSubfolders(const QByteArray& path)
{
    std::vector<TSubfolder> out;
    DIR* dir = OpenFolder(AT_FDCWD, path.constData());
    if (!dir)
        return out;
    const int dfd = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        bool link = false;
        if (IsDotOrDotDot(e->d_name) || !IsFolderEntry(dfd, e, link))
            continue;
        TSubfolder sub;
        sub.name = QByteArray(e->d_name);
        sub.caption = QFile::decodeName(sub.name);
        sub.link = link;
        sub.hasSubfolders = HasSubfolder(dfd, e->d_name);
        out.push_back(std::move(sub));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(),
        [](const TSubfolder& a, const TSubfolder& b) { return CaptionLess(a.caption, b.caption); });
    return out;
}

bool IsFolder(const QByteArray& path)
{
    struct stat st {};
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QIcon ThemeIcon(const char* name, const QIcon& fallback)
{
    return QIcon::fromTheme(QString::fromLatin1(name), fallback);
}

} // namespace

TDirBox::TDirBox(QWidget* parent)
    : QTreeWidget(parent)
{
    setColumnCount(1);
    setHeaderHidden(true);
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

    const bool notify = m_notify;
    m_notify = false;
    Rebuild();
    m_notify = notify;
}

QString TDirBox::Directory() const
{
    const QTreeWidgetItem* node = SelectedNode();
    if (!node)
        return QStringLiteral("/");
    return QFile::decodeName(node->data(0, PathRole).toByteArray());
}

bool TDirBox::SelectPath(const QString& path)
{
    QStringList parts = path.split(QLatin1Char('/'));
    parts.removeLast(); // the text after the last "/"
    QTreeWidgetItem* node = topLevelItem(0);
    // Only absolute paths: the first part is the empty text before the root's "/".
    bool found = node && !parts.isEmpty() && parts.first().isEmpty();
    for (qsizetype i = 1; found && i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part.isEmpty())
            continue; // "//" names the same folder as "/"
        EnsureLoaded(node);
        QTreeWidgetItem* child = FindChild(node, part);
        if (!child) {
            // The folder may have been made after this node was listed.
            AddNewChildren(node);
            child = FindChild(node, part);
        }
        if (!child) {
            found = false;
            break;
        }
        node->setExpanded(true);
        node = child;
    }
    // A node left over from an earlier listing whose folder has gone counts as not found.
    if (!found || !IsFolder(node->data(0, PathRole).toByteArray())) {
        Rebuild();
        return false;
    }
    scrollToItem(node);
    setCurrentItem(node);
    return true;
}

void TDirBox::Rebuild()
{
    m_shown = nullptr;
    clear();
    const QByteArray rootPath("/");
    QTreeWidgetItem* root = MakeNode(rootPath, QStringLiteral("/"), false, HasSubfolder(AT_FDCWD, "/"));
    root->setIcon(0, m_rootIcon);
    addTopLevelItem(root);
    // A single top node: show its folders at once rather than make the user open it.
    EnsureLoaded(root);
    root->setExpanded(true);
    setCurrentItem(root);
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

QTreeWidgetItem* TDirBox::MakeNode(const QByteArray& path, const QString& caption, bool link, bool hasSubfolders) const
{
    auto* node = new QTreeWidgetItem;
    node->setText(0, caption);
    node->setIcon(0, link ? m_linkIcon : m_folderIcon);
    node->setData(0, PathRole, path);
    node->setData(0, LinkRole, link);
    node->setChildIndicatorPolicy(
        hasSubfolders ? QTreeWidgetItem::ShowIndicator : QTreeWidgetItem::DontShowIndicator);
    return node;
}

void TDirBox::EnsureLoaded(QTreeWidgetItem* node)
{
    if (node->data(0, LoadedRole).toBool())
        return;
    node->setData(0, LoadedRole, true);
    const QByteArray path = node->data(0, PathRole).toByteArray();
    QList<QTreeWidgetItem*> children;
    for (const TSubfolder& sub : ListSubfolders(path)) {
        children.append(MakeNode(path + sub.name + '/', sub.caption, sub.link, sub.hasSubfolders));
    }
    // Added at once: one by one is far slower for large folders.
    node->addChildren(children);
    // From now on the children themselves decide; a folder emptied since the
    // check loses its indicator.
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TDirBox::AddNewChildren(QTreeWidgetItem* node)
{
    const QByteArray path = node->data(0, PathRole).toByteArray();
    for (const TSubfolder& sub : ListSubfolders(path)) {
        if (FindChild(node, sub.caption))
            continue;
        int at = 0;
        while (at < node->childCount() && CaptionLess(node->child(at)->text(0), sub.caption))
            ++at;
        node->insertChild(at, MakeNode(path + sub.name + '/', sub.caption, sub.link, sub.hasSubfolders));
    }
}

QTreeWidgetItem* TDirBox::FindChild(const QTreeWidgetItem* node, const QString& caption)
{
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == caption)
            return node->child(i);
    }
    return nullptr;
}

void TDirBox::OnSelectionChanged()
{
    // Only a selected node counts: clearing the tree passes through "none".
    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
    if (!node || node == m_shown)
        return;
    m_shown = node;
    if (m_notify)
        emit DirChange(Directory());
}

void TDirBox::OnExpanded(QTreeWidgetItem* node)
{
    EnsureLoaded(node);
    if (node->parent() && !node->data(0, LinkRole).toBool())
        node->setIcon(0, m_openIcon);
}

void TDirBox::OnCollapsed(QTreeWidgetItem* node)
{
    if (node->parent() && !node->data(0, LinkRole).toBool())
        node->setIcon(0, m_folderIcon);
}

} // namespace km

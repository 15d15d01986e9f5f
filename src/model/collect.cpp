#include "model/collect.h"

#include "tags/fileio.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace km {

bool IsMp3Name(std::string_view name)
{
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view ext = name.substr(dot);
    if (ext.size() != 4)
        return false;
    static constexpr char kMp3[] = ".mp3";
    for (std::size_t i = 0; i < 4; ++i) {
        char c = ext[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != kMp3[i])
            return false;
    }
    return true;
}

void TUnreadableFolders::Add(const std::string& folder, int)
{
    if (m_count++ == 0)
        m_first = folder;
}

std::string TUnreadableFolders::Reason(int err)
{
    switch (-err) {
    case EACCES:
    case EPERM: return "Zugriff verweigert";
    case EMFILE:
    case ENFILE: return "zu viele offene Dateien";
    case ENAMETOOLONG: return "Pfad zu lang";
    case ESTALE: return "während der Suche verschoben oder ersetzt";
    case EIO: return "Lesefehler";
    case ENOMEM: return "nicht genügend Speicher";
    default: return "Fehler " + std::to_string(-err);
    }
}

std::string TUnreadableFolders::Message(int count, const std::string& first)
{
    if (count == 1)
        return "Der Ordner \"" + first + "\" konnte nicht gelesen werden.\rDie MP3-Dateien darin fehlen in der Liste.";
    return std::to_string(count) + " Ordner konnten nicht gelesen werden, darunter \"" + first
        + "\".\rDie MP3-Dateien darin fehlen in der Liste.";
}

namespace {

enum class TItemKind { File, Folder, Link, Other };

TItemKind KindOf(int dirFd, const char* name, unsigned char type)
{
    switch (type) {
    case DT_REG: return TItemKind::File;
    case DT_DIR: return TItemKind::Folder;
    case DT_LNK: return TItemKind::Link;
    case DT_UNKNOWN: break;
    default: return TItemKind::Other;
    }
    struct stat st {};
    if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return TItemKind::Other;
    if (S_ISREG(st.st_mode))
        return TItemKind::File;
    if (S_ISDIR(st.st_mode))
        return TItemKind::Folder;
    return S_ISLNK(st.st_mode) ? TItemKind::Link : TItemKind::Other;
}

bool Aborted(const TCollectProgress& progress) { return progress.AbortRequested && progress.AbortRequested(); }

struct TItem {
    std::string Name;
    unsigned char Type;
};

// One folder of the walk. Its items are read whole when it is entered, so the
// handle is needed only to reach the items and may be closed meanwhile.
struct TFolder {
    std::string Path; // ending in "/"
    TFolderPath Shared; // the same, given to the folder's entries
    std::string Name; // in its parent folder
    DIR* Dir = nullptr;
    dev_t Device = 0;
    ino_t Node = 0;
    std::vector<TItem> Items;
    std::size_t Next = 0;
    int Seen = 0;
    bool Reported = false;
    int Searchable = -1; // whether its files can be opened: asked once, when needed
};

class TWalk {
public:
    TWalk(bool subfolders, TEntryList& entries, const TCollectProgress& progress, int& found, TFileLayer& layer)
        : m_subfolders(subfolders), m_entries(entries), m_progress(progress), m_found(found), m_layer(layer)
    {
    }
    ~TWalk()
    {
        for (TFolder& f : m_stack)
            Close(f);
    }

    bool Run(const std::string& folder)
    {
        TFolder root;
        root.Path = folder;
        const int fd = m_layer.Open(folder, O_RDONLY | O_DIRECTORY);
        if (fd < 0) {
            if (fd != -ENOENT) // a folder that is gone simply lists nothing
                Report(folder, fd);
            return !Aborted(m_progress);
        }
        if (!Enter(root, fd))
            return !Aborted(m_progress);
        m_stack.push_back(std::move(root));
        while (!m_stack.empty()) {
            if (!Step())
                break;
            if (Aborted(m_progress))
                return false;
        }
        return !Aborted(m_progress);
    }

private:
    void Report(const std::string& folder, int err)
    {
        if (m_progress.Unreadable)
            m_progress.Unreadable(folder, err);
    }

    void Close(TFolder& f)
    {
        if (f.Dir) {
            ::closedir(f.Dir);
            f.Dir = nullptr;
            --m_open;
        }
    }

    // Takes `fd` (a folder opened for reading), reads its items and keeps the
    // handle. False, with the folder reported, when it cannot be read at all.
    bool Enter(TFolder& f, int fd)
    {
        struct stat st {};
        DIR* dir = ::fstat(fd, &st) == 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            Report(f.Path, -errno);
            ::close(fd);
            return false;
        }
        f.Dir = dir;
        f.Device = st.st_dev;
        f.Node = st.st_ino;
        ++m_open;
        for (;;) {
            errno = 0;
            const dirent* item = ::readdir(dir);
            if (!item) {
                if (errno != 0)
                    Report(f.Path, -errno); // keeps what was read before
                break;
            }
            // "." and ".." stay: they count for the progress as in every walk.
            f.Items.push_back({std::string(item->d_name), item->d_type});
            // A folder of many thousand files must not hold up the window.
            if (f.Items.size() % 1024 == 0) {
                if (m_progress.ServeEvents)
                    m_progress.ServeEvents();
                if (Aborted(m_progress))
                    break;
            }
        }
        return true;
    }

    // Opens a folder below an open one; on running out of handles, gives back
    // those of the folders above and tries once more.
    int OpenBelow(int dirFd, const std::string& name)
    {
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW;
        int fd = m_layer.OpenAt(dirFd, name, flags);
        if ((fd == -EMFILE || fd == -ENFILE) && ReleaseAbove(m_stack.size() - 1))
            fd = m_layer.OpenAt(dirFd, name, flags);
        return fd;
    }

    // Closes the handles of the folders between the root and the `keep`th.
    bool ReleaseAbove(std::size_t keep)
    {
        bool released = false;
        for (std::size_t k = 1; k < keep; ++k) {
            if (m_stack[k].Dir) {
                Close(m_stack[k]);
                released = true;
            }
        }
        return released;
    }

    // The handle of the folder at `depth`, opened again when it was given back:
    // through ".." of the folder below it when that is still the same folder,
    // else step by step from the nearest open folder above.
    int Handle(std::size_t depth, TFolder* below)
    {
        TFolder& f = m_stack[depth];
        if (f.Dir)
            return ::dirfd(f.Dir);
        int fd = -1;
        if (below && below->Dir)
            fd = m_layer.OpenAt(::dirfd(below->Dir), "..", O_RDONLY | O_DIRECTORY);
        if (fd >= 0 && !Same(fd, f)) {
            ::close(fd);
            fd = -1;
        }
        if (fd < 0) {
            std::size_t from = depth;
            while (!m_stack[from].Dir)
                --from; // the root stays open
            fd = ::fcntl(::dirfd(m_stack[from].Dir), F_DUPFD_CLOEXEC, 0);
            if (fd < 0)
                fd = -errno;
            for (std::size_t k = from + 1; k <= depth && fd >= 0; ++k) {
                const int next = m_layer.OpenAt(fd, m_stack[k].Name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
                ::close(fd);
                fd = next;
            }
            if (fd >= 0 && !Same(fd, f)) {
                ::close(fd);
                fd = -ESTALE;
            }
        }
        if (fd >= 0) {
            f.Dir = ::fdopendir(fd);
            if (f.Dir) {
                ++m_open;
                return fd;
            }
            const int err = -errno;
            ::close(fd);
            fd = err;
        }
        // Moved or replaced while the walk was below it: the rest is not listed.
        Report(f.Path, fd);
        f.Next = f.Items.size();
        return -1;
    }

    // A folder that may be listed but not entered: its files are told, not read.
    static bool Searchable(TFolder& f, int dirFd)
    {
        if (f.Searchable < 0)
            f.Searchable = ::faccessat(dirFd, ".", X_OK, AT_EACCESS) == 0 || errno != EACCES;
        return f.Searchable != 0;
    }

    static bool Same(int fd, const TFolder& f)
    {
        struct stat st {};
        return ::fstat(fd, &st) == 0 && st.st_dev == f.Device && st.st_ino == f.Node;
    }

    // Handles the next item of the deepest folder, or leaves that folder.
    // False when the walk is over.
    bool Step()
    {
        const std::size_t depth = m_stack.size() - 1;
        TFolder& f = m_stack[depth];
        if (f.Next == f.Items.size()) {
            TFolder done = std::move(m_stack.back());
            m_stack.pop_back();
            if (!m_stack.empty())
                Handle(m_stack.size() - 1, &done);
            Close(done);
            return !m_stack.empty();
        }
        const int dirFd = Handle(depth, nullptr);
        if (dirFd < 0)
            return true;
        const TItem item = std::move(f.Items[f.Next++]);
        if (++f.Seen % 10 == 0 && m_progress.ServeEvents)
            m_progress.ServeEvents();
        if (item.Name == "." || item.Name == "..")
            return true;
        const TItemKind kind = KindOf(dirFd, item.Name.c_str(), item.Type);
        struct stat st {};
        // A link counts as what it points to, but only a link to a file is taken.
        const bool candidate = (kind == TItemKind::File || kind == TItemKind::Link) && IsMp3Name(item.Name);
        // A regular file is not looked at here: reading it fetches size and
        // attributes anyway. A link is followed to see what it points to.
        const bool regular = candidate && item.Type == DT_REG && Searchable(f, dirFd);
        const int statError = candidate && !regular && ::fstatat(dirFd, item.Name.c_str(), &st, 0) != 0 ? errno : 0;
        const bool file = regular || (candidate && statError == 0 && S_ISREG(st.st_mode));
        // A folder that may be listed but not entered hides its files: told once.
        if (statError != 0 && statError != ENOENT && statError != ELOOP && !f.Reported) {
            f.Reported = true;
            Report(f.Path, -statError);
        }
        if (file) {
            auto entry = std::make_unique<TEintragDaten>();
            entry->FileName = item.Name;
            if (f.Shared.empty())
                f.Shared = f.Path;
            entry->Folder = f.Shared;
            entry->FileSize = regular ? 0 : st.st_size;
            entry->Attributes = (item.Name[0] == '.' ? kAttrHidden : 0)
                | (regular || (st.st_mode & S_IWUSR) ? 0 : kAttrReadOnly);
            m_entries.push_back(std::move(entry));
            ++m_found;
            if (m_progress.FoundChanged)
                m_progress.FoundChanged(m_found);
            if (m_progress.ServeEvents)
                m_progress.ServeEvents();
        } else if (kind == TItemKind::Folder && m_subfolders) {
            TFolder child;
            child.Path = f.Path + item.Name + "/";
            child.Name = item.Name;
            if (m_open >= kCollectHandles)
                ReleaseAbove(depth); // the folders above wait longest
            const int fd = OpenBelow(dirFd, item.Name);
            if (fd >= 0) {
                if (Enter(child, fd))
                    m_stack.push_back(std::move(child));
            } else if (fd != -ENOENT) {
                Report(child.Path, fd);
            }
        }
        return true;
    }

    bool m_subfolders;
    TEntryList& m_entries;
    const TCollectProgress& m_progress;
    int& m_found;
    TFileLayer& m_layer;
    std::vector<TFolder> m_stack;
    int m_open = 0;
};

} // namespace

bool CollectFiles(const std::string& folder, bool subfolders, TEntryList& entries, const TCollectProgress& progress,
    int& found, TFileLayer& layer)
{
    return TWalk(subfolders, entries, progress, found, layer).Run(folder);
}

} // namespace km

#include "browse/collect.h"

#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>

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

namespace {

enum class TItemKind { File, Folder, Link, Other };

TItemKind KindOf(int dirFd, const dirent& item)
{
    switch (item.d_type) {
    case DT_REG: return TItemKind::File;
    case DT_DIR: return TItemKind::Folder;
    case DT_LNK: return TItemKind::Link;
    case DT_UNKNOWN: break;
    default: return TItemKind::Other;
    }
    struct stat st {};
    if (::fstatat(dirFd, item.d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return TItemKind::Other;
    if (S_ISREG(st.st_mode))
        return TItemKind::File;
    if (S_ISDIR(st.st_mode))
        return TItemKind::Folder;
    return S_ISLNK(st.st_mode) ? TItemKind::Link : TItemKind::Other;
}

bool Aborted(const TCollectProgress& progress) { return progress.AbortRequested && progress.AbortRequested(); }

} // namespace

bool CollectFiles(const std::string& folder, bool subfolders, TEntryList& entries, const TCollectProgress& progress,
    int& found)
{
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir)
        return !Aborted(progress);
    const int dirFd = ::dirfd(dir.get());
    int items = 0;
    while (const dirent* item = ::readdir(dir.get())) {
        if (++items % 10 == 0 && progress.ServeEvents)
            progress.ServeEvents();
        const std::string_view name = item->d_name;
        if (name != "." && name != "..") {
            const TItemKind kind = KindOf(dirFd, *item);
            struct stat st {};
            // A link counts as what it points to, but only a link to a file is taken.
            if ((kind == TItemKind::File || kind == TItemKind::Link) && IsMp3Name(name)
                && ::fstatat(dirFd, item->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) {
                auto entry = std::make_unique<TEintragDaten>();
                entry->FileName = std::string(name);
                entry->Folder = folder;
                entry->FileSize = st.st_size;
                entry->Attributes = (name[0] == '.' ? kAttrHidden : 0) | ((st.st_mode & S_IWUSR) ? 0 : kAttrReadOnly);
                entries.push_back(std::move(entry));
                ++found;
                if (progress.FoundChanged)
                    progress.FoundChanged(found);
                if (progress.ServeEvents)
                    progress.ServeEvents();
            } else if (kind == TItemKind::Folder && subfolders) {
                CollectFiles(folder + std::string(name) + "/", true, entries, progress, found);
            }
        }
        if (Aborted(progress))
            break;
    }
    return !Aborted(progress);
}

} // namespace km

#include "fileio.h"

#include <cerrno>
#include <cstdio>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <cstdlib>
#include <vector>

namespace km {

namespace {
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kUnixEpochSeconds = 11'644'473'600; // 1601-01-01 to 1970-01-01
} // namespace

TFileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds)
{
    // Times before 1601 or too far ahead to count in ticks are unknown.
    if (seconds < -kUnixEpochSeconds || seconds > INT64_MAX / kTicksPerSecond - kUnixEpochSeconds - 1)
        return 0;
    return static_cast<TFileTime>((seconds + kUnixEpochSeconds) * kTicksPerSecond + nanoseconds / 100);
}

bool FileTimeToUnix(TFileTime ft, std::int64_t& seconds, std::int64_t& nanoseconds)
{
    if (ft == 0 || ft > static_cast<TFileTime>(INT64_MAX))
        return false;
    const auto ticks = static_cast<std::int64_t>(ft);
    seconds = ticks / kTicksPerSecond - kUnixEpochSeconds;
    nanoseconds = (ticks % kTicksPerSecond) * 100;
    return true;
}

TFileError::TFileError(const std::string& path)
    : std::runtime_error("Datei " + path + " kann nicht geöffnet werden")
    , m_path(path)
{
}

namespace {
// A path as a folder handle and a name in it. Paths up to PATH_MAX go to the
// system whole; longer ones (deep folder trees) are walked a piece at a time.
class TPathAt {
public:
    explicit TPathAt(const std::string& path)
    {
        std::size_t start = 0;
        while (path.size() - start >= PATH_MAX) {
            const std::size_t cut = path.rfind('/', start + PATH_MAX - 2);
            if (cut == std::string::npos || cut < start) {
                m_error = -ENAMETOOLONG; // one name longer than any file system takes
                return;
            }
            const std::string piece = cut == 0 ? std::string("/") : path.substr(start, cut - start);
            if (!piece.empty()) {
                const int fd = ::openat(m_dir, piece.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0) {
                    m_error = -errno;
                    return;
                }
                if (m_dir >= 0)
                    ::close(m_dir);
                m_dir = fd;
            }
            start = cut + 1;
            while (start < path.size() && path[start] == '/')
                ++start; // "//" at a cut must not make the rest absolute
        }
        m_name = path.substr(start);
        if (m_name.empty() && start > 0)
            m_name = ".";
    }
    ~TPathAt()
    {
        if (m_dir >= 0)
            ::close(m_dir);
    }
    TPathAt(const TPathAt&) = delete;
    TPathAt& operator=(const TPathAt&) = delete;

    int Error() const { return m_error; }
    int Dir() const { return m_dir; }
    const char* Name() const { return m_name.c_str(); }

private:
    int m_dir = AT_FDCWD;
    int m_error = 0;
    std::string m_name;
};
} // namespace

int TFileLayer::OpenAt(int dirFd, const std::string& name, int flags)
{
    int fd;
    do
        fd = ::openat(dirFd, name.c_str(), flags | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

int TFileLayer::Open(const std::string& path, int flags)
{
    const TPathAt at(path);
    if (at.Error())
        return at.Error();
    int fd;
    do
        fd = ::openat(at.Dir(), at.Name(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

int TFileLayer::Close(int fd) { return ::close(fd) < 0 ? -errno : 0; }

namespace {
int StatAt(int dirfd, const char* path, int flags, TFileInformation& info)
{
    struct statx st {};
    if (::statx(dirfd, path, flags,
            STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME,
            &st)
        < 0)
        return -errno;
    info = TFileInformation {};
    info.IsDirectory = S_ISDIR(st.stx_mode);
    info.IsRegular = S_ISREG(st.stx_mode);
    if (info.IsDirectory)
        info.Attributes |= kAttrDirectory;
    if (!(st.stx_mode & S_IWUSR))
        info.Attributes |= kAttrReadOnly;
    if (st.stx_mask & STATX_BTIME)
        info.CreationTime = FileTimeFromUnix(st.stx_btime.tv_sec, st.stx_btime.tv_nsec);
    info.LastAccessTime = FileTimeFromUnix(st.stx_atime.tv_sec, st.stx_atime.tv_nsec);
    info.LastWriteTime = FileTimeFromUnix(st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec);
    info.VolumeSerialNumber = static_cast<std::uint32_t>(makedev(st.stx_dev_major, st.stx_dev_minor));
    info.FileSize = info.IsRegular ? st.stx_size : 0;
    info.NumberOfLinks = st.stx_nlink;
    info.FileIndex = st.stx_ino;
    return 0;
}

// Two names of one directory entry: a file system that ignores case gives
// both the same node. Links are looked at themselves, so a link to the file
// never counts as the file.
bool SameEntry(const char* a, const char* b)
{
    struct stat sa {}, sb {};
    return ::lstat(a, &sa) == 0 && ::lstat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino
        && sa.st_nlink == 1;
}
} // namespace

int TFileLayer::Stat(int fd, TFileInformation& info) { return StatAt(fd, "", AT_EMPTY_PATH, info); }

int TFileLayer::StatLink(const std::string& path, TFileInformation& info)
{
    const TPathAt at(path);
    return at.Error() ? at.Error() : StatAt(at.Dir(), at.Name(), AT_SYMLINK_NOFOLLOW, info);
}

long long TFileLayer::ReadAt(int fd, void* buf, std::size_t n, std::int64_t off)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, static_cast<char*>(buf) + done, n - done, off + static_cast<std::int64_t>(done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (r == 0)
            break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
}

long long TFileLayer::WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pwrite(fd, static_cast<const char*>(buf) + done, n - done, off + static_cast<std::int64_t>(done));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (r == 0)
            return -EIO;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
}

int TFileLayer::Truncate(int fd, std::int64_t size) { return ::ftruncate(fd, size) < 0 ? -errno : 0; }

int TFileLayer::SetTimes(int fd, TFileTime lastAccess, TFileTime lastWrite)
{
    struct timespec times[2];
    std::int64_t s = 0;
    std::int64_t ns = 0;
    // A time we cannot express stays as it is.
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_nsec = UTIME_OMIT;
    if (FileTimeToUnix(lastAccess, s, ns)) {
        times[0].tv_sec = static_cast<time_t>(s);
        times[0].tv_nsec = static_cast<long>(ns);
    }
    if (FileTimeToUnix(lastWrite, s, ns)) {
        times[1].tv_sec = static_cast<time_t>(s);
        times[1].tv_nsec = static_cast<long>(ns);
    }
    return ::futimens(fd, times) < 0 ? -errno : 0;
}

namespace {
// 0 or -errno; never replaces what stands under `to`.
int MoveNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    const int err = errno;
    if (err != EINVAL && err != ENOSYS)
        return -err;
    // A file system without the flag: a new link fails where a file exists.
    if (::link(from.c_str(), to.c_str()) != 0)
        return -errno;
    return ::unlink(from.c_str()) == 0 ? 0 : -errno;
}
} // namespace

int TFileLayer::RenameNoReplace(const std::string& from, const std::string& to)
{
    const int result = MoveNoReplace(from, to);
    if (result != -EEXIST || !SameEntry(from.c_str(), to.c_str()))
        return result;
    // Only the case differs on a file system that ignores it: through a free
    // temporary name, so nothing that appears meanwhile is replaced and the
    // new spelling reaches the disk.
    const std::size_t slash = to.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : to.substr(0, slash + 1);
    std::string temporary;
    int moved = -EEXIST;
    for (int attempt = 0; moved == -EEXIST && attempt < 100; ++attempt) {
        temporary = folder + ".klangmappe-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        moved = MoveNoReplace(from, temporary);
    }
    if (moved != 0)
        return moved;
    const int back = MoveNoReplace(temporary, to);
    if (back != 0)
        MoveNoReplace(temporary, from);
    return back;
}

int TFileLayer::RenameReplacing(const std::string& from, const std::string& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : -errno;
}

int TFileLayer::Remove(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : -errno; }

int TFileLayer::Sync(int fd)
{
    int r;
    do
        r = ::fsync(fd);
    while (r < 0 && errno == EINTR);
    return r < 0 ? -errno : 0;
}

int TFileLayer::CopyAttributes(int from, int to)
{
    struct stat src {}, dst {};
    if (::fstat(from, &src) < 0 || ::fstat(to, &dst) < 0)
        return -errno;
    if ((src.st_uid != dst.st_uid || src.st_gid != dst.st_gid) && ::fchown(to, src.st_uid, src.st_gid) < 0)
        return -errno;
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(to, src.st_mode & 07777) < 0)
        return -errno;
    ssize_t length = ::flistxattr(from, nullptr, 0);
    if (length <= 0)
        return length == 0 || errno == ENOTSUP ? 0 : -errno;
    std::vector<char> names(static_cast<std::size_t>(length) + 1);
    length = ::flistxattr(from, names.data(), names.size());
    if (length < 0)
        return -errno;
    for (std::size_t at = 0; at < static_cast<std::size_t>(length);) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        const ssize_t size = ::fgetxattr(from, name.c_str(), nullptr, 0);
        if (size < 0)
            return -errno;
        std::vector<char> value(static_cast<std::size_t>(size) + 1);
        const ssize_t got = ::fgetxattr(from, name.c_str(), value.data(), value.size());
        if (got < 0)
            return -errno;
        // The security label is the system's to give; everything else must come along.
        if (::fsetxattr(to, name.c_str(), value.data(), static_cast<std::size_t>(got), 0) < 0
            && name.rfind("security.", 0) != 0)
            return -errno;
    }
    return 0;
}

int TFileLayer::ResolvePath(const std::string& path, std::string& resolved)
{
    // Only a link as the last name matters: a replace goes through linked folders.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        resolved = path;
        return 0;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return -errno;
    resolved = real;
    std::free(real);
    return 0;
}

TFileLayer& TFileLayer::Posix()
{
    static TFileLayer layer;
    return layer;
}

std::string BaseName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace km

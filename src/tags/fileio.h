#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>

namespace km {

// File attribute bits as the program knows them.
inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;

// 100-ns ticks since 1601-01-01 UTC; 0 = unknown.
using TFileTime = std::uint64_t;

TFileTime FileTimeFromUnix(std::int64_t seconds, std::int64_t nanoseconds);
// False for 0, the unknown time.
bool FileTimeToUnix(TFileTime ft, std::int64_t& seconds, std::int64_t& nanoseconds);

// What the platform tells about an open file.
struct TFileInformation {
    std::uint32_t Attributes = 0;
    TFileTime CreationTime = 0; // birth time where the file system keeps one
    TFileTime LastAccessTime = 0;
    TFileTime LastWriteTime = 0;
    std::uint32_t VolumeSerialNumber = 0;
    std::uint64_t FileSize = 0;
    std::uint32_t NumberOfLinks = 0;
    std::uint64_t FileIndex = 0;
    bool IsDirectory = false;
    bool IsRegular = false;
};

// An open or read of an existing file failed.
class TFileError : public std::runtime_error {
public:
    explicit TFileError(const std::string& path);
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The thin layer every tag file access goes through, so tests can make it fail.
// Results follow the system calls: -errno on failure.
class TFileLayer {
public:
    virtual ~TFileLayer() = default;

    // Several threads may use it at once: the real layer may; a layer a test
    // puts in only when it says so, and then it outlives every read it gets
    // (a read that does not answer is left to a thread of its own).
    virtual bool ManyThreads() const { return this == &Posix(); }

    virtual int Open(const std::string& path, int flags);
    // `name` in the open folder `dirFd`: the folder walk's way down.
    virtual int OpenAt(int dirFd, const std::string& name, int flags);
    virtual int Close(int fd);
    // Fills everything but the hidden bit, which the name decides.
    virtual int Stat(int fd, TFileInformation& info);
    // The same for a name; a symbolic link is looked at itself.
    virtual int StatLink(const std::string& path, TFileInformation& info);
    // Reads up to n bytes at off, retrying short reads; fewer only at the end of the file.
    virtual long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off);
    virtual long long WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off);
    virtual int Truncate(int fd, std::int64_t size);
    // Last-access and last-write time; the creation time cannot be set here.
    virtual int SetTimes(int fd, TFileTime lastAccess, TFileTime lastWrite);
    // Renames without ever replacing another file; a change of letter case
    // alone is allowed where both names are the same file.
    virtual int RenameNoReplace(const std::string& from, const std::string& to);
    // Replaces whatever `to` names: only after the user said so, or with the
    // file's own new version.
    virtual int RenameReplacing(const std::string& from, const std::string& to);
    virtual int Remove(const std::string& path);
    virtual int Sync(int fd);
    // Owner, group, mode and extended attributes of the file `from` onto `to`.
    virtual int CopyAttributes(int from, int to);
    // The path with its symbolic links resolved, so that a link stays a link
    // when the file behind it is replaced.
    virtual int ResolvePath(const std::string& path, std::string& resolved);

    static TFileLayer& Posix();
};

// Closes its descriptor on every way out.
class TFileHandle {
public:
    TFileHandle(TFileLayer& layer, int fd) : m_layer(layer), m_fd(fd) {}
    ~TFileHandle() { if (m_fd >= 0) m_layer.Close(m_fd); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    int Get() const { return m_fd; }

private:
    TFileLayer& m_layer;
    int m_fd;
};

// The name part of a path: what follows the last "/".
std::string BaseName(const std::string& path);

} // namespace km

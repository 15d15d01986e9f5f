#include "writer.h"

#include "id3v2reader.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fcntl.h>

namespace km {

namespace {

// A file this small cannot hold audio and a block; it is left alone.
constexpr std::int64_t kSmallestWritable = 131;

enum class TPass { Done, TooSmall, Gone, Failed };

bool MeansGone(int err) { return err == -ENOENT || err == -ENOTDIR || err == -EISDIR; }

// Closes on every way out, but lets the write see a failing close.
class TOpenFile {
public:
    TOpenFile(TFileLayer& layer, int fd) : m_layer(layer), m_fd(fd) {}
    ~TOpenFile() { Close(); }
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;
    int Get() const { return m_fd; }
    int Close()
    {
        if (m_fd < 0)
            return 0;
        const int fd = m_fd;
        m_fd = -1;
        return m_layer.Close(fd);
    }

private:
    TFileLayer& m_layer;
    int m_fd;
};

// Gone when the path names nothing or a folder; otherwise fetches the times
// when asked. Not being able to read them is no reason to stop.
bool Exists(const std::string& path, TFileLayer& layer, TFileInformation* times)
{
    const int fd = layer.Open(path, O_RDONLY | O_NONBLOCK);
    if (MeansGone(fd))
        return false;
    if (fd < 0)
        return true;
    TOpenFile file(layer, fd);
    TFileInformation info;
    if (layer.Stat(fd, info) != 0)
        return true;
    if (info.IsDirectory)
        return false;
    if (times)
        *times = info;
    return true;
}

// Puts the block in, or takes it out for the empty tag. Whatever fails is
// undone as far as possible, so the file is never left half written.
TPass ChangeBlock(int fd, TFileLayer& layer, const std::string& path, const TID3v1Tag& tag)
{
    TFileInformation info;
    if (layer.Stat(fd, info) != 0)
        return TPass::Failed;
    if (info.IsDirectory)
        return TPass::Gone;
    // Devices and pipes report size 0 and are left alone with the small files.
    const std::int64_t size = info.IsRegular ? static_cast<std::int64_t>(info.FileSize) : 0;
    if (size < kSmallestWritable)
        return TPass::TooSmall;

    std::uint8_t old[kID3v1BlockSize];
    const std::int64_t tail = size - static_cast<std::int64_t>(kID3v1BlockSize);
    if (layer.ReadAt(fd, old, sizeof old, tail) != static_cast<long long>(sizeof old))
        return TPass::Failed;
    // Only a block the reader reads is overwritten; "TAG" in the bytes of a
    // leading tag is not one, and the block goes behind it.
    const bool hasBlock = std::memcmp(old, "TAG", 3) == 0 && HoldsID3v1Block(layer, fd, size, path);
    const std::int64_t at = hasBlock ? tail : size;

    if (IsEmptyTag(tag)) {
        if (!hasBlock)
            return TPass::Done;
        return layer.Truncate(fd, at) == 0 ? TPass::Done : TPass::Failed;
    }

    std::uint8_t block[kID3v1BlockSize];
    EncodeID3v1Block(tag, block);
    if (layer.WriteAt(fd, block, sizeof block, at) == static_cast<long long>(sizeof block))
        return TPass::Done;
    if (hasBlock)
        layer.WriteAt(fd, old, sizeof old, at);
    else
        layer.Truncate(fd, size);
    return TPass::Failed;
}

TPass WritePass(const std::string& path, const TID3v1Tag& tag, bool keepTimes, TFileLayer& layer)
{
    TFileInformation times;
    if (!Exists(path, layer, keepTimes ? &times : nullptr))
        return TPass::Gone;
    const bool restoreTimes = keepTimes && (times.LastAccessTime != 0 || times.LastWriteTime != 0);

    const int fd = layer.Open(path, O_RDWR | O_NONBLOCK);
    if (MeansGone(fd))
        return TPass::Gone;
    if (fd < 0)
        return TPass::Failed;
    TOpenFile file(layer, fd);
    TPass result = TPass::Failed;
    try {
        result = ChangeBlock(fd, layer, path, tag);
    } catch (const std::exception&) {
        result = TPass::Failed;
    }
    if (restoreTimes)
        layer.SetTimes(fd, times.LastAccessTime, times.LastWriteTime);
    // A failing close may mean lost data: the user gets to try again.
    if (file.Close() != 0 && result == TPass::Done)
        result = TPass::Failed;
    return result;
}

} // namespace

bool SameTag(const TID3v1Tag& a, const TID3v1Tag& b) { return std::memcmp(&a, &b, sizeof(TID3v1Tag)) == 0; }

bool WriteID3v1Tag(const std::string& path, const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask,
    TFileLayer& layer)
{
    return WriteID3v1Block(path, tag, keepTimes, ask, layer) != TWriteResult::Failed;
}

TWriteResult WriteID3v1Block(const std::string& path, const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask,
    TFileLayer& layer)
{
    for (;;) {
        TPass pass = TPass::Failed;
        try {
            pass = WritePass(path, tag, keepTimes, layer);
        } catch (const std::exception&) {
            pass = TPass::Failed;
        }
        switch (pass) {
        case TPass::Done:
            return TWriteResult::Written;
        case TPass::TooSmall:
            return TWriteResult::TooSmall;
        case TPass::Gone:
            if (ask.FileGone)
                ask.FileGone();
            return TWriteResult::Failed;
        case TPass::Failed:
            if (!ask.RetryAfterFailure || !ask.RetryAfterFailure())
                return TWriteResult::Failed;
            break;
        }
    }
}

TFileTime ReadLastWriteTime(const std::string& path, TFileLayer& layer)
{
    const int fd = layer.Open(path, O_RDONLY | O_NONBLOCK);
    if (fd >= 0) {
        TOpenFile file(layer, fd);
        TFileInformation info;
        if (layer.Stat(fd, info) == 0 && info.LastWriteTime != 0)
            return info.LastWriteTime;
    }
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    return FileTimeFromUnix(seconds.count(), nanoseconds.count());
}

void WriteLastWriteTime(const std::string& path, TFileTime time, TFileLayer& layer)
{
    // Setting a time needs ownership, not write access; 0 leaves the last access alone.
    const int fd = layer.Open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return;
    TOpenFile file(layer, fd);
    layer.SetTimes(fd, 0, time);
}

} // namespace km

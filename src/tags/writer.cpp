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

enum class TPass { Done, TooSmall, Damaged, Gone, Failed };

// A pass's outcome, and for a failure the -errno that caused it (0: unknown).
struct TOutcome {
    TPass Pass;
    int Error = 0;
    int TimesError = 0; // written, but the times to keep could not be set back
};

// Short counts are no error code of their own.
int ErrorOf(long long r) { return r < 0 ? static_cast<int>(r) : 0; }

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

// A leading tag claiming more bytes than the file has would swallow an
// appended block once the file grows; the reader's own scan decides.
bool LeadingTagRunsPastEnd(const std::string& path, TFileLayer& layer)
{
    TID3v2Reader reader(layer);
    reader.FileName = path;
    reader.ReadID3v2 = false;
    reader.DecodeFrames = false;
    reader.CopyID3v2IfEmptyFromID3v1 = false;
    reader.ReadTags();
    return reader.HasID3v2 && reader.ID3v2Offset + reader.ID3v2Size > reader.FileSize;
}

// Puts the block in, or takes it out for the empty tag. Whatever fails is
// undone as far as possible, so the file is never left half written.
TOutcome ChangeBlock(int fd, TFileLayer& layer, const std::string& path, const TID3v1Tag& tag)
{
    TFileInformation info;
    if (const int err = layer.Stat(fd, info); err != 0)
        return {TPass::Failed, err};
    if (info.IsDirectory)
        return {TPass::Gone};
    // Devices and pipes report size 0 and are left alone with the small files.
    const std::int64_t size = info.IsRegular ? static_cast<std::int64_t>(info.FileSize) : 0;
    if (size < kSmallestWritable)
        return {TPass::TooSmall};
    if (LeadingTagRunsPastEnd(path, layer))
        return {TPass::Damaged};

    std::uint8_t old[kID3v1BlockSize];
    const std::int64_t tail = size - static_cast<std::int64_t>(kID3v1BlockSize);
    if (const long long r = layer.ReadAt(fd, old, sizeof old, tail); r != static_cast<long long>(sizeof old))
        return {TPass::Failed, ErrorOf(r)};
    // Only a block the reader reads is overwritten; "TAG" in the bytes of a
    // leading tag is not one, and the block goes behind it.
    const bool hasBlock = std::memcmp(old, "TAG", 3) == 0 && HoldsID3v1Block(layer, fd, size, path);
    const std::int64_t at = hasBlock ? tail : size;

    if (IsEmptyTag(tag)) {
        if (!hasBlock)
            return {TPass::Done};
        const int err = layer.Truncate(fd, at);
        return err == 0 ? TOutcome {TPass::Done} : TOutcome {TPass::Failed, err};
    }

    std::uint8_t block[kID3v1BlockSize];
    EncodeID3v1Block(tag, block);
    const long long r = layer.WriteAt(fd, block, sizeof block, at);
    if (r == static_cast<long long>(sizeof block))
        return {TPass::Done};
    if (hasBlock)
        layer.WriteAt(fd, old, sizeof old, at);
    else
        layer.Truncate(fd, size);
    return {TPass::Failed, ErrorOf(r)};
}

TOutcome WritePass(const std::string& path, const TID3v1Tag& tag, bool keepTimes, TFileLayer& layer)
{
    // Fetched even without keepTimes: a failed pass puts them back.
    TFileInformation times;
    if (!Exists(path, layer, &times))
        return {TPass::Gone};
    bool haveTimes = times.LastAccessTime != 0 || times.LastWriteTime != 0;

    const int fd = layer.Open(path, O_RDWR | O_NONBLOCK);
    if (MeansGone(fd))
        return {TPass::Gone};
    if (fd < 0)
        return {TPass::Failed, fd};
    TOpenFile file(layer, fd);
    // Times to keep that cannot be read: no write, or the date would be lost unseen.
    if (keepTimes && !haveTimes) {
        TFileInformation info;
        if (const int err = layer.Stat(fd, info); err != 0)
            return {TPass::Failed, err};
        times = info;
        haveTimes = times.LastAccessTime != 0 || times.LastWriteTime != 0;
    }
    TOutcome result {TPass::Failed};
    try {
        result = ChangeBlock(fd, layer, path, tag);
    } catch (const std::exception&) {
        result = {TPass::Failed};
    }
    // The times change only with a write that went through, and not even then with keepTimes.
    if (haveTimes && (keepTimes || result.Pass != TPass::Done)) {
        const int err = layer.SetTimes(fd, times.LastAccessTime, times.LastWriteTime);
        // Only the owner may set times; a file others may write keeps its new date.
        if (err != 0 && keepTimes && result.Pass == TPass::Done)
            result.TimesError = err;
    }
    // A failing close may mean lost data: the user gets to try again.
    if (const int err = file.Close(); err != 0 && result.Pass == TPass::Done)
        result = {TPass::Failed, err};
    return result;
}

} // namespace

const char* RetryWriteText(int err)
{
    return err == -ENOSPC || err == -EDQUOT ? kRetryNoSpaceText : kRetryWriteText;
}

std::string DamagedID3v2Text(const std::string& name)
{
    return "Die Datei \"" + name
        + "\" hat einen beschädigten ID3v2-Tag, der über ihr Ende hinausreicht.\rDie Titelinformationen wurden nicht "
          "geschrieben.";
}

bool SameTag(const TID3v1Tag& a, const TID3v1Tag& b) { return std::memcmp(&a, &b, sizeof(TID3v1Tag)) == 0; }

bool WriteID3v1Tag(const std::string& path, const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask,
    TFileLayer& layer)
{
    const TWriteResult result = WriteID3v1Block(path, tag, keepTimes, ask, layer);
    return result == TWriteResult::Written || result == TWriteResult::TooSmall;
}

TWriteResult WriteID3v1Block(const std::string& path, const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask,
    TFileLayer& layer)
{
    for (;;) {
        TOutcome pass {TPass::Failed};
        try {
            pass = WritePass(path, tag, keepTimes, layer);
        } catch (const std::exception&) {
            pass = {TPass::Failed};
        }
        switch (pass.Pass) {
        case TPass::Done:
            if (pass.TimesError != 0 && ask.TimesNotKept)
                ask.TimesNotKept(pass.TimesError);
            return TWriteResult::Written;
        case TPass::TooSmall:
            return TWriteResult::TooSmall;
        case TPass::Damaged:
            return TWriteResult::DamagedID3v2;
        case TPass::Gone:
            if (ask.FileGone)
                ask.FileGone();
            return TWriteResult::Failed;
        case TPass::Failed:
            if (!ask.RetryAfterFailure || !ask.RetryAfterFailure(RetryWriteText(pass.Error)))
                return TWriteResult::Failed;
            break;
        }
    }
}

TFileTime KnownLastWriteTime(const std::string& path, TFileLayer& layer)
{
    const int fd = layer.Open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return 0;
    TOpenFile file(layer, fd);
    TFileInformation info;
    return layer.Stat(fd, info) == 0 ? info.LastWriteTime : 0;
}

TFileTime ReadLastWriteTime(const std::string& path, TFileLayer& layer)
{
    if (const TFileTime known = KnownLastWriteTime(path, layer); known != 0)
        return known;
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

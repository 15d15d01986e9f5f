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
    bool Touched = false; // a write or truncate reached the file (its times moved)
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

// Sets up a reader that looks only where the writer needs to: the leading
// tags, the first frame and the last bytes.
void SetUpLook(TID3v2Reader& reader, const std::string& path)
{
    reader.FileName = path;
    reader.ReadID3v2 = false;
    reader.DecodeFrames = false;
    reader.CopyID3v2IfEmptyFromID3v1 = false;
}

// Puts the block in, or takes it out for the empty tag, in the file `reader`
// has just read through `fd`. Whatever fails is undone as far as possible,
// so the file is never left half written.
TOutcome ChangeBlock(int fd, TFileLayer& layer, const TID3v2Reader& reader, const TID3v1Tag& tag)
{
    if (!reader.FileExists)
        return {TPass::Gone};
    // Devices and pipes report size 0 and are left alone with the small files.
    const std::int64_t size = reader.FileInformation.IsRegular ? reader.FileSize : 0;
    if (size < kSmallestWritable)
        return {TPass::TooSmall};
    // A leading tag claiming more bytes than the file has would swallow an
    // appended block once the file grows.
    if (reader.HasID3v2 && reader.ID3v2Offset + reader.ID3v2Size > reader.FileSize)
        return {TPass::Damaged};

    // Only a block the reader reads is overwritten; "TAG" in the bytes of a
    // leading tag is not one, and the block goes behind it.
    const bool hasBlock = reader.HasID3v1;
    const std::int64_t at = hasBlock ? size - static_cast<std::int64_t>(kID3v1BlockSize) : size;

    if (IsEmptyTag(tag)) {
        if (!hasBlock)
            return {TPass::Done};
        const int err = layer.Truncate(fd, at);
        return {err == 0 ? TPass::Done : TPass::Failed, err, 0, true};
    }

    std::uint8_t block[kID3v1BlockSize];
    EncodeID3v1Block(tag, block);
    const long long r = layer.WriteAt(fd, block, sizeof block, at);
    if (r == static_cast<long long>(sizeof block))
        return {TPass::Done, 0, 0, true};
    if (hasBlock)
        layer.WriteAt(fd, reader.LastBlock.data(), reader.LastBlock.size(), at);
    else
        layer.Truncate(fd, size);
    return {TPass::Failed, ErrorOf(r), 0, true};
}

// Writes through `file`, which `reader` has read (or failed to read: then
// `readFailed`), sets the times and closes it.
TOutcome FinishPass(TOpenFile& file, TFileLayer& layer, const TID3v2Reader& reader, bool readFailed,
    const TID3v1Tag& tag, bool keepTimes)
{
    // Fetched even without keepTimes: a failed pass puts them back. A read
    // that failed after the stat still knows them.
    const TFileInformation& times = reader.FileInformation;
    const bool haveTimes = reader.FileExists && (times.LastAccessTime != 0 || times.LastWriteTime != 0);
    TOutcome result {TPass::Failed};
    // The stat failed with the read: no write, or a date to keep would be lost unseen.
    if (!readFailed) {
        try {
            result = ChangeBlock(file.Get(), layer, reader, tag);
        } catch (const std::exception&) {
            // How far it got is unknown: the times go back to be safe.
            result = {TPass::Failed, 0, 0, true};
        }
    }
    // Only a file whose bytes were touched gets its times back (setting them
    // moves the status-change time, which backup tools watch): after a write
    // with keepTimes, and after a failed write that was undone.
    if (haveTimes && result.Touched && (keepTimes || result.Pass != TPass::Done)) {
        const int err = layer.SetTimes(file.Get(), times.LastAccessTime, times.LastWriteTime);
        // Only the owner may set times; a file others may write keeps its new date.
        if (err != 0 && keepTimes && result.Pass == TPass::Done)
            result.TimesError = err;
    }
    // A failing close may mean lost data: the user gets to try again.
    if (const int err = file.Close(); err != 0 && result.Pass == TPass::Done)
        result = {TPass::Failed, err};
    return result;
}

// Reads what the write needs through the open file; false when a read failed.
bool Look(TID3v2Reader& reader, int fd)
{
    try {
        reader.ReadTags(fd);
        return true;
    } catch (const TFileError&) {
        return false;
    }
}

TOutcome WritePass(const std::string& path, const TID3v1Tag& tag, bool keepTimes, TFileLayer& layer)
{
    const int fd = layer.Open(path, O_RDWR | O_NONBLOCK);
    if (MeansGone(fd))
        return {TPass::Gone};
    if (fd < 0)
        return {TPass::Failed, fd};
    TOpenFile file(layer, fd);
    TID3v2Reader reader(layer);
    SetUpLook(reader, path);
    const bool read = Look(reader, fd);
    return FinishPass(file, layer, reader, !read, tag, keepTimes);
}

// The first pass's outcome told, and the passes the user asks for after a failure.
TWriteResult Conclude(TOutcome pass, const std::string& path, const TID3v1Tag& tag, bool keepTimes,
    const TWriteQuestions& ask, TFileLayer& layer)
{
    for (;;) {
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
        try {
            pass = WritePass(path, tag, keepTimes, layer);
        } catch (const std::exception&) {
            pass = {TPass::Failed};
        }
    }
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
    TOutcome first {TPass::Failed};
    try {
        first = WritePass(path, tag, keepTimes, layer);
    } catch (const std::exception&) {
        first = {TPass::Failed};
    }
    return Conclude(first, path, tag, keepTimes, ask, layer);
}

TTagFile::TTagFile(const std::string& path, TFileLayer& layer) : m_layer(layer), m_reader(layer)
{
    SetUpLook(m_reader, path);
}

TTagFile::~TTagFile()
{
    if (m_fd >= 0)
        m_layer.Close(m_fd);
}

int TTagFile::Open()
{
    if (m_fd >= 0)
        m_layer.Close(m_fd);
    m_fd = -1;
    m_read = false;
    const int fd = m_layer.Open(m_reader.FileName, O_RDWR | O_NONBLOCK);
    if (fd < 0)
        return fd;
    m_fd = fd;
    m_reader.ReadTags(fd);
    m_read = true;
    return 0;
}

TWriteResult TTagFile::Write(const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask)
{
    TOutcome first {TPass::Failed};
    if (m_fd >= 0) {
        TOpenFile file(m_layer, m_fd);
        m_fd = -1;
        try {
            first = FinishPass(file, m_layer, m_reader, !m_read, tag, keepTimes);
        } catch (const std::exception&) {
            first = {TPass::Failed};
        }
    } else {
        try {
            first = WritePass(m_reader.FileName, tag, keepTimes, m_layer);
        } catch (const std::exception&) {
            first = {TPass::Failed};
        }
    }
    return Conclude(first, m_reader.FileName, tag, keepTimes, ask, m_layer);
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

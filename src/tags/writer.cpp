#include "writer.h"

#include "id3v2reader.h"

#include <cerrno>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

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
    bool Replaced = false; // a new file took the name; the open one is the old
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

// The leading tag's changes, worked out before anything is written.
struct TTagPlan {
    std::vector<std::uint8_t> Old, New; // empty New: the tag stays
    TID3v2Undo Undo;
};

// Reads the leading tag and lets the job change it. False: a read failed (-errno in `err`).
bool PlanTag(int fd, TFileLayer& layer, const TID3v2Reader& reader, TID3v2Job& job, TTagPlan& plan, int& err)
{
    // A retry after a pass that changed the tag (then failed at its close)
    // finds the change made: patching again could take a second frame.
    job.Refused.clear();
    if (job.Changed)
        return true;
    if (reader.LeadingID3v2Size == 0) {
        // No tag is made where there is none.
        if (reader.HasID3v2)
            job.Refused = kOnlyAppendedText;
        return true;
    }
    const std::int64_t at = reader.LeadingID3v2Offset;
    const std::int64_t size = reader.LeadingID3v2Size;
    if (at + size > reader.FileSize) {
        job.Refused = "Tag beschädigt";
        return true;
    }
    plan.Old.resize(static_cast<std::size_t>(size));
    const long long r = layer.ReadAt(fd, plan.Old.data(), plan.Old.size(), at);
    if (r != size) {
        err = ErrorOf(r);
        return false;
    }
    TID3v2Patch patch = job.Change(plan.Old);
    if (!patch.Refused.empty()) {
        job.Refused = patch.Refused;
    } else if (patch.Changed) {
        // A new file in its place would part it from its other names.
        if (patch.Tag.size() != plan.Old.size() && reader.FileInformation.NumberOfLinks > 1) {
            job.Refused = kHardLinksText;
        } else {
            plan.New = std::move(patch.Tag);
            plan.Undo = std::move(patch.Undo);
        }
    }
    return true;
}

void Concluded(TID3v2Job& job, TTagPlan& plan)
{
    job.Changed = true;
    job.Undo = std::move(plan.Undo);
    const auto& tag = plan.New;
    job.Expected = ReadID3v2Fields(
        [&tag](std::int64_t at, std::uint8_t* dst, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i)
                dst[i] = at + static_cast<std::int64_t>(i) < static_cast<std::int64_t>(tag.size())
                    ? tag[static_cast<std::size_t>(at) + i]
                    : 0;
        },
        0, static_cast<std::int64_t>(tag.size()));
}

// A file being written beside the original; removed unless it took its place.
class TTemporary {
public:
    TTemporary(TFileLayer& layer) : m_layer(layer) {}
    ~TTemporary()
    {
        if (m_fd >= 0)
            m_layer.Close(m_fd);
        if (!m_path.empty())
            m_layer.Remove(m_path);
    }
    TTemporary(const TTemporary&) = delete;
    TTemporary& operator=(const TTemporary&) = delete;
    // Hidden, in the original's folder, and not named like an MP3 file, which the list would show.
    int Create(const std::string& original)
    {
        const std::size_t slash = original.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : original.substr(0, slash + 1);
        // Cut, so that the name with what is added to it fits the 255 bytes of a folder entry.
        const std::string base = original.substr(folder.size(), 200);
        int fd = -EEXIST;
        for (int attempt = 0; fd == -EEXIST && attempt < 100; ++attempt) {
            m_path = folder + "." + base + ".klangmappe-" + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
            fd = m_layer.Open(m_path, O_RDWR | O_CREAT | O_EXCL);
        }
        if (fd < 0)
            m_path.clear();
        m_fd = fd;
        return fd < 0 ? fd : 0;
    }
    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }
    int Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return m_layer.Close(fd);
    }
    void Keep() { m_path.clear(); }

private:
    TFileLayer& m_layer;
    std::string m_path;
    int m_fd = -1;
};

constexpr std::size_t kCopyChunk = 1 << 20;

// Copies [from, to) of `in` to `out` at `pos`; 0 or -errno.
int CopyRange(TFileLayer& layer, int in, int out, std::int64_t from, std::int64_t to, std::int64_t& pos)
{
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(to - from, kCopyChunk)));
    while (from < to) {
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(to - from, kCopyChunk));
        const long long r = layer.ReadAt(in, buffer.data(), n, from);
        if (r != static_cast<long long>(n))
            return r < 0 ? static_cast<int>(r) : -EIO;
        const long long w = layer.WriteAt(out, buffer.data(), n, pos);
        if (w != static_cast<long long>(n))
            return w < 0 ? static_cast<int>(w) : -EIO;
        from += static_cast<std::int64_t>(n);
        pos += static_cast<std::int64_t>(n);
    }
    return 0;
}

int WriteAll(TFileLayer& layer, int fd, const std::uint8_t* data, std::size_t n, std::int64_t& pos)
{
    const long long w = layer.WriteAt(fd, data, n, pos);
    if (w != static_cast<long long>(n))
        return w < 0 ? static_cast<int>(w) : -EIO;
    pos += static_cast<std::int64_t>(n);
    return 0;
}

// Not allowed, as opposed to failed: asking again would not help.
bool MeansRefused(int err) { return err == -EACCES || err == -EPERM || err == -EROFS || err == -ENOTSUP; }

// The whole file with the new tag and block, written beside the original and
// renamed over it. The original is never written; `refused` names why the
// folder or the file's owner and attributes do not allow it (nothing written then).
TOutcome Rewrite(int fd, TFileLayer& layer, const TID3v2Reader& reader, const TTagPlan& plan, const TID3v1Tag& tag,
    bool keepTimes, const char*& refused)
{
    std::string real;
    if (const int err = layer.ResolvePath(reader.FileName, real); err != 0)
        return {TPass::Failed, err};
    TTemporary temp(layer);
    if (const int err = temp.Create(real); err != 0) {
        if (MeansRefused(err))
            refused = kFolderText;
        return {TPass::Failed, err};
    }
    const std::int64_t size = reader.FileSize;
    const std::int64_t tagAt = reader.LeadingID3v2Offset;
    const std::int64_t audioEnd = reader.HasID3v1 ? size - static_cast<std::int64_t>(kID3v1BlockSize) : size;
    std::int64_t pos = 0;
    int err = CopyRange(layer, fd, temp.Fd(), 0, tagAt, pos);
    if (err == 0)
        err = WriteAll(layer, temp.Fd(), plan.New.data(), plan.New.size(), pos);
    if (err == 0)
        err = CopyRange(layer, fd, temp.Fd(), tagAt + static_cast<std::int64_t>(plan.Old.size()), audioEnd, pos);
    if (err == 0 && !IsEmptyTag(tag)) {
        std::uint8_t block[kID3v1BlockSize];
        EncodeID3v1Block(tag, block);
        err = WriteAll(layer, temp.Fd(), block, sizeof block, pos);
    }
    if (err != 0)
        return {TPass::Failed, err};
    if (err = layer.CopyAttributes(fd, temp.Fd()); err != 0) {
        if (MeansRefused(err))
            refused = kAttributesText;
        return {TPass::Failed, err};
    }
    if (err = layer.Sync(temp.Fd()); err != 0)
        return {TPass::Failed, err};
    TOutcome done {TPass::Done, 0, 0, true};
    const TFileInformation& times = reader.FileInformation;
    if (keepTimes && (times.LastAccessTime != 0 || times.LastWriteTime != 0))
        done.TimesError = layer.SetTimes(temp.Fd(), times.LastAccessTime, times.LastWriteTime);
    if (err = temp.Close(); err != 0)
        return {TPass::Failed, err};
    if (err = layer.RenameReplacing(temp.Path(), real); err != 0)
        return {TPass::Failed, err};
    temp.Keep();
    // The new name must reach the disk too.
    const std::size_t slash = real.rfind('/');
    const int folder = layer.Open(slash == std::string::npos ? std::string(".") : real.substr(0, slash + 1),
        O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        layer.Sync(folder);
        layer.Close(folder);
    }
    done.Replaced = true;
    return done;
}

// Puts the block in, or takes it out for the empty tag, in the file `reader`
// has just read through `fd`, and changes the leading tag for `job`.
// Whatever fails is undone as far as possible, so the file is never left
// half written.
TOutcome ChangeBlock(int fd, TFileLayer& layer, const TID3v2Reader& reader, const TID3v1Tag& tag, bool keepTimes,
    TID3v2Job* job)
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

    TTagPlan plan;
    if (job) {
        int err = 0;
        if (!PlanTag(fd, layer, reader, *job, plan, err))
            return {TPass::Failed, err};
        if (!plan.New.empty() && plan.New.size() != plan.Old.size()) {
            const char* refused = nullptr;
            TOutcome rewritten = Rewrite(fd, layer, reader, plan, tag, keepTimes, refused);
            if (!refused) {
                if (rewritten.Pass == TPass::Done)
                    Concluded(*job, plan);
                return rewritten;
            }
            // The block alone, in place, as without the tag.
            job->Refused = refused;
            plan.New.clear();
        }
    }

    // In place: only the bytes that differ, in one write.
    const std::int64_t tagAt = reader.LeadingID3v2Offset;
    std::size_t first = 0, last = 0;
    if (!plan.New.empty()) {
        last = plan.New.size();
        while (first < last && plan.New[first] == plan.Old[first])
            ++first;
        while (last > first && plan.New[last - 1] == plan.Old[last - 1])
            --last;
        const long long r = layer.WriteAt(fd, plan.New.data() + first, last - first, tagAt + static_cast<std::int64_t>(first));
        if (r != static_cast<long long>(last - first)) {
            layer.WriteAt(fd, plan.Old.data() + first, last - first, tagAt + static_cast<std::int64_t>(first));
            return {TPass::Failed, ErrorOf(r), 0, true};
        }
    }
    const auto putTagBack = [&] {
        if (!plan.New.empty())
            layer.WriteAt(fd, plan.Old.data() + first, last - first, tagAt + static_cast<std::int64_t>(first));
    };
    const auto done = [&] {
        if (job && !plan.New.empty())
            Concluded(*job, plan);
        return TOutcome {TPass::Done, 0, 0, true};
    };

    // Only a block the reader reads is overwritten; "TAG" in the bytes of a
    // leading tag is not one, and the block goes behind it.
    const bool hasBlock = reader.HasID3v1;
    const std::int64_t at = hasBlock ? size - static_cast<std::int64_t>(kID3v1BlockSize) : size;

    if (IsEmptyTag(tag)) {
        if (!hasBlock)
            return plan.New.empty() ? TOutcome {TPass::Done} : done();
        const int err = layer.Truncate(fd, at);
        if (err != 0)
            putTagBack();
        return err == 0 ? done() : TOutcome {TPass::Failed, err, 0, true};
    }

    std::uint8_t block[kID3v1BlockSize];
    EncodeID3v1Block(tag, block);
    const long long r = layer.WriteAt(fd, block, sizeof block, at);
    if (r == static_cast<long long>(sizeof block))
        return done();
    if (hasBlock)
        layer.WriteAt(fd, reader.LastBlock.data(), reader.LastBlock.size(), at);
    else
        layer.Truncate(fd, size);
    putTagBack();
    return {TPass::Failed, ErrorOf(r), 0, true};
}

// Writes through `file`, which `reader` has read (or failed to read: then
// `readFailed`), sets the times and closes it.
TOutcome FinishPass(TOpenFile& file, TFileLayer& layer, const TID3v2Reader& reader, bool readFailed,
    const TID3v1Tag& tag, bool keepTimes, TID3v2Job* job)
{
    // Fetched even without keepTimes: a failed pass puts them back. A read
    // that failed after the stat still knows them.
    const TFileInformation& times = reader.FileInformation;
    const bool haveTimes = reader.FileExists && (times.LastAccessTime != 0 || times.LastWriteTime != 0);
    TOutcome result {TPass::Failed};
    // The stat failed with the read: no write, or a date to keep would be lost unseen.
    if (!readFailed) {
        try {
            result = ChangeBlock(file.Get(), layer, reader, tag, keepTimes, job);
        } catch (const std::exception&) {
            // How far it got is unknown: the times go back to be safe.
            result = {TPass::Failed, 0, 0, true};
        }
    }
    // Only a file whose bytes were touched gets its times back (setting them
    // moves the status-change time, which backup tools watch): after a write
    // with keepTimes, and after a failed write that was undone.
    if (haveTimes && result.Touched && !result.Replaced && (keepTimes || result.Pass != TPass::Done)) {
        const int err = layer.SetTimes(file.Get(), times.LastAccessTime, times.LastWriteTime);
        // Only the owner may set times; a file others may write keeps its new date.
        if (err != 0 && keepTimes && result.Pass == TPass::Done)
            result.TimesError = err;
    }
    // A failing close may mean lost data: the user gets to try again. Not
    // for the file a new one replaced: nothing was written through it.
    if (const int err = file.Close(); err != 0 && result.Pass == TPass::Done && !result.Replaced)
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

TOutcome WritePass(const std::string& path, const TID3v1Tag& tag, bool keepTimes, TFileLayer& layer, TID3v2Job* job)
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
    return FinishPass(file, layer, reader, !read, tag, keepTimes, job);
}

// The first pass's outcome told, and the passes the user asks for after a failure.
TWriteResult Conclude(TOutcome pass, const std::string& path, const TID3v1Tag& tag, bool keepTimes,
    const TWriteQuestions& ask, TFileLayer& layer, TID3v2Job* job)
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
            pass = WritePass(path, tag, keepTimes, layer, job);
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
    TFileLayer& layer, TID3v2Job* id3v2)
{
    TOutcome first {TPass::Failed};
    try {
        first = WritePass(path, tag, keepTimes, layer, id3v2);
    } catch (const std::exception&) {
        first = {TPass::Failed};
    }
    return Conclude(first, path, tag, keepTimes, ask, layer, id3v2);
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

TWriteResult TTagFile::Write(const TID3v1Tag& tag, bool keepTimes, const TWriteQuestions& ask, TID3v2Job* id3v2)
{
    TOutcome first {TPass::Failed};
    if (m_fd >= 0) {
        TOpenFile file(m_layer, m_fd);
        m_fd = -1;
        try {
            first = FinishPass(file, m_layer, m_reader, !m_read, tag, keepTimes, id3v2);
        } catch (const std::exception&) {
            first = {TPass::Failed};
        }
    } else {
        try {
            first = WritePass(m_reader.FileName, tag, keepTimes, m_layer, id3v2);
        } catch (const std::exception&) {
            first = {TPass::Failed};
        }
    }
    return Conclude(first, m_reader.FileName, tag, keepTimes, ask, m_layer, id3v2);
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

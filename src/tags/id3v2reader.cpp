#include "id3v2reader.h"

#include "id3v2patch.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace km {

namespace {
constexpr std::int64_t kScanLimit = 2014;  // offsets examined after the start or the last tag
constexpr std::size_t kHeadBytes = 4096;     // first read; small files come whole
// Later reads: the frame scan after a tag needs about 2 KiB and the first
// frames; each further read doubles, so chains of small tags stay cheap.
constexpr std::size_t kWindowBytes = 8192;
constexpr std::size_t kLargestWindow = 65536;
constexpr std::size_t kTrailBytes = 138;     // appended tag's footer and the ID3v1 block

// Serves small reads from a window of the file, so a small file costs one
// read. Bytes past the end of the file read as zero.
class TSource {
public:
    TSource(TFileLayer& layer, int fd, std::int64_t size, const std::string& path)
        : m_layer(layer), m_fd(fd), m_size(size), m_path(path)
    {
        Fill(0, kHeadBytes);
    }

    void Read(std::int64_t off, std::uint8_t* dst, std::size_t n)
    {
        const auto avail = static_cast<std::size_t>(std::clamp<std::int64_t>(m_size - off, 0, static_cast<std::int64_t>(n)));
        std::size_t got = avail;
        if (!Holds(off, avail) && avail <= kLargestWindow) {
            Fill(off, std::max(m_next, avail));
            m_next = std::min(m_next * 2, kLargestWindow);
        }
        if (Holds(off, avail))
            std::memcpy(dst, m_window.data() + (off - m_windowOff), avail);
        else
            got = Fetch(off, dst, avail);
        std::memset(dst + got, 0, n - got);
    }

    // Read, with the bytes from `end` on reading as zero.
    void ReadBefore(std::int64_t end, std::int64_t off, std::uint8_t* dst, std::size_t n)
    {
        const auto keep = static_cast<std::size_t>(std::clamp<std::int64_t>(end - off, 0, static_cast<std::int64_t>(n)));
        if (keep > 0)
            Read(off, dst, keep);
        std::memset(dst + keep, 0, n - keep);
    }

    // Read, but leaves the window where it is: the tail of a big file costs a
    // read of its own and the head stays at hand for the scan.
    void ReadAside(std::int64_t off, std::uint8_t* dst, std::size_t n)
    {
        const auto avail = static_cast<std::size_t>(std::clamp<std::int64_t>(m_size - off, 0, static_cast<std::int64_t>(n)));
        std::size_t got = avail;
        if (Holds(off, avail))
            std::memcpy(dst, m_window.data() + (off - m_windowOff), avail);
        else
            got = Fetch(off, dst, avail);
        std::memset(dst + got, 0, n - got);
    }

private:
    bool Holds(std::int64_t off, std::size_t n) const
    {
        return off >= m_windowOff && off + static_cast<std::int64_t>(n) <= m_windowOff + static_cast<std::int64_t>(m_windowLen);
    }

    void Fill(std::int64_t off, std::size_t n)
    {
        m_window.resize(n);
        m_windowOff = off;
        m_windowLen = Fetch(off, m_window.data(), static_cast<std::size_t>(std::clamp<std::int64_t>(m_size - off, 0, static_cast<std::int64_t>(n))));
    }

    std::size_t Fetch(std::int64_t off, std::uint8_t* dst, std::size_t n)
    {
        if (n == 0)
            return 0;
        const long long r = m_layer.ReadAt(m_fd, dst, n, off);
        if (r < 0)
            throw TFileError(m_path);
        return static_cast<std::size_t>(r);
    }

    TFileLayer& m_layer;
    int m_fd;
    std::int64_t m_size;
    const std::string& m_path;
    std::vector<std::uint8_t> m_window;
    std::int64_t m_windowOff = 0;
    std::size_t m_windowLen = 0;
    std::size_t m_next = kWindowBytes;
};

bool IsMissing(int err)
{
    return err == -ENOENT || err == -ENOTDIR || err == -ELOOP || err == -ENAMETOOLONG;
}

bool IsFrameIdByte(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

struct TLeadingScan {
    std::int64_t NonAudioBytes = 0; // leading tags and whatever stands before the first frame
    bool ID3v1Block = false;        // the last 128 bytes are an ID3v1 block
};

// The leading scan, and with it the one rule for the ID3v1 block that the
// writer follows too: "TAG" opening the last 128 bytes is a block unless a
// leading tag claims those bytes. Up to there the scan takes the block for the
// end of the file, so no tag or frame sync in its text counts, and what the
// frame probes read stops short of it.
// onTag(offset, size, fits) for each tag header; onFrame(offset, audioEnd) for the first frame.
template <typename OnTag, typename OnFrame>
TLeadingScan ScanLeading(TSource& src, std::int64_t fileSize, bool endsWithMarker, OnTag onTag, OnFrame onFrame)
{
    TLeadingScan scan;
    std::int64_t blockAt = endsWithMarker ? fileSize - static_cast<std::int64_t>(kID3v1BlockSize) : -1;
    std::int64_t end = blockAt >= 0 ? blockAt : fileSize;
    // Each offset with at least 11 bytes up to `end`, at most kScanLimit of
    // them, counted again after every tag. The read takes in the first
    // frame's probe too, so it comes from the same window.
    std::array<std::uint8_t, kScanLimit + kXingProbeBytes> buf;
    std::int64_t pos = 0;
    for (bool again = true; again;) {
        again = false;
        const std::int64_t count = std::min(kScanLimit, end - 10 - pos);
        if (count <= 0)
            break;
        src.Read(pos, buf.data(), static_cast<std::size_t>(count) + kXingProbeBytes);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::uint8_t* b = buf.data() + i;
            if (TID3v2Reader::IsID3v2Marker(b, true)) {
                const std::int64_t offset = pos + i;
                const std::int64_t size = TID3v2Reader::DecodeSynchsafe(b + 6) + 10 + ((b[5] & 0x10) ? 10 : 0);
                const bool fits = offset + size <= fileSize;
                onTag(offset, size, fits);
                if (!fits)
                    break;
                scan.NonAudioBytes = pos = offset + size;
                if (blockAt >= 0 && pos > blockAt) {
                    blockAt = -1;
                    end = fileSize;
                }
                again = true;
                break;
            }
            if (IsFrameSync(b[0], b[1])) {
                scan.NonAudioBytes = pos + i;
                onFrame(pos + i, end);
                break;
            }
        }
    }
    scan.ID3v1Block = blockAt >= 0;
    return scan;
}

// The last 128 bytes open with "TAG" and do not end a tag appended at the
// end of the file, whose footer would stand in their last ten bytes.
bool EndsWithTagMarker(const std::uint8_t* last128, std::int64_t fileSize)
{
    if (std::memcmp(last128, "TAG", 3) != 0)
        return false;
    const std::uint8_t* footer = last128 + kID3v1BlockSize - 10;
    if (!TID3v2Reader::IsID3v2Marker(footer, false))
        return true;
    const std::int64_t size = TID3v2Reader::DecodeSynchsafe(footer + 6) + 20;
    return size < static_cast<std::int64_t>(kID3v1BlockSize) || fileSize - size <= 0;
}
} // namespace

bool TID3v2Reader::IsID3v2Marker(const std::uint8_t* b, bool wantHeader)
{
    const char* id = wantHeader ? "ID3" : "3DI";
    return std::memcmp(b, id, 3) == 0 && b[3] != 0xFF && b[4] != 0xFF && (b[5] & 0x0F) == 0 && b[6] < 0x80
        && b[7] < 0x80 && b[8] < 0x80 && b[9] < 0x80;
}

std::uint32_t TID3v2Reader::DecodeSynchsafe(const std::uint8_t* b)
{
    return (std::uint32_t(b[0]) << 21) + (std::uint32_t(b[1]) << 14) + (std::uint32_t(b[2]) << 7) + b[3];
}

void TID3v2Reader::Reset()
{
    MP3Info.Clear();
    ID3v1.Clear();
    Frames.clear();
    FileSize = 0;
    HasID3v2 = HasID3v1 = HasAudioFrame = false;
    Duration = 0;
    ID3v2Offset = 0;
    ID3v2Size = 0;
    LeadingID3v2Offset = 0;
    LeadingID3v2Size = 0;
    ID3v2Fields = TID3v2Fields {};
    FileInformation = TFileInformation {};
    FileExists = false;
    LastBlock.fill(0);
    m_inflateLeft = kInflateBudget;
}

void TID3v2Reader::ReadTags()
{
    Reset();
    // O_NONBLOCK: a pipe that carries the name must not stall the scan.
    const int fd = m_layer->Open(FileName, O_RDONLY | O_NONBLOCK);
    if (IsMissing(fd))
        return;
    if (fd < 0)
        throw TFileError(FileName);
    TFileHandle file(*m_layer, fd);
    ReadFrom(fd);
}

void TID3v2Reader::ReadTags(int fd)
{
    Reset();
    ReadFrom(fd);
}

void TID3v2Reader::ReadFrom(int fd)
{
    TFileInformation info;
    if (m_layer->Stat(fd, info) < 0)
        throw TFileError(FileName);
    if (info.IsDirectory)
        return; // a folder is not a file
    const std::string name = BaseName(FileName);
    if (!name.empty() && name[0] == '.')
        info.Attributes |= kAttrHidden;
    FileExists = true;
    FileInformation = info;
    FileSize = static_cast<std::int64_t>(info.FileSize);
    if (FileSize == 0)
        return;

    TSource src(*m_layer, fd, FileSize, FileName);

    // The last 138 bytes: where an appended tag's footer stands in front of an
    // ID3v1 block, the block, and the last ten bytes. A shorter file leaves
    // zeros in front.
    std::uint8_t trail[kTrailBytes] = {};
    const std::int64_t trailStart = std::max<std::int64_t>(0, FileSize - static_cast<std::int64_t>(kTrailBytes));
    src.ReadAside(trailStart, trail + (kTrailBytes - static_cast<std::size_t>(FileSize - trailStart)),
        static_cast<std::size_t>(FileSize - trailStart));
    const std::uint8_t* block = trail + (kTrailBytes - kID3v1BlockSize);
    std::memcpy(LastBlock.data(), block, LastBlock.size());

    const auto onTag = [&](std::int64_t offset, std::int64_t size, bool fits) {
        // The first leading tag is the one players read; a damaged one is read as far as the file goes.
        if (LeadingID3v2Size == 0) {
            LeadingID3v2Offset = offset;
            LeadingID3v2Size = size;
        }
        if (ReadFields && !HasID3v2)
            ID3v2Fields = ReadID3v2Fields([&src](std::int64_t at, std::uint8_t* dst, std::size_t n) { src.Read(at, dst, n); },
                offset, std::min(size, FileSize - offset));
        HasID3v2 = true;
        ID3v2Offset = offset;
        ID3v2Size = static_cast<std::int32_t>(size);
        if (fits && ReadID3v2 && DecodeFrames) {
            std::vector<std::uint8_t> tag(static_cast<std::size_t>(size));
            src.Read(offset, tag.data(), tag.size());
            ParseID3v2Tag(tag);
        }
    };
    const auto onFrame = [&](std::int64_t offset, std::int64_t audioEnd) {
        HasAudioFrame = true;
        std::array<std::uint8_t, kXingProbeBytes> frame;
        src.ReadBefore(audioEnd, offset, frame.data(), frame.size());
        DecodeFrameHeader(frame.data());
        ProbeXing(frame.data(), MP3Info, Duration);
        // Stream copies put the Info header into a frame of the smallest rate
        // that holds it; the stream's own rate is in the frame behind it, at
        // most 1729 bytes on, mostly within the bytes already read.
        const std::size_t length = FrameLength(frame.data());
        if (length != 0 && HasInfoHeader(frame.data(), MP3Info)) {
            std::uint8_t next[4];
            src.ReadBefore(audioEnd, offset + static_cast<std::int64_t>(length), next, sizeof next);
            if (IsFrameSync(next[0], next[1]))
                DecodeFrameHeader(next);
        }
    };
    const bool endsWithMarker = FileSize >= static_cast<std::int64_t>(kID3v1BlockSize) && EndsWithTagMarker(block, FileSize);
    const TLeadingScan scan = ScanLeading(src, FileSize, endsWithMarker, onTag, onFrame);
    std::int64_t nonAudioBytes = scan.NonAudioBytes;

    // An appended tag ends where it meets the ID3v1 block or the end of the file.
    const auto takeAppended = [&](const std::uint8_t* footer, std::int64_t tagEnd) {
        const auto size = static_cast<std::int32_t>(DecodeSynchsafe(footer + 6) + 20);
        const std::int64_t offset = tagEnd - size;
        if (offset <= 0) {
            ID3v2Offset = 0;
            ID3v2Size = 0;
            return;
        }
        HasID3v2 = true;
        ID3v2Offset = offset;
        ID3v2Size = size;
        if (DecodeFrames) {
            std::vector<std::uint8_t> tag(static_cast<std::size_t>(size));
            src.Read(offset, tag.data(), tag.size());
            ParseID3v2Tag(tag);
        }
        nonAudioBytes += size;
    };

    // Appended tags are looked for only with room for a footer and a block.
    const bool roomForFooter = FileSize - nonAudioBytes >= static_cast<std::int64_t>(kTrailBytes);
    if (roomForFooter && !HasID3v2 && IsID3v2Marker(trail, false))
        takeAppended(trail, FileSize - 128);
    if (scan.ID3v1Block) {
        HasID3v1 = true;
        DecodeID3v1Block(block, ID3v1);
        nonAudioBytes += 128;
    }
    if (roomForFooter && !HasID3v2 && !HasID3v1 && IsID3v2Marker(trail + 128, false))
        takeAppended(trail + 128, FileSize);

    if (!HasID3v2 && HasID3v1 && CopyID3v2IfEmptyFromID3v1 && DecodeFrames)
        CopyID3v1ToFrames();

    ComputeLength(FileSize - nonAudioBytes, MP3Info, Duration);
}

void TID3v2Reader::ParseID3v2Tag(std::span<const std::uint8_t> tag)
{
    if (tag.size() < 10)
        return;
    const std::uint8_t tagFlags = tag[5];
    std::size_t pos = 10;
    if (tagFlags & 0x40) {
        if (tag.size() - pos < 4)
            return;
        // The extended header's size counts its own four size bytes.
        pos += DecodeSynchsafe(tag.data() + pos);
    }
    if (tagFlags & 0x80)
        SoundBeep(); // whole-tag unsynchronisation is not undone

    while (pos < tag.size() && tag.size() - pos >= 10) {
        const std::uint8_t* h = tag.data() + pos;
        if (!std::all_of(h, h + 4, IsFrameIdByte))
            return; // padding
        const std::uint32_t size = DecodeSynchsafe(h + 4);
        pos += 10;
        if (tag.size() - pos < size)
            return;

        TID3Frame frame;
        frame.FrameID.assign(reinterpret_cast<const char*>(h), 4);
        frame.TagAlterPreservation = h[8] & 0x40;
        frame.FileAlterPreservation = h[8] & 0x20;
        frame.ReadOnly = h[8] & 0x10;
        frame.GroupingIdentity = h[9] & 0x40;
        frame.Compression = h[9] & 0x08;
        frame.Encryption = h[9] & 0x04;
        frame.Unsynchronisation = h[9] & 0x02;
        frame.DataLengthIndicator = h[9] & 0x01;

        // The frame size counts the group byte and the data length indicator.
        // A frame too small for them keeps an empty body; the next one still counts.
        const std::size_t extra = (frame.GroupingIdentity ? 1 : 0) + (frame.DataLengthIndicator ? 4 : 0);
        if (size < extra) {
            Frames.push_back(std::move(frame));
            pos += size;
            continue;
        }
        const std::uint8_t* p = tag.data() + pos;
        if (frame.GroupingIdentity)
            frame.GroupID = *p++;
        std::uint32_t dataLength = 0;
        if (frame.DataLengthIndicator) {
            dataLength = DecodeSynchsafe(p);
            p += 4;
        }
        std::span<const std::uint8_t> body(p, size - extra);

        frame.Data = frame.Unsynchronisation ? RemoveUnsynchronisation(body)
                                             : std::vector<std::uint8_t>(body.begin(), body.end());
        if (frame.Compression && frame.DataLengthIndicator) {
            std::vector<std::uint8_t> inflated;
            // Data that does not inflate to its stated length keeps its stored bytes;
            // so does data that would inflate beyond all reason. A failed try
            // is charged too, so corrupt frames cannot repeat the work unbounded.
            if (dataLength <= m_inflateLeft) {
                const bool whole = InflateExactly(frame.Data, dataLength, inflated);
                m_inflateLeft -= inflated.size();
                if (whole)
                    frame.Data = std::move(inflated);
            }
        }
        Frames.push_back(std::move(frame));
        pos += size;
    }
}

void TID3v2Reader::CopyID3v1ToFrames()
{
    Frames.clear();
    // The encoding byte and the text: ISO-8859-1 where it holds the text, else UTF-16 with BOM.
    const auto body = [this](const std::string& text, bool blockText = true) {
        if (!ID3v1ToUtf8 || !blockText) {
            std::vector<std::uint8_t> data {0x00};
            data.insert(data.end(), text.begin(), text.end());
            return data;
        }
        return EncodeID3v2Text(ID3v1ToUtf8(text), 3);
    };
    const auto addText = [&](const char* id, const std::string& text, bool blockText = true) {
        if (text.empty())
            return;
        TID3Frame frame;
        frame.FrameID = id;
        frame.Data = body(text, blockText);
        Frames.push_back(std::move(frame));
    };
    addText("TIT2", ID3v1.Title);
    addText("TPE1", ID3v1.Artist);
    addText("TALB", ID3v1.Album);
    if (ID3v1.Track != 0)
        addText("TRCK", std::to_string(ID3v1.Track), false);
    addText("TYER", ID3v1.Year);
    addText("TCON", ID3v1.Genre, false); // the table's name, not the block's text
    if (!ID3v1.Comment.empty()) {
        TID3Frame frame;
        frame.FrameID = "COMM";
        // Encoding and an empty language code, the text, a terminator.
        const std::vector<std::uint8_t> text = body(ID3v1.Comment);
        frame.Data = {text[0], 0, 0, 0};
        frame.Data.insert(frame.Data.end(), text.begin() + 1, text.end());
        frame.Data.insert(frame.Data.end(), text[0] == 1 ? 2 : 1, 0);
        Frames.push_back(std::move(frame));
    }
}

std::vector<std::uint8_t> RemoveUnsynchronisation(std::span<const std::uint8_t> body)
{
    std::vector<std::uint8_t> out;
    out.reserve(body.size());
    std::uint8_t previous = 0;
    for (const std::uint8_t c : body) {
        if (!(previous == 0xFF && c == 0x00))
            out.push_back(c);
        previous = c;
    }
    return out;
}

bool InflateExactly(std::span<const std::uint8_t> body, std::uint32_t length, std::vector<std::uint8_t>& out)
{
    out.clear();
    if (length == 0)
        return true;
    z_stream zs {};
    if (inflateInit(&zs) != Z_OK)
        return false;
    zs.next_in = const_cast<Bytef*>(body.data());
    zs.avail_in = static_cast<uInt>(body.size());
    // Grow with what really comes out, so a false length cannot claim memory.
    std::array<std::uint8_t, 65536> chunk;
    int ret = Z_OK;
    while (out.size() < length) {
        const std::size_t want = std::min<std::size_t>(chunk.size(), length - out.size());
        zs.next_out = chunk.data();
        zs.avail_out = static_cast<uInt>(want);
        ret = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = want - zs.avail_out;
        out.insert(out.end(), chunk.data(), chunk.data() + produced);
        if (ret == Z_STREAM_END || (ret != Z_OK && ret != Z_BUF_ERROR) || (ret == Z_BUF_ERROR && produced == 0))
            break;
    }
    inflateEnd(&zs);
    return out.size() == length;
}

} // namespace km

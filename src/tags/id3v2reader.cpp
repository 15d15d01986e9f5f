#include "id3v2reader.h"

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
constexpr std::size_t kWindowBytes = 65536;  // later reads, so chains of small tags stay cheap
constexpr std::size_t kTrailBytes = 138;     // appended tag's footer and the ID3v1 block
constexpr std::size_t kInflateBudget = 64u << 20; // per tag; more counts as corrupt

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
        if (!Holds(off, avail) && avail <= kWindowBytes)
            Fill(off, kWindowBytes);
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
};

bool IsMissing(int err)
{
    return err == -ENOENT || err == -ENOTDIR || err == -ELOOP || err == -ENAMETOOLONG;
}

bool IsFrameIdByte(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
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
    FileInformation = TFileInformation {};
    FileExists = false;
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
    std::int64_t nonAudioBytes = 0;

    // Leading scan: each offset with at least 11 bytes from it on, at most
    // kScanLimit of them, counted again after every tag.
    std::array<std::uint8_t, kScanLimit + kXingProbeBytes> buf;
    std::int64_t pos = 0;
    for (bool again = true; again;) {
        again = false;
        const std::int64_t count = std::min(kScanLimit, FileSize - 10 - pos);
        if (count <= 0)
            break;
        src.Read(pos, buf.data(), static_cast<std::size_t>(count) + kXingProbeBytes);
        for (std::int64_t i = 0; i < count; ++i) {
            const std::uint8_t* b = buf.data() + i;
            if (IsID3v2Marker(b, true)) {
                const std::int64_t offset = pos + i;
                HasID3v2 = true;
                ID3v2Offset = offset;
                ID3v2Size = static_cast<std::int32_t>(DecodeSynchsafe(b + 6) + 10 + ((b[5] & 0x10) ? 10 : 0));
                if (offset + ID3v2Size > FileSize)
                    break;
                if (ReadID3v2 && DecodeFrames) {
                    std::vector<std::uint8_t> tag(static_cast<std::size_t>(ID3v2Size));
                    src.Read(offset, tag.data(), tag.size());
                    ParseID3v2Tag(tag);
                }
                nonAudioBytes = offset + ID3v2Size;
                pos = nonAudioBytes;
                again = true;
                break;
            }
            if (IsFrameSync(b[0], b[1])) {
                HasAudioFrame = true;
                nonAudioBytes = pos + i;
                DecodeFrameHeader(b);
                ProbeXing(b, MP3Info, Duration);
                break;
            }
        }
    }

    if (FileSize - nonAudioBytes >= static_cast<std::int64_t>(kTrailBytes)) {
        std::uint8_t trail[kTrailBytes];
        src.Read(FileSize - static_cast<std::int64_t>(kTrailBytes), trail, kTrailBytes);

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

        if (!HasID3v2 && IsID3v2Marker(trail, false))
            takeAppended(trail, FileSize - 128);
        if (std::memcmp(trail + 10, "TAG", 3) == 0) {
            HasID3v1 = true;
            DecodeID3v1Block(trail + 10, ID3v1);
            nonAudioBytes += 128;
        }
        if (!HasID3v2 && !HasID3v1 && IsID3v2Marker(trail + 128, false))
            takeAppended(trail + 128, FileSize);
    }

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
    std::size_t inflateBudget = kInflateBudget;

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
        const std::size_t extra = (frame.GroupingIdentity ? 1 : 0) + (frame.DataLengthIndicator ? 4 : 0);
        if (size < extra)
            return; // a frame too small for its own flags is corrupt
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
            // so does data that would inflate beyond all reason.
            if (dataLength <= inflateBudget && InflateExactly(frame.Data, dataLength, inflated)) {
                inflateBudget -= dataLength;
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
    const auto addText = [this](const char* id, const std::string& text) {
        if (text.empty())
            return;
        TID3Frame frame;
        frame.FrameID = id;
        frame.Data.reserve(text.size() + 1);
        frame.Data.push_back(0x00); // ISO-8859-1
        frame.Data.insert(frame.Data.end(), text.begin(), text.end());
        Frames.push_back(std::move(frame));
    };
    addText("TIT2", ID3v1.Title);
    addText("TPE1", ID3v1.Artist);
    addText("TALB", ID3v1.Album);
    if (ID3v1.Track != 0)
        addText("TRCK", std::to_string(ID3v1.Track));
    addText("TYER", ID3v1.Year);
    addText("TCON", ID3v1.Genre);
    if (!ID3v1.Comment.empty()) {
        TID3Frame frame;
        frame.FrameID = "COMM";
        // Encoding and an empty language code, the text, a terminator.
        frame.Data.assign(4, 0x00);
        frame.Data.insert(frame.Data.end(), ID3v1.Comment.begin(), ID3v1.Comment.end());
        frame.Data.push_back(0x00);
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

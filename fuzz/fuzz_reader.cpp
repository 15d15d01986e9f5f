// ReadTags over a file held in memory: the input is the whole file, read once
// as it is and once stretched past the reader's 64 KiB window by audio filler
// in front of its last 138 bytes. Every reading mode is tried; all of them
// must agree on everything but the frames, and with frame decoding off there
// are no frames at all.
#include "tags/id3v2reader.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int kFd = 7;

class TMemoryLayer : public km::TFileLayer {
public:
    TMemoryLayer(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    int Open(const std::string&, int) override { return kFd; }
    int Close(int fd) override
    {
        Check(fd);
        return 0;
    }
    int Stat(int fd, km::TFileInformation& info) override
    {
        Check(fd);
        info = {};
        info.Attributes = km::kAttrArchive;
        info.LastWriteTime = km::FileTimeFromUnix(1'600'000'000, 0);
        info.FileSize = m_size;
        info.NumberOfLinks = 1;
        info.IsRegular = true;
        return 0;
    }
    int StatLink(const std::string&, km::TFileInformation&) override { Fail("StatLink"); }
    long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off) override
    {
        Check(fd);
        if (off < 0)
            Fail("ReadAt before the start of the file");
        if (static_cast<std::uint64_t>(off) >= m_size)
            return 0;
        const std::size_t got = std::min<std::size_t>(n, m_size - static_cast<std::size_t>(off));
        std::memcpy(buf, m_data + off, got);
        return static_cast<long long>(got);
    }
    // A reader never changes the file.
    long long WriteAt(int, const void*, std::size_t, std::int64_t) override { Fail("WriteAt"); }
    int Truncate(int, std::int64_t) override { Fail("Truncate"); }
    int SetTimes(int, km::TFileTime, km::TFileTime) override { Fail("SetTimes"); }
    int RenameNoReplace(const std::string&, const std::string&) override { Fail("RenameNoReplace"); }

private:
    static void Check(int fd)
    {
        if (fd != kFd)
            Fail("a descriptor that was never opened");
    }
    [[noreturn]] static void Fail(const char* what)
    {
        std::fprintf(stderr, "fuzz_reader: %s\n", what);
        std::abort();
    }

    const std::uint8_t* m_data;
    std::size_t m_size;
};

bool SameInfos(const km::TID3v1Infos& a, const km::TID3v1Infos& b)
{
    return a.Title == b.Title && a.Artist == b.Artist && a.Album == b.Album && a.Comment == b.Comment
        && a.Genre == b.Genre && a.GenreIndex == b.GenreIndex && a.Track == b.Track && a.Year == b.Year;
}

bool SameFileInformation(const km::TFileInformation& a, const km::TFileInformation& b)
{
    return a.Attributes == b.Attributes && a.CreationTime == b.CreationTime && a.LastAccessTime == b.LastAccessTime
        && a.LastWriteTime == b.LastWriteTime && a.VolumeSerialNumber == b.VolumeSerialNumber
        && a.FileSize == b.FileSize && a.NumberOfLinks == b.NumberOfLinks && a.FileIndex == b.FileIndex
        && a.IsDirectory == b.IsDirectory && a.IsRegular == b.IsRegular;
}

// Everything ReadTags finds except the frames.
bool SameBesidesFrames(const km::TID3v2Reader& a, const km::TID3v2Reader& b)
{
    return a.FileExists == b.FileExists && a.MP3Info == b.MP3Info && SameInfos(a.ID3v1, b.ID3v1)
        && a.FileSize == b.FileSize && a.HasID3v2 == b.HasID3v2 && a.HasID3v1 == b.HasID3v1
        && a.HasAudioFrame == b.HasAudioFrame && a.Duration == b.Duration
        && SameFileInformation(a.FileInformation, b.FileInformation) && a.ID3v2Offset == b.ID3v2Offset
        && a.ID3v2Size == b.ID3v2Size;
}

void Expect(bool ok, const char* what, unsigned mode)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_reader: %s (mode %u)\n", what, mode);
    std::abort();
}

} // namespace

namespace {

void ReadAllModes(const std::uint8_t* data, std::size_t size)
{
    TMemoryLayer layer(data, size);
    km::TID3v2Reader first(layer);
    km::TID3v2Reader reader(layer);
    // Bit 0: ReadID3v2, bit 1: CopyID3v2IfEmptyFromID3v1, bit 2: DecodeFrames, bit 3: ReadFields.
    for (unsigned mode = 0; mode < 16; ++mode) {
        km::TID3v2Reader& r = mode == 0 ? first : reader;
        r.FileName = "/musik/lied.mp3";
        r.ReadID3v2 = mode & 1;
        r.CopyID3v2IfEmptyFromID3v1 = mode & 2;
        r.DecodeFrames = mode & 4;
        r.ReadFields = mode & 8;
        r.ReadTags(); // the memory layer never fails, so neither may this
        Expect(r.FileExists, "the file was not found", mode);
        Expect(r.FileSize == static_cast<std::int64_t>(size), "wrong file size", mode);
        if (!r.DecodeFrames)
            Expect(r.Frames.empty(), "frames without frame decoding", mode);
        if (mode != 0)
            Expect(SameBesidesFrames(first, r), "reading modes disagree beyond the frames", mode);
        if (r.HasID3v2)
            Expect(r.ID3v2Offset >= 0 && r.ID3v2Offset < static_cast<std::int64_t>(size) && r.ID3v2Size >= 10,
                "the ID3v2 tag starts outside the file", mode);
        if (r.HasID3v1)
            Expect(size >= km::kID3v1BlockSize, "an ID3v1 block in a short file", mode);
        if (r.ReadFields)
            Expect(r.ID3v2Fields.Version == 0 || r.HasID3v2, "ID3v2 fields without a tag", mode);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ReadAllModes(data, size);

    constexpr std::size_t kTrail = 138;
    constexpr std::size_t kFiller = 70'000;
    const std::size_t cut = size > kTrail ? size - kTrail : 0;
    std::vector<std::uint8_t> stretched(data, data + cut);
    stretched.resize(cut + kFiller, 0x11);
    stretched.insert(stretched.end(), data + cut, data + size);
    ReadAllModes(stretched.data(), stretched.size());
    return 0;
}

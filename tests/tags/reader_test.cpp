#include "tags/id3v2reader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Fill;
using test::Str;

struct Reader : TID3v2Reader {
    explicit Reader(const std::string& path, bool id3v2 = false, TFileLayer& layer = TFileLayer::Posix())
        : TID3v2Reader(layer)
    {
        FileName = path;
        ReadID3v2 = id3v2;
        ReadTags();
    }
};

// Audio filler that holds neither a sync byte nor a tag marker.
Bytes Audio(std::size_t n) { return Fill(n, 0x11); }

TEST(Reader, TinyFilesHoldNothing)
{
    test::TempDir dir;
    for (std::size_t n = 0; n <= 10; ++n) {
        Bytes asTag = test::Tag({});
        Bytes asFrame = Cat({test::Header(), Audio(6)});
        asTag.resize(n);
        asFrame.resize(n);
        for (const Bytes& b : {asTag, asFrame}) {
            const Reader r(dir.Write("tiny.mp3", b));
            EXPECT_EQ(r.FileSize, static_cast<std::int64_t>(n));
            EXPECT_FALSE(r.HasID3v2 || r.HasAudioFrame || r.HasID3v1) << n;
            EXPECT_EQ(r.Duration, 0u);
            EXPECT_EQ(r.MP3Info, TMP3Info());
        }
    }
    // Eleven bytes: the first offset is examined.
    EXPECT_TRUE(Reader(dir.Write("h.mp3", Cat({test::Tag({}), {0}}))).HasID3v2);
    const Reader frame(dir.Write("f.mp3", Cat({test::Header(), Audio(7)})));
    EXPECT_TRUE(frame.HasAudioFrame);
    EXPECT_EQ(frame.MP3Info.Bitrate, 128);
    EXPECT_EQ(frame.Duration, 11u * 8 / 128);
}

TEST(Reader, LeadingTagThenAudio)
{
    test::TempDir dir;
    const Bytes tag = test::Tag(Cat({test::TextFrame("TIT2", "Lied"), Fill(100)}));
    const Bytes file = Cat({tag, Fill(5, 0x00), test::Header(), Audio(20'000), test::V1("V1 Titel", "", "", "", "", 3, 17)});
    const std::string path = dir.Write("a.mp3", file);

    const Reader r(path);
    EXPECT_TRUE(r.HasID3v2);
    EXPECT_TRUE(r.HasAudioFrame);
    EXPECT_TRUE(r.HasID3v1);
    EXPECT_EQ(r.ID3v2Offset, 0);
    EXPECT_EQ(r.ID3v2Size, static_cast<std::int32_t>(tag.size()));
    EXPECT_EQ(r.FileSize, static_cast<std::int64_t>(file.size()));
    EXPECT_TRUE(r.Frames.empty()) << "frames stay unread, and an ID3v2 tag stops the copy from ID3v1";
    const std::int64_t audio = 4 + 20'000;
    EXPECT_EQ(r.Duration, static_cast<std::uint32_t>(audio * 8 / 128));
    EXPECT_EQ(r.ID3v1.Title, "V1 Titel");
    EXPECT_EQ(r.ID3v1.Genre, "(17)Rock");

    const Reader withFrames(path, true);
    ASSERT_EQ(withFrames.Frames.size(), 1u);
    EXPECT_EQ(withFrames.Frames[0].FrameID, "TIT2");
    EXPECT_EQ(withFrames.Duration, r.Duration);
}

TEST(Reader, ScanLimitCountsAgainAfterEachTag)
{
    test::TempDir dir;
    const auto frameAt = [&dir](const Bytes& before, std::size_t gap) {
        return Reader(dir.Write("s.mp3", Cat({before, Audio(gap), test::Header(), Audio(3000)})));
    };
    EXPECT_TRUE(frameAt({}, 2013).HasAudioFrame);
    EXPECT_FALSE(frameAt({}, 2014).HasAudioFrame);

    const Bytes tag = test::Tag(Fill(5000));
    const Reader found = frameAt(tag, 2013);
    EXPECT_TRUE(found.HasAudioFrame);
    EXPECT_EQ(found.Duration, static_cast<std::uint32_t>((4 + 3000) * 8 / 128));
    const Reader missed = frameAt(tag, 2014);
    EXPECT_FALSE(missed.HasAudioFrame);
    EXPECT_EQ(missed.MP3Info, TMP3Info());
    EXPECT_TRUE(missed.HasID3v2);

    // A second tag within reach of the first, then the frame within reach of the second.
    const Bytes second = test::Tag(test::TextFrame("TALB", "Zwei"));
    const Bytes file = Cat({tag, Audio(2000), second, Audio(2013), test::Header(), Audio(100)});
    const Reader two(dir.Write("two.mp3", file), true);
    EXPECT_TRUE(two.HasAudioFrame);
    EXPECT_EQ(two.ID3v2Offset, static_cast<std::int64_t>(tag.size() + 2000));
    EXPECT_EQ(two.ID3v2Size, static_cast<std::int32_t>(second.size()));
    ASSERT_EQ(two.Frames.size(), 1u);
    EXPECT_EQ(two.Frames[0].FrameID, "TALB");

    // Tags in a row are each decoded.
    const Reader row(dir.Write("row.mp3",
                         Cat({test::Tag(test::TextFrame("TIT2", "1")), test::Tag(test::TextFrame("TIT2", "2")),
                             test::Header(), Audio(500)})),
        true);
    ASSERT_EQ(row.Frames.size(), 2u);
    EXPECT_EQ(row.Frames[1].Data, Cat({{0}, Str("2")}));
    EXPECT_EQ(row.ID3v2Offset, 22);
}

TEST(Reader, TagRunningPastTheEndStopsTheScan)
{
    test::TempDir dir;
    Bytes header = test::Tag(Fill(10'000));
    header.resize(10);
    const Bytes file = Cat({header, test::Header(), Audio(400), test::V1("Titel")});
    const Reader r(dir.Write("past.mp3", file), true);
    EXPECT_TRUE(r.HasID3v2);
    EXPECT_EQ(r.ID3v2Offset, 0);
    EXPECT_EQ(r.ID3v2Size, 10'010);
    EXPECT_FALSE(r.HasAudioFrame);
    EXPECT_TRUE(r.Frames.empty());
    EXPECT_TRUE(r.HasID3v1);
    EXPECT_EQ(r.Duration, 0u);

    // The footer flag adds ten bytes to the size.
    const Bytes withFooter = test::Tag(test::TextFrame("TIT2", "x"), 0x10);
    const Reader f(dir.Write("footer.mp3", Cat({withFooter, test::Header(), Audio(1000)})));
    EXPECT_EQ(f.ID3v2Size, static_cast<std::int32_t>(withFooter.size()));
    EXPECT_EQ(f.Duration, static_cast<std::uint32_t>(1004 * 8 / 128));
}

TEST(Reader, AppendedTags)
{
    test::TempDir dir;
    const Bytes appended = test::Tag(test::TextFrame("TIT2", "Hinten"), 0x10);
    const Bytes lead = Cat({test::Header(), Audio(5000)});

    // In front of an ID3v1 block: decoded even with frames off.
    const Bytes file = Cat({lead, appended, test::V1("Eins")});
    const Reader r(dir.Write("app.mp3", file));
    EXPECT_TRUE(r.HasID3v2);
    EXPECT_TRUE(r.HasID3v1);
    EXPECT_EQ(r.ID3v2Offset, static_cast<std::int64_t>(lead.size()));
    EXPECT_EQ(r.ID3v2Size, static_cast<std::int32_t>(appended.size()));
    ASSERT_EQ(r.Frames.size(), 1u);
    EXPECT_EQ(r.Frames[0].Data, Cat({{0}, Str("Hinten")}));
    EXPECT_EQ(r.Duration, static_cast<std::uint32_t>(lead.size() * 8 / 128));

    // At the very end, without an ID3v1 block.
    const Reader end(dir.Write("end.mp3", Cat({lead, appended})));
    EXPECT_TRUE(end.HasID3v2);
    EXPECT_FALSE(end.HasID3v1);
    EXPECT_EQ(end.ID3v2Offset, static_cast<std::int64_t>(lead.size()));
    EXPECT_EQ(end.Duration, static_cast<std::uint32_t>(lead.size() * 8 / 128));

    // With an ID3v1 block the end of the file is not looked at for a footer.
    const Reader both(dir.Write("both.mp3", Cat({lead, appended, Fill(1), test::V1("x")})));
    EXPECT_FALSE(both.HasID3v2);
    EXPECT_TRUE(both.HasID3v1);

    // A footer whose tag would start at or before offset 0 is ignored.
    Bytes bogus = Cat({Str("3DI"), {4, 0, 0x10}, test::Synchsafe(6000)});
    const Reader ignored(dir.Write("bogus.mp3", Cat({lead, bogus, test::V1("x")})));
    EXPECT_FALSE(ignored.HasID3v2);
    EXPECT_EQ(ignored.ID3v2Offset, 0);
    EXPECT_EQ(ignored.ID3v2Size, 0);
    EXPECT_TRUE(ignored.HasID3v1);
    ASSERT_EQ(ignored.Frames.size(), 1u) << "no ID3v2 tag, so the ID3v1 fields become frames";
    // A tag that would start exactly at offset 0 is ignored too; at offset 1 it counts.
    const Bytes footer90 = Cat({Str("3DI"), {4, 0, 0x10}, test::Synchsafe(90)});
    const Reader atZero(dir.Write("zero.mp3", Cat({Audio(100), footer90, test::V1("x")})));
    EXPECT_FALSE(atZero.HasID3v2);
    EXPECT_EQ(atZero.ID3v2Size, 0);
    const Bytes footer89 = Cat({Str("3DI"), {4, 0, 0x10}, test::Synchsafe(89)});
    const Reader atOne(dir.Write("one.mp3", Cat({Audio(100), footer89, test::V1("x")})));
    EXPECT_TRUE(atOne.HasID3v2);
    EXPECT_EQ(atOne.ID3v2Offset, 1);
    EXPECT_EQ(atOne.ID3v2Size, 109);

    // A leading tag keeps appended tags from being looked for.
    const Reader leading(dir.Write("lead.mp3", Cat({test::Tag(Fill(20)), lead, appended, test::V1("x")})));
    EXPECT_EQ(leading.ID3v2Offset, 0);
    EXPECT_TRUE(leading.Frames.empty());
}

TEST(Reader, ID3v1BlockNeedsRoomAndAnUpperCaseMarker)
{
    test::TempDir dir;
    EXPECT_TRUE(Reader(dir.Write("only.mp3", test::V1("Nur"))).HasID3v1) << "128 bytes are enough";
    const Reader r(dir.Write("ten.mp3", Cat({Fill(10), test::V1("Nur")})));
    EXPECT_TRUE(r.HasID3v1);
    EXPECT_FALSE(r.HasAudioFrame);
    EXPECT_EQ(r.MP3Info, TMP3Info());
    EXPECT_EQ(r.Duration, 0u);
    ASSERT_EQ(r.Frames.size(), 1u);
    EXPECT_EQ(r.Frames[0].FrameID, "TIT2");

    Bytes lower = Cat({Fill(10), test::V1("Nur")});
    lower[10] = 't';
    lower[11] = 'a';
    lower[12] = 'g';
    EXPECT_FALSE(Reader(dir.Write("lower.mp3", lower)).HasID3v1);

    TID3v2Reader noCopy;
    noCopy.FileName = dir.Write("nocopy.mp3", Cat({Fill(10), test::V1("Nur")}));
    noCopy.CopyID3v2IfEmptyFromID3v1 = false;
    noCopy.ReadTags();
    EXPECT_TRUE(noCopy.HasID3v1);
    EXPECT_TRUE(noCopy.Frames.empty());
}

TEST(Reader, ID3v1BlockRightBehindTheLeadingTagOrAnything)
{
    test::TempDir dir;
    const Bytes lead = test::Tag(test::TextFrame("TIT2", "a")); // 22 bytes
    const Reader r(dir.Write("150.mp3", Cat({lead, test::V1("Alt", "Band", "Platte", "1999", "Bem", 5, 17)})));
    EXPECT_TRUE(r.HasID3v1);
    EXPECT_EQ(r.ID3v1.Artist, "Band");
    EXPECT_EQ(r.ID3v1.Track, 5);
    EXPECT_EQ(r.ID3v2Size, 22);
    EXPECT_EQ(r.Duration, 0u);

    // Text that looks like a frame or a tag header is still the block's text.
    for (const Bytes& before : {lead, Fill(200, 0x11)}) {
        for (const std::string& title : {std::string("\xff\xf5 Sync"), std::string("ID3\x04\x00\x00\x00\x00\x00\x00", 10)}) {
            const Reader t(dir.Write("text.mp3", Cat({before, test::V1(title, "Band")})));
            EXPECT_TRUE(t.HasID3v1) << before.size();
            EXPECT_EQ(t.ID3v1.Artist, "Band");
            EXPECT_FALSE(t.HasAudioFrame);
            EXPECT_EQ(t.ID3v2Offset, 0);
            EXPECT_EQ(t.HasID3v2, before == lead);
        }
    }

    // A frame right in front of the block: its Xing probe does not read the title.
    const Reader near(dir.Write("near.mp3", Cat({Audio(100), test::Header(), Audio(16), test::V1("1234567890123Xing")})));
    EXPECT_TRUE(near.HasID3v1);
    EXPECT_FALSE(near.MP3Info.VBR);
    EXPECT_EQ(near.Duration, 20u * 8 / 128);

    // "TAG" inside the bytes a leading tag claims is no block.
    const Reader inside(dir.Write("inside.mp3", test::Tag(Cat({Fill(10), test::V1("Drin")}))));
    EXPECT_FALSE(inside.HasID3v1);
    EXPECT_EQ(inside.ID3v1.Title, "");
}

TEST(Reader, InfoFrameGivesWayToTheFrameBehindIt)
{
    test::TempDir dir;
    // Info at the Xing offset of a 64 kbit/s frame, then the 128 kbit/s stream.
    const auto info = [](const Bytes& header, int sideInfo, std::size_t length) {
        Bytes frame = Cat({header, Fill(static_cast<std::size_t>(sideInfo)), Str("Info"), test::BigEndian(0x0F)});
        frame.resize(length, 0);
        return frame;
    };
    for (const auto& [header, length] : {std::pair {test::Header(0xFB, 0x50), 208u}, std::pair {test::Header(0xFB, 0x52), 209u}}) {
        const Bytes file = Cat({test::Tag(Fill(40)), info(header, 32, length), test::Header(), Audio(40'000), test::V1("x")});
        const Reader r(dir.Write("info.mp3", file));
        EXPECT_EQ(r.MP3Info.Bitrate, 128) << length;
        EXPECT_FALSE(r.MP3Info.VBR);
        EXPECT_EQ(r.Duration, static_cast<std::uint32_t>((length + 4 + 40'000) * 8 / 128));
    }

    // MPEG 2 Layer III frames are half as long: 72 * 64000 / 22050 = 208 bytes.
    const Reader mpeg2(dir.Write("m2.mp3", Cat({info(test::Header(0xF3, 0x80), 17, 208), test::Header(0xF3, 0x40), Audio(1000)})));
    EXPECT_EQ(mpeg2.MP3Info.Bitrate, 32);

    // The longest first frame, far into the scan: MPEG 1 Layer II, 384 kbit/s, 32 kHz, padded.
    const Reader longest(dir.Write("l2.mp3", Cat({Audio(2000), info(test::Header(0xFD, 0xEA, 0xC0), 17, 1729),
                                                     test::Header(0xFD, 0x88, 0xC0), Audio(5000)})));
    EXPECT_EQ(longest.MP3Info.Layer, 2);
    EXPECT_EQ(longest.MP3Info.Bitrate, 128);

    // No frame behind it: the first frame stays.
    const Reader alone(dir.Write("alone.mp3", Cat({info(test::Header(0xFB, 0x50), 32, 208), Audio(3000)})));
    EXPECT_EQ(alone.MP3Info.Bitrate, 64);
    EXPECT_FALSE(alone.MP3Info.VBR);
}

TEST(Reader, XingInTheFirstFrame)
{
    test::TempDir dir;
    const Bytes frame = test::XingFrame(test::Header(), 32, 0x0F, 9000);
    const Bytes file = Cat({test::Tag(Fill(300)), frame, Audio(4'000'000 - frame.size()), test::V1("x")});
    const Reader r(dir.Write("vbr.mp3", file));
    EXPECT_TRUE(r.MP3Info.VBR);
    EXPECT_EQ(r.Duration, 235'000u);
    EXPECT_EQ(r.MP3Info.Bitrate, 136);

    // A frame in the last bytes of the file: the probe reads nothing beyond it.
    const Reader tail(dir.Write("tail.mp3", Cat({Audio(1000), test::Header(), Fill(32), Str("Xi")})));
    EXPECT_TRUE(tail.HasAudioFrame);
    EXPECT_FALSE(tail.MP3Info.VBR);
    const Reader cut(dir.Write("cut.mp3", Cat({Audio(1000), test::Header(), Fill(32), Str("Xing"), {0, 0}})));
    EXPECT_TRUE(cut.MP3Info.VBR);
    EXPECT_EQ(cut.Duration, 0u);

    // More than 2014 bytes of garbage before the frame: nothing found.
    const Reader far(dir.Write("far.mp3", Cat({test::Noise(2100, 3), frame, Audio(100)})));
    EXPECT_FALSE(far.HasAudioFrame);
    EXPECT_FALSE(far.MP3Info.VBR);
}

TEST(Reader, MissingFilesFoldersAndResetBetweenReads)
{
    test::TempDir dir;
    const std::string rich = dir.Write("rich.mp3", Cat({test::Tag(Fill(30)), test::Header(), Audio(3000), test::V1("x", "y")}));
    TID3v2Reader r;
    r.ReadID3v2 = true;
    r.FileName = rich;
    r.ReadTags();
    ASSERT_TRUE(r.HasID3v1);
    ASSERT_NE(r.FileInformation.LastWriteTime, 0u);

    for (const std::string& path : {dir.Path() + "/missing.mp3", dir.Path(), rich + "/below.mp3"}) {
        r.FileName = path;
        EXPECT_NO_THROW(r.ReadTags()) << path;
        EXPECT_FALSE(r.FileExists) << path;
        EXPECT_FALSE(r.HasID3v1 || r.HasID3v2 || r.HasAudioFrame) << path;
        EXPECT_EQ(r.FileSize, 0);
        EXPECT_EQ(r.Duration, 0u);
        EXPECT_EQ(r.ID3v2Size, 0);
        EXPECT_EQ(r.ID3v1.Title, "");
        EXPECT_EQ(r.ID3v1.GenreIndex, 255);
        EXPECT_EQ(r.MP3Info, TMP3Info());
        EXPECT_TRUE(r.Frames.empty());
        EXPECT_EQ(r.FileInformation.LastWriteTime, 0u);
        EXPECT_EQ(r.FileInformation.Attributes, 0u);
    }

    r.FileName = dir.Write("empty.mp3", {});
    r.ReadTags();
    EXPECT_EQ(r.FileSize, 0);
    EXPECT_NE(r.FileInformation.LastWriteTime, 0u) << "an empty file still has its times";
    EXPECT_TRUE(r.FileExists);

    // A named pipe must not block the reader.
    const std::string fifo = dir.Path() + "/pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    r.FileName = fifo;
    EXPECT_NO_THROW(r.ReadTags());
    EXPECT_EQ(r.FileSize, 0);
}

TEST(Reader, FileInformationAttributesAndTimes)
{
    test::TempDir dir;
    const std::string hidden = dir.Write(".versteckt.mp3", Fill(20));
    const Reader h(hidden);
    EXPECT_EQ(h.FileInformation.Attributes, kAttrHidden);

    const std::string plain = dir.Write("normal.mp3", Fill(20));
    // 2020-01-02 03:04:05.5 UTC
    const struct timespec times[2] = {{1577934245, 0}, {1577934245, 500'000'000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, plain.c_str(), times, 0), 0);
    ASSERT_EQ(::chmod(plain.c_str(), 0444), 0);
    const Reader p(plain);
    EXPECT_EQ(p.FileInformation.Attributes, kAttrReadOnly);
    EXPECT_EQ(p.FileInformation.LastWriteTime, (1577934245ull + 11644473600ull) * 10'000'000ull + 5'000'000ull);
    EXPECT_EQ(p.FileInformation.LastAccessTime, (1577934245ull + 11644473600ull) * 10'000'000ull);
    EXPECT_EQ(p.FileInformation.FileSize, 20u);
    EXPECT_EQ(p.FileInformation.NumberOfLinks, 1u);
    EXPECT_NE(p.FileInformation.FileIndex, 0u);
}

TEST(Reader, FilesOfSeveralGigabytes)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/gross.mp3";
    const std::int64_t size = (5ll << 29) + 1000; // 2.5 GiB, sparse
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        const Bytes head = test::Header();
        const Bytes v1 = test::V1("Gross");
        ASSERT_EQ(::pwrite(fd, head.data(), head.size(), 0), 4);
        ASSERT_EQ(::pwrite(fd, v1.data(), v1.size(), size - 128), 128);
        ::close(fd);
    }
    const Reader r(path);
    EXPECT_EQ(r.FileSize, size);
    EXPECT_TRUE(r.HasID3v1);
    EXPECT_EQ(r.ID3v1.Title, "Gross");
    EXPECT_EQ(r.Duration, static_cast<std::uint32_t>((size - 128) * 8 / 128));
}

// Counts the calls and fails the one it is told to.
class TCountingLayer : public TFileLayer {
public:
    int opens = 0, closes = 0, stats = 0, reads = 0;
    std::size_t bytes = 0;
    int failOpen = 0, failStat = 0, failReadNumber = 0;

    int Open(const std::string& path, int flags) override
    {
        ++opens;
        return failOpen ? failOpen : TFileLayer::Open(path, flags);
    }
    int Close(int fd) override
    {
        ++closes;
        return TFileLayer::Close(fd);
    }
    int Stat(int fd, TFileInformation& info) override
    {
        ++stats;
        return failStat ? failStat : TFileLayer::Stat(fd, info);
    }
    long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off) override
    {
        ++reads;
        bytes += n;
        return reads == failReadNumber ? -EIO : TFileLayer::ReadAt(fd, buf, n, off);
    }
};

TEST(Reader, AFileCostsAHandfulOfCalls)
{
    test::TempDir dir;
    TCountingLayer small;
    Reader(dir.Write("small.mp3", Cat({test::Tag(Fill(500)), test::Header(), Audio(1500), test::V1("x")})), false, small);
    EXPECT_EQ(small.opens, 1);
    EXPECT_EQ(small.stats, 1);
    EXPECT_EQ(small.reads, 1) << "a small file is read at once";
    EXPECT_EQ(small.closes, 1);

    TCountingLayer big;
    const Bytes file = Cat({test::Tag(Fill(300'000)), test::Header(), Audio(1'000'000), test::V1("x")});
    Reader(dir.Write("big.mp3", file), false, big);
    EXPECT_LE(big.reads, 3) << "head, after the tag, tail";
    EXPECT_LE(big.bytes, 4096u + 8192u + 138u) << "a few KiB after a big tag, not a large window";
    EXPECT_EQ(big.closes, 1);
}

TEST(Reader, ListReaderSkipsFramesButNothingElse)
{
    test::TempDir dir;
    const Bytes appended = test::Tag(test::TextFrame("TIT2", "Hinten"), 0x10);
    for (const Bytes& file : {Cat({test::Header(), Audio(3000), appended, test::V1("a")}),
             Cat({Fill(10), test::V1("Nur", "B")}), Cat({test::Tag(Fill(40)), test::Header(), Audio(900)})}) {
        const std::string path = dir.Write("f.mp3", file);
        TID3v2Reader full;
        full.FileName = path;
        full.ReadID3v2 = false;
        full.ReadTags();
        TID3v2Reader lean;
        lean.FileName = path;
        lean.ReadID3v2 = true;
        lean.DecodeFrames = false;
        lean.ReadTags();
        EXPECT_TRUE(lean.Frames.empty());
        EXPECT_EQ(lean.HasID3v2, full.HasID3v2);
        EXPECT_EQ(lean.HasID3v1, full.HasID3v1);
        EXPECT_EQ(lean.ID3v2Offset, full.ID3v2Offset);
        EXPECT_EQ(lean.ID3v2Size, full.ID3v2Size);
        EXPECT_EQ(lean.Duration, full.Duration);
        EXPECT_EQ(lean.MP3Info, full.MP3Info);
        EXPECT_EQ(lean.ID3v1.Title, full.ID3v1.Title);
    }
}

TEST(Reader, ChainsOfSmallTagsStayCheap)
{
    test::TempDir dir;
    Bytes file;
    for (int k = 0; k < 20000; ++k) {
        const Bytes empty = test::Tag({});
        file.insert(file.end(), empty.begin(), empty.end());
    }
    const Bytes rest = Cat({test::Header(), Audio(1000)});
    file.insert(file.end(), rest.begin(), rest.end());
    TCountingLayer layer;
    const Reader r(dir.Write("chain.mp3", file), false, layer);
    EXPECT_TRUE(r.HasAudioFrame);
    EXPECT_EQ(r.ID3v2Offset, 199'990);
    EXPECT_LE(layer.reads, 8) << "reads come from a window, not one per tag";
}

TEST(Reader, FileLayerErrorsCarryThePathAndClose)
{
    test::TempDir dir;
    const std::string path = dir.Write("kaputt.mp3", Cat({test::Tag(Fill(300'000)), test::Header(), Audio(10'000), test::V1("x")}));

    TCountingLayer denied;
    denied.failOpen = -EACCES;
    try {
        Reader r(path, false, denied);
        ADD_FAILURE() << "no error";
    } catch (const TFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Datei " + path + " kann nicht geöffnet werden");
        EXPECT_EQ(e.Path(), path);
    }
    EXPECT_EQ(denied.closes, 0);

    TCountingLayer noStat;
    noStat.failStat = -EIO;
    EXPECT_THROW(Reader(path, false, noStat), TFileError);
    EXPECT_EQ(noStat.closes, 1);

    TCountingLayer clean;
    Reader(path, false, clean);
    ASSERT_GE(clean.reads, 2);
    for (int failing = 1; failing <= clean.reads; ++failing) {
        TCountingLayer layer;
        layer.failReadNumber = failing;
        EXPECT_THROW(Reader(path, false, layer), TFileError) << failing;
        EXPECT_EQ(layer.closes, 1) << "closed before the error leaves, read " << failing;
    }
}

// The fields an ID3v1 block stands beside, from the first leading tag, each
// version walked with its own frame sizes and text encodings.
TEST(Reader, ID3v2FieldsOfEveryVersion)
{
    test::TempDir dir;
    const auto fields = [&](const Bytes& tag, TFileLayer& layer) {
        TID3v2Reader r(layer);
        r.FileName = dir.Write("f.mp3", Cat({tag, test::Header(), Audio(2000), test::V1("v1")}));
        r.ReadID3v2 = false;
        r.DecodeFrames = false;
        r.ReadFields = true;
        r.ReadTags();
        return r.ID3v2Fields;
    };
    const auto frame3 = [](std::string_view id, const Bytes& body, std::uint8_t format = 0) {
        return Cat({Str(id), test::BigEndian(static_cast<std::uint32_t>(body.size())), {0, format}, body});
    };
    TFileLayer& posix = TFileLayer::Posix();

    // 2.4: synchsafe sizes, UTF-8 and UTF-16, TDRC for the year, the first
    // comment without description, a second tag behind that does not count.
    const Bytes v24 = test::Tag(Cat({test::Frame("TIT2", Cat({{3}, Str("Gr\xc3\xbc\xc3\x9f" "e")})),
        test::Frame("TPE1", Cat({{1, 0xFF, 0xFE}, Str(std::string("B\0a\0n\0d\0", 8))})),
        test::Frame("TYER", Cat({{0}, Str("1999")})), test::Frame("TDRC", Cat({{0}, Str("2004-05-06")})),
        test::Frame("COMM", Cat({{0}, Str("deu"), Str("Beschr"), {0}, Str("nein")})),
        test::Frame("COMM", Cat({{0}, Str("deu"), {0}, Str("ja")})), test::Frame("TRCK", Cat({{0}, Str("7/12")})),
        test::Frame("TCON", Cat({{0}, Str("(17)Rock")})), Fill(30)}));
    TID3v2Fields f = fields(Cat({v24, test::Tag(test::TextFrame("TIT2", "Zweiter"))}), posix);
    EXPECT_EQ(f.Version, 4);
    EXPECT_EQ(f.Texts[V2Title], "Gr\xc3\xbc\xc3\x9f" "e");
    EXPECT_EQ(f.Texts[V2Artist], "Band");
    EXPECT_EQ(f.Texts[V2Album], std::nullopt);
    EXPECT_EQ(f.Texts[V2Year], "2004-05-06");
    EXPECT_EQ(f.Texts[V2Comment], "ja");
    EXPECT_EQ(f.Texts[V2Track], "7/12");
    EXPECT_EQ(f.Texts[V2Genre], "(17)Rock");

    // 2.3: plain sizes; a large picture before the text frames is skipped, not read.
    const Bytes picture = Fill(300'000, 0x55);
    TCountingLayer counting;
    f = fields(test::Tag(Cat({frame3("APIC", picture), frame3("TIT2", Cat({{0}, Str("Titel \xe4")})),
                             frame3("TALB", Cat({{1, 0xFE, 0xFF}, Str(std::string("\0A\0l\xd8\x3d\xde\x00", 8))}))}),
                   0, 3),
        counting);
    EXPECT_EQ(f.Version, 3);
    EXPECT_EQ(f.Texts[V2Title], "Titel \xc3\xa4") << "ISO-8859-1";
    EXPECT_EQ(f.Texts[V2Album], "Al\xf0\x9f\x98\x80") << "UTF-16 with a surrogate pair";
    EXPECT_LT(counting.bytes, 40'000u) << "the picture stays unread";

    // 2.2: three-letter ids and sizes.
    const auto frame2 = [](std::string_view id, const Bytes& body) {
        const auto n = static_cast<std::uint32_t>(body.size());
        return Cat({Str(id), {std::uint8_t(n >> 16), std::uint8_t(n >> 8), std::uint8_t(n)}, body});
    };
    f = fields(test::Tag(Cat({frame2("TT2", Cat({{0}, Str("Alt")})), frame2("COM", Cat({{0}, Str("eng"), {0}, Str("Kom")})),
                             frame2("TYE", Cat({{0}, Str("1987")}))}),
                   0, 2),
        posix);
    EXPECT_EQ(f.Version, 2);
    EXPECT_EQ(f.Texts[V2Title], "Alt");
    EXPECT_EQ(f.Texts[V2Comment], "Kom");
    EXPECT_EQ(f.Texts[V2Year], "1987");

    // 2.3 unsynchronised as a whole, with an extended header: the frame's size
    // counts "ÿÿ" as it is, the file holds FF 00 FF 00.
    const Bytes ext = Cat({test::BigEndian(6), Fill(6)});
    f = fields(test::Tag(Cat({ext, Str("TIT2"), test::BigEndian(3), {0, 0}, {0, 0xFF, 0x00, 0xFF, 0x00}}), 0xC0, 3), posix);
    EXPECT_EQ(f.Texts[V2Title], "\xc3\xbf\xc3\xbf");
    // 2.4: a frame of its own unsynchronisation and data length; an encrypted one counts as missing.
    f = fields(test::Tag(Cat({test::Frame("TIT2", Cat({test::Synchsafe(3), {0}, {0xFF, 0x00, 0xFF, 0x00}}), 0, 0x03),
                             test::Frame("TALB", Cat({{0x80}, {0}, Str("geheim")}), 0, 0x04)})),
        posix);
    EXPECT_EQ(f.Texts[V2Title], "\xc3\xbf\xc3\xbf");
    EXPECT_EQ(f.Texts[V2Album], std::nullopt);

    // No leading tag: nothing, not even an appended one.
    f = fields(Bytes(), posix);
    EXPECT_EQ(f.Version, 0);
}

} // namespace
} // namespace km

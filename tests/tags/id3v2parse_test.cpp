#include "tags/id3v2reader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>
#include <zlib.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Str;

std::vector<TID3Frame> Parse(const Bytes& tag)
{
    TID3v2Reader r;
    r.ParseID3v2Tag(tag);
    return r.Frames;
}

Bytes Compress(const Bytes& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    EXPECT_EQ(compress(out.data(), &size, data.data(), static_cast<uLong>(data.size())), Z_OK);
    out.resize(size);
    return out;
}

TEST(ID3v2Parse, MarkersAndSynchsafe)
{
    const Bytes header = Cat({Str("ID3"), {4, 0, 0x10}, test::Synchsafe(1000)});
    EXPECT_TRUE(TID3v2Reader::IsID3v2Marker(header.data(), true));
    EXPECT_FALSE(TID3v2Reader::IsID3v2Marker(header.data(), false));
    const Bytes footer = Cat({Str("3DI"), {4, 0, 0x10}, test::Synchsafe(1000)});
    EXPECT_TRUE(TID3v2Reader::IsID3v2Marker(footer.data(), false));
    EXPECT_FALSE(TID3v2Reader::IsID3v2Marker(footer.data(), true));

    const auto with = [&header](std::size_t at, std::uint8_t value) {
        Bytes b = header;
        b[at] = value;
        return TID3v2Reader::IsID3v2Marker(b.data(), true);
    };
    EXPECT_FALSE(with(0, 'i'));
    EXPECT_FALSE(with(3, 0xFF));
    EXPECT_FALSE(with(4, 0xFF));
    EXPECT_TRUE(with(3, 0x00)) << "the version is not otherwise checked";
    EXPECT_TRUE(with(3, 0xFE));
    EXPECT_TRUE(with(5, 0xF0));
    EXPECT_FALSE(with(5, 0x01));
    EXPECT_FALSE(with(5, 0x08));
    for (std::size_t k = 6; k < 10; ++k) {
        EXPECT_FALSE(with(k, 0x80)) << k;
        EXPECT_TRUE(with(k, 0x7F)) << k;
    }

    const std::uint8_t s[4] = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(TID3v2Reader::DecodeSynchsafe(s), (1u << 21) + (2u << 14) + (3u << 7) + 4u);
    const std::uint8_t max[4] = {0x7F, 0x7F, 0x7F, 0x7F};
    EXPECT_EQ(TID3v2Reader::DecodeSynchsafe(max), (1u << 28) - 1);
}

TEST(ID3v2Parse, FramesFlagsAndStopRules)
{
    const Bytes tag = test::Tag(Cat({
        test::TextFrame("TIT2", "Hallo"),
        test::Frame("TPE1", Cat({{0}, Str("Wer")}), 0x70, 0x04),
        test::Frame("TXX9", Str("digits count")),
        test::Fill(20), // padding
    }));
    const auto frames = Parse(tag);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0].FrameID, "TIT2");
    EXPECT_EQ(frames[0].Data, Cat({{0}, Str("Hallo")}));
    EXPECT_FALSE(frames[0].ReadOnly);
    EXPECT_TRUE(frames[1].TagAlterPreservation);
    EXPECT_TRUE(frames[1].FileAlterPreservation);
    EXPECT_TRUE(frames[1].ReadOnly);
    EXPECT_TRUE(frames[1].Encryption);
    EXPECT_EQ(frames[1].Data, Cat({{0}, Str("Wer")})) << "encrypted bodies stay as stored";
    EXPECT_EQ(frames[2].FrameID, "TXX9");

    // A lower-case identifier ends the frames; those before stay.
    EXPECT_EQ(Parse(test::Tag(Cat({test::TextFrame("TIT2", "a"), test::TextFrame("tit2", "b")}))).size(), 1u);
    // A frame larger than the rest of the tag ends them too.
    Bytes tooBig = test::Tag(Cat({test::TextFrame("TIT2", "a"), test::TextFrame("TALB", "bcd")}));
    tooBig.resize(tooBig.size() - 1);
    EXPECT_EQ(Parse(tooBig).size(), 1u);
    // Fewer than ten bytes left: no further frame.
    EXPECT_EQ(Parse(test::Tag(Cat({test::TextFrame("TIT2", "a"), Str(std::string_view("TALB\0\0\0", 7))}))).size(), 1u);
    // A frame of size zero is a frame.
    const auto empty = Parse(test::Tag(test::Frame("TIT2", {})));
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_TRUE(empty[0].Data.empty());
    EXPECT_TRUE(Parse(Str("ID3\4\0")).empty());
}

TEST(ID3v2Parse, ExtendedHeaderIsSkippedAndWholeTagUnsyncBeeps)
{
    int beeps = 0;
    SetBeepHandler([&beeps] { ++beeps; });
    // Extended header of 6 bytes: its size, a flag byte count and one flag byte.
    const Bytes ext = Cat({test::Synchsafe(6), {1, 0}});
    const auto frames = Parse(test::Tag(Cat({ext, test::TextFrame("TIT2", "x")}), 0x40));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].FrameID, "TIT2");
    EXPECT_EQ(beeps, 0);

    const auto unsynced = Parse(test::Tag(test::TextFrame("TIT2", "x"), 0x80));
    EXPECT_EQ(unsynced.size(), 1u);
    EXPECT_EQ(beeps, 1);
    SetBeepHandler(nullptr);

    // The size counts its own four bytes: a size of 2 sends the frame search into
    // the size bytes themselves, where no frame starts.
    EXPECT_TRUE(Parse(test::Tag(Cat({test::Synchsafe(2), test::TextFrame("TIT2", "y")}), 0x40)).empty());
    EXPECT_EQ(Parse(test::Tag(Cat({test::Synchsafe(4), test::TextFrame("TIT2", "y")}), 0x40)).size(), 1u);

    // An extended header claiming more than the tag holds leaves no frames.
    EXPECT_TRUE(Parse(test::Tag(Cat({test::Synchsafe(5000), test::TextFrame("TIT2", "x")}), 0x40)).empty());
}

TEST(ID3v2Parse, UnsynchronisationPerFrame)
{
    EXPECT_EQ(RemoveUnsynchronisation(Bytes {0xFF, 0x00, 0x00, 0x41}), (Bytes {0xFF, 0x00, 0x41}));
    EXPECT_EQ(RemoveUnsynchronisation(Bytes {0xFF, 0xFF, 0x00, 0xFF}), (Bytes {0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(RemoveUnsynchronisation(Bytes {0x00, 0xFF}), (Bytes {0x00, 0xFF}));
    EXPECT_EQ(RemoveUnsynchronisation(Bytes {0xFF, 0x00, 0xFF, 0x00}), (Bytes {0xFF, 0xFF}));

    const auto frames = Parse(test::Tag(test::Frame("APIC", Bytes {0xFF, 0x00, 0x00, 0x41}, 0, 0x02)));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].Unsynchronisation);
    EXPECT_EQ(frames[0].Data, (Bytes {0xFF, 0x00, 0x41}));
}

TEST(ID3v2Parse, GroupByteAndLengthIndicatorCountInTheFrameSize)
{
    const Bytes text = Str("Ein Titel, der sich gut packen lässt, lässt, lässt, lässt");
    const Bytes packed = Compress(text);

    // Group byte, indicator and compressed body inside the declared size, then a second frame.
    const Bytes tag = test::Tag(Cat({
        test::Frame("TIT2", Cat({{0x23}, test::Synchsafe(static_cast<std::uint32_t>(text.size())), packed}), 0, 0x49),
        test::TextFrame("TALB", "next"),
    }));
    const auto frames = Parse(tag);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0].GroupingIdentity);
    EXPECT_TRUE(frames[0].Compression);
    EXPECT_TRUE(frames[0].DataLengthIndicator);
    EXPECT_EQ(frames[0].GroupID, 0x23);
    EXPECT_EQ(frames[0].Data, text);
    EXPECT_EQ(frames[1].FrameID, "TALB") << "the next frame starts right after the declared size";
    EXPECT_EQ(frames[1].Data, Cat({{0}, Str("next")}));

    // Only the indicated length is kept.
    const auto shortened = Parse(test::Tag(test::Frame("TIT2", Cat({test::Synchsafe(5), packed}), 0, 0x09)));
    ASSERT_EQ(shortened.size(), 1u);
    EXPECT_EQ(shortened[0].Data, Bytes(text.begin(), text.begin() + 5));

    // Compression without the indicator keeps the stored bytes.
    const auto stored = Parse(test::Tag(test::Frame("TIT2", packed, 0, 0x08)));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].Data, packed);

    // An indicator alone just takes its four bytes.
    const auto dli = Parse(test::Tag(test::Frame("TIT2", Cat({test::Synchsafe(3), Str("abc")}), 0, 0x01)));
    ASSERT_EQ(dli.size(), 1u);
    EXPECT_EQ(dli[0].Data, Str("abc"));

    // A frame too small for its own flag bytes gets an empty body; the frames behind it still count.
    EXPECT_EQ(Parse(test::Tag(Cat({test::TextFrame("TIT1", "a"), test::Frame("TIT2", Str("ab"), 0, 0x41)}))).size(), 2u);
    Bytes eight;
    for (const char* id : {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON", "TCOP", "TSSE"}) {
        const Bytes frame = test::TextFrame(id, id);
        eight.insert(eight.end(), frame.begin(), frame.end());
    }
    const auto behind = Parse(test::Tag(Cat({test::Frame("TENC", {0x00}, 0, 0x01), eight})));
    ASSERT_EQ(behind.size(), 9u);
    EXPECT_EQ(behind[0].FrameID, "TENC");
    EXPECT_TRUE(behind[0].Data.empty());
    EXPECT_EQ(behind[8].FrameID, "TSSE");
    EXPECT_EQ(behind[8].Data, Cat({{0}, Str("TSSE")}));
}

TEST(ID3v2Parse, CorruptCompressedDataKeepsItsBytes)
{
    const Bytes text(3000, 'q');
    Bytes packed = Compress(text);
    // Longer than the stream really inflates to.
    const auto tooLong = Parse(test::Tag(test::Frame("TIT2", Cat({test::Synchsafe(3001), packed}), 0, 0x09)));
    ASSERT_EQ(tooLong.size(), 1u);
    EXPECT_EQ(tooLong[0].Data, packed);

    // Broken in the middle.
    Bytes broken = packed;
    broken.resize(broken.size() / 2);
    const auto cut = Parse(test::Tag(test::Frame("TIT2", Cat({test::Synchsafe(3000), broken}), 0, 0x09)));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].Data, broken);

    // Not zlib at all, with a huge claimed length: no error, no great allocation.
    const Bytes garbage = Str("not compressed at all");
    const auto junk = Parse(test::Tag(Cat({
        test::Frame("TIT2", Cat({test::Synchsafe((1u << 28) - 1), garbage}), 0, 0x09),
        test::TextFrame("TALB", "after"),
    })));
    ASSERT_EQ(junk.size(), 2u);
    EXPECT_EQ(junk[0].Data, garbage);
    EXPECT_EQ(junk[1].FrameID, "TALB");

    // Unsynchronised and compressed: the bytes are restored before inflating.
    Bytes withFF = packed;
    Bytes escaped;
    for (std::uint8_t b : withFF) {
        escaped.push_back(b);
        if (b == 0xFF)
            escaped.push_back(0x00);
    }
    const auto both = Parse(test::Tag(test::Frame("TIT2", Cat({test::Synchsafe(3000), escaped}), 0, 0x0B)));
    ASSERT_EQ(both.size(), 1u);
    EXPECT_EQ(both[0].Data, text);
}

TEST(ID3v2Parse, InflatingStopsAtASaneTotal)
{
    // Frames that each inflate to 40 MiB of zeros: the first is taken, the
    // second would pass 64 MiB for the tag and keeps its stored bytes.
    const Bytes zeros(40u << 20, 0);
    const Bytes packed = Compress(zeros);
    const Bytes frame = test::Frame("TIT2", Cat({test::Synchsafe(40u << 20), packed}), 0, 0x09);
    const auto frames = Parse(test::Tag(Cat({frame, frame})));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Data.size(), 40u << 20);
    EXPECT_EQ(frames[1].Data, packed);
}

TEST(ID3v2Parse, InflateBudgetHoldsForTheWholeFile)
{
    // Two chained tags, each with a frame inflating to 40 MiB: together past
    // the budget, so the second keeps its stored bytes, as within one tag.
    const Bytes packed = Compress(Bytes(40u << 20, 0));
    const Bytes frame = test::Frame("TIT2", Cat({test::Synchsafe(40u << 20), packed}), 0, 0x09);
    test::TempDir dir;
    TID3v2Reader r;
    r.FileName = dir.Write("kette.mp3", Cat({test::Tag(frame), test::Tag(frame), test::Header(), test::Fill(400)}));
    for (int pass = 0; pass < 2; ++pass) { // every ReadTags starts with the whole budget
        r.ReadTags();
        ASSERT_EQ(r.Frames.size(), 2u) << pass;
        EXPECT_EQ(r.Frames[0].Data.size(), 40u << 20) << pass;
        EXPECT_EQ(r.Frames[1].Data, packed) << pass;
    }
}

TEST(ID3v2Parse, CopyID3v1ToFramesOrderAndLayout)
{
    TID3v2Reader r;
    r.ID3v1.Title = "T";
    r.ID3v1.Artist = "";
    r.ID3v1.Album = "Al";
    r.ID3v1.Track = 12;
    r.ID3v1.Year = "1999";
    r.ID3v1.Genre = "(17)Rock";
    r.ID3v1.GenreIndex = 17;
    r.ID3v1.Comment = "C\xe4";
    r.Frames.emplace_back();
    r.CopyID3v1ToFrames();
    ASSERT_EQ(r.Frames.size(), 6u);
    const char* ids[] = {"TIT2", "TALB", "TRCK", "TYER", "TCON", "COMM"};
    for (std::size_t k = 0; k < 6; ++k)
        EXPECT_EQ(r.Frames[k].FrameID, ids[k]);
    EXPECT_EQ(r.Frames[0].Data, Cat({{0}, Str("T")}));
    EXPECT_EQ(r.Frames[2].Data, Cat({{0}, Str("12")}));
    EXPECT_EQ(r.Frames[4].Data, Cat({{0}, Str("(17)Rock")}));
    EXPECT_EQ(r.Frames[5].Data, Cat({{0, 0, 0, 0}, Str("C\xe4"), {0}}));

    r.ID3v1.Clear();
    r.ID3v1.Artist = "A";
    r.CopyID3v1ToFrames();
    ASSERT_EQ(r.Frames.size(), 1u) << "track 0 and empty texts give no frames";
    EXPECT_EQ(r.Frames[0].FrameID, "TPE1");
}

TEST(ID3v2Parse, FrameNameTable)
{
    ASSERT_EQ(ID3FrameNames.size(), 47u);
    EXPECT_EQ(ID3FrameNames[0].FrameID, "TIT1");
    EXPECT_EQ(ID3FrameNames[0].Caption, "Kategorie");
    EXPECT_EQ(ID3FrameNames[6].Caption, "Datenträgernummer");
    EXPECT_EQ(ID3FrameNames[10].Caption, "Interpret (zusätz.)");
    EXPECT_EQ(ID3FrameNames[17].Caption, "Musican credits");
    EXPECT_EQ(ID3FrameNames[27].FrameID, "TMOO");
    EXPECT_EQ(ID3FrameNames[28].FrameID, "TCOP");
    EXPECT_EQ(ID3FrameNames[44].FrameID, "TSOT");
    EXPECT_EQ(ID3FrameNames[45].Caption, "Benutzerdefiniert");
    EXPECT_EQ(ID3FrameNames[46].FrameID, "TYER");
    for (std::size_t k = 28; k <= 44; ++k)
        EXPECT_TRUE(ID3FrameNames[k].Caption.empty()) << k;
    for (const auto& row : ID3FrameNames)
        EXPECT_TRUE(row.Extra.empty());
}

TEST(ID3v2Parse, HostileTagsNeverReadOutside)
{
    // Random tags with plausible frame headers: the parser must stay inside its span.
    std::mt19937 rng(7);
    for (int round = 0; round < 3000; ++round) {
        Bytes body;
        const int frames = static_cast<int>(rng() % 4);
        for (int f = 0; f < frames; ++f) {
            Bytes content = test::Noise(rng() % 40, static_cast<std::uint32_t>(rng()), 0);
            Bytes frame = test::Frame("TIT2", content, static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()));
            if (rng() % 3 == 0)
                frame[4 + rng() % 4] = static_cast<std::uint8_t>(rng());
            body.insert(body.end(), frame.begin(), frame.end());
        }
        Bytes tag = test::Tag(body, static_cast<std::uint8_t>(rng() & 0xF0));
        tag.resize(rng() % (tag.size() + 1));
        Bytes exact(tag.begin(), tag.end()); // its own allocation, so ASan sees the end
        TID3v2Reader r;
        r.ParseID3v2Tag(exact);
        for (const auto& frame : r.Frames)
            EXPECT_LE(frame.Data.size(), exact.size() + (1u << 28));
    }
}

} // namespace
} // namespace km

#include "tags/id3v1tag.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

namespace km {
namespace {

using test::Bytes;

TID3v1Infos Decode(const Bytes& block)
{
    TID3v1Infos infos;
    DecodeID3v1Block(block.data(), infos);
    return infos;
}

TEST(ID3v1Tag, StoreFieldZeroFillsAndCutsAtTheWidth)
{
    TID3v1Tag tag;
    std::memset(&tag, 'x', sizeof tag);
    StoreField(tag.Titel, "abc");
    EXPECT_EQ(FieldText(tag.Titel), "abc");
    for (std::size_t i = 3; i < 30; ++i)
        EXPECT_EQ(tag.Titel[i], 0) << i;
    EXPECT_EQ(tag.Interpret[0], 'x') << "the neighbour field is untouched";

    const std::string thirty(30, 'T');
    StoreField(tag.Titel, thirty);
    EXPECT_EQ(FieldText(tag.Titel), thirty) << "a full field has no terminator and reads back whole";
    EXPECT_EQ(tag.Interpret[0], 'x');

    StoreField(tag.Titel, thirty + "U");
    EXPECT_EQ(FieldText(tag.Titel), thirty);

    StoreField(tag.Jahr, "19999");
    EXPECT_EQ(FieldText(tag.Jahr), "1999");
    StoreField(tag.Bemerkung, std::string(40, 'c'));
    EXPECT_EQ(FieldText(tag.Bemerkung).size(), 29u);
    EXPECT_EQ(tag.Titelnr, 'x') << "the comment does not run into the track byte";
}

TEST(ID3v1Tag, EmptyTagAndItsTest)
{
    const TID3v1Tag empty = EmptyTag();
    EXPECT_TRUE(IsEmptyTag(empty));
    EXPECT_EQ(empty.Musikrichtung, 255);
    EXPECT_EQ(empty.Titelnr, 0);

    TID3v1Tag t = empty;
    t.Musikrichtung = 0;
    EXPECT_FALSE(IsEmptyTag(t)) << "genre Blues is a value";
    t = empty;
    t.Titelnr = 1;
    EXPECT_FALSE(IsEmptyTag(t));
    t = empty;
    t.Jahr[0] = '2';
    EXPECT_FALSE(IsEmptyTag(t));
    t = empty;
    t.Bemerkung[28] = 'z';
    EXPECT_TRUE(IsEmptyTag(t)) << "a text field is empty when its first byte is zero";

    TID3v1Infos cleared;
    cleared.Title = "x";
    cleared.Clear();
    EXPECT_EQ(cleared.GenreIndex, 255);
    EXPECT_EQ(cleared.Track, 0);
    EXPECT_TRUE(cleared.Title.empty());
    const TID3v1Tag fromCleared = TagFromInfos(cleared);
    EXPECT_EQ(std::memcmp(&fromCleared, &empty, sizeof empty), 0);
}

TEST(ID3v1Tag, DecodeTrimsAndReadsEveryField)
{
    const TID3v1Infos i = Decode(test::V1("  Title  ", "\x01\x1f Artist\t", "Album", "1999", "note", 7, 17));
    EXPECT_EQ(i.Title, "Title");
    EXPECT_EQ(i.Artist, "Artist");
    EXPECT_EQ(i.Album, "Album");
    EXPECT_EQ(i.Year, "1999");
    EXPECT_EQ(i.Comment, "note");
    EXPECT_EQ(i.Track, 7);
    EXPECT_EQ(i.GenreIndex, 17);
    EXPECT_EQ(i.Genre, "(17)Rock");

    const TID3v1Infos blank = Decode(test::V1("     ", "\x01\x02\x20"));
    EXPECT_EQ(blank.Title, "");
    EXPECT_EQ(blank.Artist, "");

    // Text after the first zero byte does not count, high bytes are text.
    Bytes b = test::V1("ab");
    b[3 + 5] = 'z';
    b[3 + 1] = '\xe4';
    EXPECT_EQ(Decode(b).Title, "a\xe4");

    Bytes full = test::V1(std::string(30, 'T'), std::string(30, 'A'), std::string(30, 'L'), "2024");
    EXPECT_EQ(Decode(full).Title, std::string(30, 'T'));
    EXPECT_EQ(Decode(full).Artist, std::string(30, 'A'));
    EXPECT_EQ(Decode(full).Album, std::string(30, 'L'));
}

TEST(ID3v1Tag, TrackByteRulesOfVersion10And11)
{
    // An ID3v1.0 comment of 30 characters: the 30th lands in the track byte.
    Bytes v10 = test::V1("t");
    const std::string comment = "abcdefghijklmnopqrstuvwxyz0123";
    std::memcpy(v10.data() + 97, comment.data(), 30);
    const TID3v1Infos i = Decode(v10);
    EXPECT_EQ(i.Comment, comment.substr(0, 29));
    EXPECT_EQ(i.Track, '3');

    Bytes spaces = test::V1("t");
    std::memset(spaces.data() + 97, ' ', 30);
    EXPECT_EQ(Decode(spaces).Track, 0) << "space-padded ID3v1.0 comment";
    EXPECT_EQ(Decode(spaces).Comment, "");

    Bytes v11 = test::V1("t", "", "", "", "c", 7);
    EXPECT_EQ(v11[125], 0);
    EXPECT_EQ(Decode(v11).Track, 7);

    Bytes onlyTrackSpace = test::V1("t", "", "", "", "c", 0x20);
    EXPECT_EQ(Decode(onlyTrackSpace).Track, 0x20) << "byte 125 is zero, so 0x20 is a track";
}

TEST(ID3v1Tag, GenreTextOnlyForNamedIndices)
{
    EXPECT_EQ(Decode(test::V1("", "", "", "", "", 0, 0)).Genre, "(0)Blues");
    EXPECT_EQ(Decode(test::V1("", "", "", "", "", 0, 147)).Genre, "(147)Synthpop");
    for (const std::uint8_t g : {148, 200, 254, 255}) {
        const TID3v1Infos i = Decode(test::V1("", "", "", "", "", 0, g));
        EXPECT_EQ(i.Genre, "") << int(g);
        EXPECT_EQ(i.GenreIndex, g);
    }
}

TEST(ID3v1Tag, TagFromInfosAndBackIsByteExact)
{
    const Bytes block = test::V1(std::string(30, 'T'), "Artist", "Album", "1987", std::string(29, 'c'), 12, 148);
    const TID3v1Tag tag = TagFromInfos(Decode(block));
    EXPECT_EQ(FieldText(tag.Titel), std::string(30, 'T'));
    EXPECT_EQ(FieldText(tag.Bemerkung), std::string(29, 'c'));
    EXPECT_EQ(tag.Titelnr, 12);
    EXPECT_EQ(tag.Musikrichtung, 148);
    Bytes again(128);
    EncodeID3v1Block(tag, again.data());
    EXPECT_EQ(again, block);
}

} // namespace
} // namespace km

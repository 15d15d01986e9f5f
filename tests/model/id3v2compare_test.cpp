#include "model/id3v2compare.h"

#include "support/workbookreader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;

TID3v1Tag V1Tag(std::string_view title, std::string_view year = "", std::uint8_t track = 0, std::uint8_t genre = kNoGenre)
{
    TID3v1Tag tag = EmptyTag();
    StoreField(tag.Titel, title);
    StoreField(tag.Jahr, year);
    tag.Titelnr = track;
    tag.Musikrichtung = genre;
    return tag;
}

TID3v2Fields V2(std::initializer_list<std::pair<TID3v2Field, std::string>> texts)
{
    TID3v2Fields f;
    f.Version = 3;
    for (const auto& [field, text] : texts)
        f.Texts[field] = text;
    return f;
}

constexpr std::uint8_t Bit(TID3v2Field f) { return std::uint8_t(1u << f); }

TEST(ID3v2Compare, FieldsCountAsTheID3v1BlockWouldHoldThem)
{
    // Converted to Windows-1252 with "?", cut to the field's width, blanks off both ends.
    EXPECT_EQ(ID3v2Differences(V2({{V2Title, " A\xc5\x82" "b "}}), V1Tag("A?b")), 0);
    EXPECT_EQ(ID3v2Differences(V2({{V2Title, std::string(30, 'x') + "yyy"}}), V1Tag(std::string(30, 'x'))), 0);
    EXPECT_EQ(ID3v2Differences(V2({{V2Title, "a"}}), V1Tag("A")), Bit(V2Title)) << "case counts";
    EXPECT_EQ(ID3v2Differences(V2({{V2Title, ""}}), V1Tag("")), 0) << "missing and empty are one";
    EXPECT_EQ(ID3v2Differences(V2({}), V1Tag("x")), Bit(V2Title));
    EXPECT_EQ(ID3v2Differences(V2({{V2Year, "2004-05-06"}}), V1Tag("", "2004")), 0) << "the year's four bytes";

    // Tracks by the number before "/": none, 0 and words are one.
    EXPECT_EQ(ID3v2Differences(V2({{V2Track, " 07/12"}}), V1Tag("", "", 7)), 0);
    EXPECT_EQ(ID3v2Differences(V2({{V2Track, "eins"}}), V1Tag("", "", 0)), 0);
    EXPECT_EQ(ID3v2Differences(V2({{V2Track, "8"}}), V1Tag("", "", 7)), Bit(V2Track));
    EXPECT_EQ(ID3v2Differences(V2({{V2Track, "263"}}), V1Tag("", "", 7)), Bit(V2Track));

    // Genres as "(n)", "(n)Name", "n" or a table name; anything else is no genre.
    for (const char* rock : {"(17)", "(17)Rock", "17", "Rock"})
        EXPECT_EQ(ID3v2Differences(V2({{V2Genre, rock}}), V1Tag("", "", 0, 17)), 0) << rock;
    EXPECT_EQ(ID3v2Differences(V2({{V2Genre, "Krautrock"}}), V1Tag("", "", 0, kNoGenre)), 0);
    EXPECT_EQ(ID3v2Differences(V2({{V2Genre, "(RX)"}}), V1Tag("", "", 0, 17)), Bit(V2Genre));
    EXPECT_EQ(ID3v2Differences(V2({{V2Genre, "rock"}}), V1Tag("", "", 0, 17)), Bit(V2Genre));

    TID3v2Fields none;
    EXPECT_EQ(ID3v2Differences(none, V1Tag("x")), 0) << "no tag, nothing to disagree";
}

// Tags written by mutagen, read back as the list reads them.
TEST(ID3v2Compare, TagsOfAnotherWriterAsTheListSeesThem)
{
    test::TempDir dir;
    const Bytes audio = Cat({test::Header(), test::Fill(4000, 0x11)});
    const std::string v23 = dir.Write("v23.mp3", audio);
    const std::string v24 = dir.Write("v24.mp3", audio);
    const std::string script = "/usr/bin/python3 -c \"import sys\n"
                               "from mutagen.id3 import ID3, APIC, TIT2, TPE1, TALB, TYER, TDRC, COMM, TRCK, TCON\n"
                               "for path, v in ((sys.argv[1], 3), (sys.argv[2], 4)):\n"
                               "    t = ID3()\n"
                               "    t.add(APIC(encoding=0, mime='image/png', type=3, desc='', data=b'P' * 100000))\n"
                               "    t.add(TIT2(encoding=1, text='Titel'))\n"
                               "    t.add(TPE1(encoding=1, text='Andere Band'))\n"
                               "    t.add(TALB(encoding=3 if v == 4 else 1, text='Album mit einem Namen, der l\\u00e4nger ist'))\n"
                               "    t.add(TDRC(encoding=0, text='2004-05-06'))\n"
                               "    t.add(COMM(encoding=0, lang='deu', desc='ID3v1 Comment', text='anders'))\n"
                               "    t.add(COMM(encoding=0, lang='deu', desc='', text='Kommentar'))\n"
                               "    t.add(TRCK(encoding=0, text='7/12'))\n"
                               "    t.add(TCON(encoding=0, text='Rock'))\n"
                               "    if v == 3:\n"
                               "        t.update_to_v23()\n"
                               "    t.save(path, v2_version=v, v1=0)\n"
                               "\" '"
        + v23 + "' '" + v24 + "'";
    test::CommandOutput(script);
    // The ID3v1 block behind, as our writer would put it.
    for (const std::string& path : {v23, v24})
        dir.Write(path.substr(path.rfind('/') + 1),
            Cat({test::ReadFile(path), test::V1("Titel", "Band", "Album mit einem Namen, der l\xe4n", "2004", "Kommentar", 7, 17)}));

    TID3v2Reader reader;
    SetUpListReader(reader);
    reader.ReadFields = true;
    for (const auto& [path, version] : {std::pair {v23, 3}, std::pair {v24, 4}}) {
        TEintragDaten entry;
        ReadEntry(reader, path, entry);
        EXPECT_TRUE(entry.ID3v2Known);
        EXPECT_EQ(entry.ID3v2Version, version);
        // Only the artist differs; the album matches in its first 30 bytes, the year in its first four.
        EXPECT_EQ(entry.ID3v2Differs, Bit(V2Artist)) << version;
        EXPECT_EQ(ID3v2CellText(entry), std::to_string(2) + "." + std::to_string(version) + " \u2260");
    }

    // A list reader that was not asked reads nothing of it; an entry that knew it reads it again.
    TID3v2Reader lean;
    SetUpListReader(lean);
    TEintragDaten entry;
    ReadEntry(lean, v23, entry);
    EXPECT_FALSE(entry.ID3v2Known);
    entry.ID3v2Known = true;
    ReadEntry(lean, v24, entry);
    EXPECT_EQ(entry.ID3v2Version, 4);
}

} // namespace
} // namespace km

#include "model/structure.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace km {
namespace {

TNameStructure Structure(int k1, int k2, int k3, const char* tz1, const char* tz2)
{
    TNameStructure s;
    s.DNAufbau = {static_cast<std::uint8_t>(k1), static_cast<std::uint8_t>(k2), static_cast<std::uint8_t>(k3)};
    s.TZ1 = QString::fromUtf8(tz1);
    s.TZ2 = QString::fromUtf8(tz2);
    return s;
}

TID3v1Tag Tagged(const char* title, const char* artist = "", const char* album = "", const char* year = "",
    std::uint8_t track = 0)
{
    TID3v1Tag tag = EmptyTag();
    StoreField(tag.Titel, title);
    StoreField(tag.Interpret, artist);
    StoreField(tag.Album, album);
    StoreField(tag.Jahr, year);
    tag.Titelnr = track;
    return tag;
}

struct TSplit {
    TID3v1Tag Tag;
    TParsedFields Parsed;
};

TSplit Split(const char* name, const TNameStructure& s, const TID3v1Tag& start = Tagged("alt", "alt", "alt", "1900", 42),
    const char* folder = "/musik/", const char* year = "2001")
{
    TSplit r {start, {}};
    SplitFileName(QString::fromUtf8(name), QString::fromUtf8(folder), QString::fromUtf8(year), s, r.Tag, r.Parsed);
    return r;
}

std::string Titel(const TSplit& r) { return FieldText(r.Tag.Titel); }
std::string Interpret(const TSplit& r) { return FieldText(r.Tag.Interpret); }

TEST(NameSplit, WorkedExamplesOfOneName)
{
    const char* name = "07 - Artist - Song.mp3";
    TSplit r = Split(name, Structure(1, 2, 3, " - ", " - "));
    EXPECT_EQ(r.Tag.Titelnr, 7);
    EXPECT_EQ(Interpret(r), "Artist");
    EXPECT_EQ(Titel(r), "Song");
    EXPECT_EQ(FieldText(r.Tag.Album), "alt") << "fields the structure does not name keep their values";

    r = Split(name, Structure(2, 3, 0, " - ", ""));
    EXPECT_EQ(Interpret(r), "07");
    EXPECT_EQ(Titel(r), "Artist - Song") << "an empty separator takes the whole rest";
    EXPECT_EQ(r.Tag.Titelnr, 42);
    EXPECT_FALSE(r.Parsed.Titelnr);

    r = Split(name, Structure(2, 3, 0, " - ", " - "));
    EXPECT_EQ(Titel(r), "Artist") << "the rest behind the last used part is dropped";

    r = Split(name, Structure(1, 2, 3, " ", " - "));
    EXPECT_EQ(r.Tag.Titelnr, 7);
    EXPECT_EQ(Interpret(r), "- Artist") << "only characters up to the blank are trimmed";
    EXPECT_EQ(Titel(r), "Song");
    EXPECT_TRUE(r.Parsed.Titelnr && r.Parsed.Interpret && r.Parsed.Titel && !r.Parsed.Album && !r.Parsed.Jahr);
}

TEST(NameSplit, TrackNumbersAndTheShift)
{
    const TNameStructure s = Structure(1, 2, 3, " - ", " - ");
    TSplit r = Split("Artist - Song.mp3", s);
    EXPECT_EQ(r.Tag.Titelnr, 42) << "no leading number: split as Interpret, Titel";
    EXPECT_EQ(Interpret(r), "Artist");
    EXPECT_EQ(Titel(r), "Song");
    EXPECT_FALSE(r.Parsed.Titelnr);

    EXPECT_EQ(Split("-3 - A - B.mp3", s).Tag.Titelnr, 253);
    EXPECT_EQ(Split("123456789 - A - B.mp3", s).Tag.Titelnr, 21);
    EXPECT_EQ(Split("+5 - A - B.mp3", s).Tag.Titelnr, 5);
    // 10^23 - 1 is 255 modulo 256: long numbers do not overflow.
    EXPECT_EQ(Split("99999999999999999999999 - A - B.mp3", s).Tag.Titelnr, 255);
    r = Split(" - A - B.mp3", s);
    EXPECT_EQ(r.Tag.Titelnr, 0) << "an empty number counts as one";
    EXPECT_EQ(Interpret(r), "A");
    EXPECT_EQ(Split("1a - A - B.mp3", s).Tag.Titelnr, 42) << "no whole number: shifted";
    EXPECT_EQ(Interpret(Split("1a - A - B.mp3", s)), "1a");

    EXPECT_FALSE(IsWholeNumber(QStringLiteral("-")));
    EXPECT_FALSE(IsWholeNumber(QStringLiteral(" 7")));
    EXPECT_EQ(TrackFromText(QStringLiteral("x")), 0);
}

TEST(NameSplit, RestsExtensionsFolderAndYear)
{
    TSplit r = Split("Song.mp3", Structure(2, 3, 0, " - ", ""));
    EXPECT_EQ(Interpret(r), "Song");
    EXPECT_EQ(Titel(r), "") << "a missing separator leaves nothing for the next part";

    r = Split("a.b - c.mp3", Structure(2, 3, 0, " - ", ""));
    EXPECT_EQ(Interpret(r), "a.b");
    EXPECT_EQ(Titel(r), "c");
    EXPECT_EQ(Interpret(Split("ohne punkt - x", Structure(2, 3, 0, " - ", ""))), "ohne punkt");

    // Widths: 30 bytes of text, 4 of year; Windows-1252 bytes.
    r = Split("Über einen sehr langen Interpretennamen hinaus - 20345.mp3", Structure(2, 5, 0, " - ", ""));
    EXPECT_EQ(Interpret(r), QString::fromUtf8("Über einen sehr langen Interpr").toLatin1().toStdString());
    EXPECT_EQ(std::string(r.Tag.Jahr, 4), "2034");

    TNameStructure s = Structure(3, 0, 0, " - ", "");
    s.DirAlbum = true;
    s.JahrVonDatei = true;
    r = Split("x.mp3", s, Tagged("", "", "alt"), "/home/anna/Best Of/", "1999");
    EXPECT_EQ(FieldText(r.Tag.Album), "Best Of");
    EXPECT_EQ(FieldText(r.Tag.Jahr), "1999");
    EXPECT_TRUE(r.Parsed.Album && r.Parsed.Jahr);
    EXPECT_EQ(FieldText(Split("x.mp3", s, Tagged("", "", "alt"), "/", "").Tag.Album), "") << "the root has no name";
    EXPECT_EQ(FieldText(Split("x.mp3", s, Tagged("", "", "", "1900"), "/", "").Tag.Jahr), "")
        << "an unreadable date gives an empty year";
}

TEST(NameSplit, SeparatorCheck)
{
    EXPECT_FALSE(SeparatorsMissing(Structure(2, 3, 0, " - ", "")));
    EXPECT_TRUE(SeparatorsMissing(Structure(2, 0, 0, "", ""))) << "a used part 1 always needs TZ1";
    EXPECT_TRUE(SeparatorsMissing(Structure(1, 2, 3, " ", "")));
    EXPECT_FALSE(SeparatorsMissing(Structure(0, 2, 9, "", ""))) << "an unknown kind counts as nothing";
}

TEST(NameBuild, PiecesSeparatorsAndRemovedCharacters)
{
    TNameStructure s = Structure(1, 2, 3, " - ", " - ");
    EXPECT_EQ(BuildFileName(Tagged("Song", "Artist", "", "", 5), s), "05 - Artist - Song");
    EXPECT_EQ(BuildFileName(Tagged("Song", "Artist", "", "", 0), s), "Artist - Song");
    EXPECT_EQ(BuildFileName(Tagged("Song", "", "", "", 123), s), "123 - Song") << "an empty part takes its separator along";
    s.keinTitel0 = false;
    EXPECT_EQ(BuildFileName(Tagged("Song", "Artist", "", "", 0), s), "00 - Artist - Song");
    EXPECT_EQ(BuildFileName(Tagged("AC/DC: Live?", "", "", "", 0), Structure(3, 0, 0, " - ", "")), "ACDC Live");
    EXPECT_EQ(BuildFileName(Tagged("a\"*/:<>?\\|b  ", "", "", "", 0), Structure(3, 0, 0, "", "")), "ab  ");
    EXPECT_EQ(BuildFileName(Tagged("???", "", "", "", 0), Structure(3, 0, 0, "", "")), "");
    EXPECT_EQ(BuildFileName(Tagged("T", "I", "Al", "1999", 0), Structure(4, 5, 7, "_", "+")), "Al_1999");
    EXPECT_EQ(BuildFileName(Tagged("Gr\xfcn", "", "", "", 0), Structure(3, 0, 0, "", "")), QString::fromUtf8("Grün"));
    EXPECT_EQ(PartLabel(5), "Jahr");
    EXPECT_EQ(PartLabel(6), "");
}

TEST(NameBuild, YearIntoLocalFileDate)
{
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    // 1 January 2005, 00:30 in Berlin is still 2004 in UTC.
    const QDateTime local(QDate(2005, 1, 1), QTime(0, 30, 15), Qt::LocalTime);
    const TFileTime time = FileTimeFromUnix(local.toSecsSinceEpoch(), 300);
    EXPECT_EQ(LocalYear(time), "2005");
    const TFileTime moved = WithYear(time, QStringLiteral("1999"), 2026);
    std::int64_t s = 0;
    std::int64_t ns = 0;
    ASSERT_TRUE(FileTimeToUnix(moved, s, ns));
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(s, Qt::LocalTime), QDateTime(QDate(1999, 1, 1), QTime(0, 30, 15), Qt::LocalTime));
    EXPECT_EQ(ns, 300);
    EXPECT_EQ(LocalYear(WithYear(time, QString(), 2026)), "2026") << "no year: the current one";
    EXPECT_EQ(LocalYear(WithYear(time, QStringLiteral("19x9"), 2026)), "2026");
    EXPECT_EQ(WithYear(time, QStringLiteral("1500"), 2026), time);
    const QDateTime leap(QDate(2004, 2, 29), QTime(12, 0), Qt::LocalTime);
    const TFileTime leapTime = FileTimeFromUnix(leap.toSecsSinceEpoch(), 0);
    EXPECT_EQ(WithYear(leapTime, QStringLiteral("2003"), 2026), leapTime) << "29 February into a common year";
    EXPECT_EQ(WithYear(0, QStringLiteral("1999"), 2026), 0u);
    // 02:30 on 26 March 2023 did not happen in Berlin: the hour after.
    const QDateTime gap(QDate(2024, 3, 26), QTime(2, 30), Qt::LocalTime);
    ASSERT_TRUE(FileTimeToUnix(WithYear(FileTimeFromUnix(gap.toSecsSinceEpoch(), 0), QStringLiteral("2023"), 2026), s, ns));
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(s, Qt::LocalTime), QDateTime(QDate(2023, 3, 26), QTime(3, 30), Qt::LocalTime));
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace
} // namespace km

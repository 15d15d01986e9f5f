#include "edit/casing.h"

#include <gtest/gtest.h>

namespace km {
namespace {

// Windows-1252 bytes from UTF-8, so the cases read as text.
std::string B(const char* utf8) { return QString::fromUtf8(utf8).toLatin1().toStdString(); }

TEST(Casing, FirstLettersOfEveryWord)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"don't stop", "Don't Stop"}, {"2pac", "2Pac"}, {"rock'n'roll", "Rock'n'roll"}, {"AC/DC", "Ac/Dc"},
        {"o'neil-smith", "O'neil-Smith"}, {"GRÜN", "Grün"}, {"ÄRGER", "Ärger"}, {"", ""},
        {"  zwei   blanks ", "  Zwei   Blanks "}, {"a!b\"c&d(e)f+g,h-i.j/k:l;m<n=o>p?q", "A!B\"C&D(E)F+G,H-I.J/K:L;M<N=O>P?Q"},
        {"x#y$z%w*v[u]t_s", "X#y$z%w*v[u]t_s"}, {"éTÉ", "Été"}, {"straße", "Straße"}, {"ßuper", "ßUper"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConvertCase(B(c.in), CaseFirstLetters), B(c.out)) << c.in;
    // Letters of Windows-1252 beyond Latin-1, and a byte whose capital it cannot hold.
    EXPECT_EQ(ConvertCase(std::string("\xff\x9a\x9c\x9e"), CaseFirstLetters), "\x9f\x9a\x9c\x9e");
    EXPECT_EQ(ConvertCase(std::string("\xb5x"), CaseFirstLetters), "\xb5X") << "micro sign: no letter";
    const std::string thirty(30, 'a');
    EXPECT_EQ(ConvertCase(thirty, CaseFirstLetters).size(), 30u);
}

TEST(Casing, UpperAndLowerTouchOnlyAsciiLetters)
{
    EXPECT_EQ(ConvertCase(B("grün"), CaseUpper), B("GRüN"));
    EXPECT_EQ(ConvertCase(B("ÄRGER"), CaseLower), B("Ärger"));
    EXPECT_EQ(ConvertCase(B("Mixed 1 ÿ"), 7), B("Mixed 1 ÿ")) << "an unknown mode changes nothing";
    // Typed text: a character Windows-1252 cannot hold is the "?" it becomes
    // when stored, so one file and several give the same bytes.
    EXPECT_EQ(ConvertCase(QString::fromUtf8("ałb ßx"), CaseFirstLetters), QString::fromUtf8("AłB ßX"));
    EXPECT_EQ(ConvertCase(B("a?b ßx"), CaseFirstLetters), B("A?B ßX"));
    EXPECT_EQ(ConvertCase(QString::fromUtf8("привет world"), CaseFirstLetters), QString::fromUtf8("привет World"));
    EXPECT_EQ(ConvertCase(QString::fromUtf8("привет"), CaseUpper), QString::fromUtf8("привет"));
    EXPECT_EQ(ConvertCase(QString::fromUtf8("ärger über"), CaseFirstLetters), QString::fromUtf8("Ärger Über"));
    EXPECT_EQ(ConvertCase(QString::fromUtf8("grün"), CaseUpper), QString::fromUtf8("GRüN"));
}

TEST(Casing, TagFieldsChangeWhereTheyStand)
{
    TID3v1Tag tag = EmptyTag();
    StoreField(tag.Titel, "hallo welt");
    tag.Titel[20] = 'x'; // behind the terminating zero
    StoreField(tag.Interpret, "die band");
    StoreField(tag.Album, "ALBUM");
    StoreField(tag.Jahr, "abcd");
    StoreField(tag.Bemerkung, "eine notiz");
    tag.Titelnr = 3;
    tag.Musikrichtung = 200;
    const TID3v1Tag out = ConvertTagCase(tag, CaseFirstLetters);
    EXPECT_EQ(FieldText(out.Titel), "Hallo Welt");
    EXPECT_EQ(out.Titel[20], 'x');
    EXPECT_EQ(FieldText(out.Interpret), "Die Band");
    EXPECT_EQ(FieldText(out.Album), "Album");
    EXPECT_EQ(FieldText(out.Jahr), "abcd") << "the year is no text to convert";
    EXPECT_EQ(FieldText(out.Bemerkung), "Eine Notiz");
    EXPECT_EQ(out.Titelnr, 3);
    EXPECT_EQ(out.Musikrichtung, 200);
}

} // namespace
} // namespace km

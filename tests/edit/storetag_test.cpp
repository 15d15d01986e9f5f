#include "edit/storetag.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(StoreTag, TypedTextBecomesFieldBytes)
{
    TID3v1Tag tag = EmptyTag();
    StoreTypedText(tag.Titel, QString::fromUtf8(" \tGrüße € 😀  "));
    EXPECT_EQ(FieldText(tag.Titel), "Gr\xfc\xdf" "e \x80 ?");
    StoreTypedText(tag.Titel, QString(31, QLatin1Char('x')));
    EXPECT_EQ(FieldText(tag.Titel), std::string(30, 'x')) << "cut at the width";
    StoreTypedText(tag.Jahr, QStringLiteral("   "));
    EXPECT_EQ(tag.Jahr[0], 0);
    StoreTypedText(tag.Bemerkung, QString(29, QChar(0xE4)));
    EXPECT_EQ(FieldText(tag.Bemerkung), std::string(29, '\xe4')) << "an umlaut is one byte";
}

TEST(StoreTag, TrackNumbers)
{
    EXPECT_EQ(TrackOfText("7"), 7);
    EXPECT_EQ(TrackOfText("255"), 255);
    EXPECT_EQ(TrackOfText("256"), 0);
    EXPECT_EQ(TrackOfText("257"), 1);
    EXPECT_EQ(TrackOfText(""), 0);
    EXPECT_EQ(TrackOfText("x1"), 0);
    EXPECT_EQ(TrackOfText("-1"), 255);
    EXPECT_EQ(TrackOfText("99999999999"), 0) << "too large to be a number";
    qint64 v = 0;
    EXPECT_TRUE(IsDecimalInteger("0042", &v));
    EXPECT_EQ(v, 42);
    EXPECT_FALSE(IsDecimalInteger(" 42"));
    EXPECT_FALSE(IsDecimalInteger(""));
    EXPECT_FALSE(IsDecimalInteger("4 2"));
}

TEST(StoreTag, SharedFieldsAndTypedFields)
{
    TID3v1Tag a = EmptyTag();
    StoreTypedText(a.Titel, QStringLiteral("A"));
    StoreTypedText(a.Album, QStringLiteral("Platte"));
    a.Musikrichtung = 200;
    TID3v1Tag b = a;
    StoreTypedText(b.Titel, QStringLiteral("a"));
    b.Album[10] = 'x'; // behind the terminating zero: not part of the text
    TFieldFlags flags {true, true, true, true, true, true, true};
    KeepSharedFields(flags, a, b);
    EXPECT_EQ(flags, (TFieldFlags {false, true, true, true, true, true, true}));

    // Only the flagged fields change; without a genre byte the tag keeps its own.
    TTypedFields typed {"Neu", "Wer", "", "1999", "", "256", std::nullopt};
    const TID3v1Tag out = ApplyTypedFields(a, typed, {true, false, true, false, false, true, true});
    EXPECT_EQ(FieldText(out.Titel), "Neu");
    EXPECT_EQ(FieldText(out.Interpret), "");
    EXPECT_EQ(FieldText(out.Album), "");
    EXPECT_EQ(FieldText(out.Jahr), "");
    EXPECT_EQ(out.Titelnr, 0);
    EXPECT_EQ(out.Musikrichtung, 200);
    typed.Musikrichtung = kNoGenre;
    flags[FlagMusikrichtung] = false;
    EXPECT_EQ(ApplyTypedFields(a, typed, flags).Musikrichtung, 200) << "not flagged";
    flags[FlagMusikrichtung] = true;
    EXPECT_EQ(ApplyTypedFields(a, typed, flags).Musikrichtung, kNoGenre);
}

} // namespace
} // namespace km

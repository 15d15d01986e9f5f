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

} // namespace
} // namespace km

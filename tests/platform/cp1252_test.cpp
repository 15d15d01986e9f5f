#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(QStringToCp1252(Cp1252ToQString(all)), all);
}

TEST(Cp1252, KnownCharacters)
{
    EXPECT_EQ(Cp1252ToUtf8("\x80"), "€");
    EXPECT_EQ(Cp1252ToUtf8("\xe4\xf6\xfc\xdf"), "äöüß");
    EXPECT_EQ(Cp1252ToUtf8("\x8a\x9f"), "ŠŸ");
    EXPECT_EQ(Cp1252ToUnicode(0x81), U'\u0081');
    EXPECT_EQ(Cp1252ToUnicode(0x9D), U'\u009D');
    EXPECT_EQ(UnicodeToCp1252(U'\u0090'), 0x90);
    EXPECT_EQ(UnicodeToCp1252(U'€'), 0x80);
    EXPECT_EQ(UnicodeToCp1252(U'\u0080'), -1) << "U+0080 has no byte; 0x80 is the euro sign";
    EXPECT_EQ(Cp1252ToQString("Gr\xfc\xdf"), QString::fromUtf8("Grüß"));
}

TEST(Cp1252, WhatCannotBeHeldBecomesAQuestionMark)
{
    EXPECT_EQ(Utf8ToCp1252("Ça coûte 5 €"), "\xc7" "a co\xfbte 5 \x80");
    EXPECT_EQ(Utf8ToCp1252("Привет"), "??????");
    EXPECT_EQ(Utf8ToCp1252("a😀b"), "a?b") << "one character, one question mark";
    EXPECT_EQ(QStringToCp1252(QString::fromUtf8("a😀b")), "a?b");
    EXPECT_EQ(Utf8ToCp1252("a\xff\xc3"), "a??") << "broken UTF-8";
    EXPECT_EQ(Utf8ToCp1252("\xc0\xaf"), "??") << "overlong forms are broken too";
}

} // namespace
} // namespace km

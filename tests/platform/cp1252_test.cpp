#include "platform/charset.h"
#include "platform/cp1252.h"
#include "tags/utf8.h"

#include <gtest/gtest.h>

#include <random>

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

// The other sets go through glibc's converters: Windows' own tables, one
// replacement character a byte the set leaves undefined, "?" for what it
// cannot hold, and widths that never cut a character.
TEST(Charset, TheSetsOfOtherCollections)
{
    const auto set = [](const char* name) {
        const TCharsetInfo* info = FindCharset(name);
        EXPECT_NE(info, nullptr) << name;
        return TCharset(info ? *info : Charsets[0]);
    };
    EXPECT_EQ(FindCharset("Windows-1251"), FindCharset("windows-1251"));
    EXPECT_EQ(FindCharset("cp1251"), nullptr);
    EXPECT_TRUE(set("windows-1252").IsDefault());
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(set("windows-1252").ToUtf8(all), Cp1252ToUtf8(all));

    EXPECT_EQ(set("windows-1251").ToUtf8("\xcf\xf0\xe8\xe2\xe5\xf2"), "Привет");
    EXPECT_EQ(set("windows-1251").FromUtf8("Привет, ł"), "\xcf\xf0\xe8\xe2\xe5\xf2, ?");
    EXPECT_EQ(set("koi8-r").ToUtf8("\xf0\xd2\xc9"), "При");
    EXPECT_EQ(set("windows-1253").ToUtf8("a\xaa" "b"), "a\uFFFD" "b") << "0xAA is undefined in Greek";
    EXPECT_EQ(set("windows-1258").ToUtf8("Ti\xea\xecng"), "Ti\u1EBFng") << "a base letter and its mark";
    EXPECT_EQ(set("shift_jis").ToUtf8("\x5c\x87\x40"), "\\①") << "Windows' table: a backslash and its extra rows";
    EXPECT_EQ(set("shift_jis").FromUtf8("日本"), "\x93\xfa\x96\x7b");
    EXPECT_EQ(set("shift_jis").ToUtf8("a\x93"), "a\uFFFD") << "a character cut off";
    EXPECT_EQ(set("gbk").FromUtf8("中文Ж€"), "\xd6\xd0\xce\xc4\xa7\xa8\x80");
    EXPECT_EQ(set("big5").ToUtf8("\xa4\xa4"), "中");
    EXPECT_EQ(set("euc-kr").FromUtf8("한😀"), "\xc7\xd1?");

    EXPECT_EQ(set("shift_jis").Fit("\x93\xfa\x96\x7b", 3), 2u) << "never half a character";
    EXPECT_EQ(set("shift_jis").Fit("a\x93\xfa", 2), 1u);
    EXPECT_EQ(set("shift_jis").Fit("ab", 30), 2u);
    EXPECT_EQ(set("windows-1251").Fit("\xcf\xf0\xe8", 2), 2u);
}

// Stepping reads what the converter reads, undefined and cut-off bytes
// included, for every set that steps by table.
TEST(Charset, StepsReadWhatTheConverterReads)
{
    std::mt19937 rng(26);
    int stepped = 0;
    for (const TCharsetInfo& info : Charsets) {
        const TCharset charset(info);
        if (!charset.StepsAlone())
            continue;
        ++stepped;
        for (int round = 0; round < 3000; ++round) {
            std::string bytes(rng() % 31, '\0');
            for (char& b : bytes)
                b = static_cast<char>(rng() % 4 == 0 ? rng() % 0x80 : 0x80 + rng() % 0x80);
            std::string steps;
            for (std::size_t at = 0; at < bytes.size();) {
                char32_t c = 0;
                at += charset.Step(bytes, at, c);
                AppendUtf8(steps, c);
            }
            ASSERT_EQ(steps, charset.ToUtf8(bytes)) << info.Name << " round " << round;
        }
    }
    EXPECT_EQ(stepped, 12) << "all but Windows-1252, Hebrew and Vietnamese";
}

} // namespace
} // namespace km

#include "tags/fileio.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(FileIo, FileTimeConversions)
{
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116'444'736'000'000'000ull);
    EXPECT_EQ(FileTimeFromUnix(1, 999'999'999), 116'444'736'000'000'000ull + 19'999'999ull);
    EXPECT_EQ(FileTimeFromUnix(-11'644'473'601, 0), 0u) << "before 1601";
    EXPECT_EQ(FileTimeFromUnix(9'000'000'000'000'000, 0), 0u) << "too far ahead to count";
    EXPECT_EQ(FileTimeFromUnix(INT64_MAX, 999'999'999), 0u);
    EXPECT_NE(FileTimeFromUnix(900'000'000'000, 0), 0u) << "year 30000 still counts";
    std::int64_t s = 0;
    std::int64_t ns = 0;
    ASSERT_TRUE(FileTimeToUnix(FileTimeFromUnix(1'700'000'000, 123'456'700), s, ns));
    EXPECT_EQ(s, 1'700'000'000);
    EXPECT_EQ(ns, 123'456'700);
    ASSERT_TRUE(FileTimeToUnix(FileTimeFromUnix(-86'400, 0), s, ns));
    EXPECT_EQ(s, -86'400);
    EXPECT_FALSE(FileTimeToUnix(0, s, ns));
}

TEST(FileIo, BaseNameAndErrorText)
{
    EXPECT_EQ(BaseName("/a/b/.c.mp3"), ".c.mp3");
    EXPECT_EQ(BaseName("c.mp3"), "c.mp3");
    EXPECT_EQ(BaseName("/a/"), "");
    EXPECT_STREQ(TFileError("/x/ä.mp3").what(), "Datei /x/ä.mp3 kann nicht geöffnet werden");
}

} // namespace
} // namespace km

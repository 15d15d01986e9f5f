#include "model/version.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(Version, TextPadsTheMinorPartToTwoDigits)
{
    EXPECT_EQ(VersionText(kOwnVersion), QStringLiteral("2.06"));
    EXPECT_EQ(VersionText({3, 1}), QStringLiteral("3.01"));
    EXPECT_EQ(VersionText({1, 99}), QStringLiteral("1.99"));
    EXPECT_EQ(VersionText({2, 123}), QStringLiteral("2.123"));
}

TEST(Version, FileReadAndComparedWithTheOwnVersion)
{
    struct Case {
        const char* body;
        TVersionFile::State state;
        int major;
        int minor;
        bool newer;
    };
    using S = TVersionFile::State;
    const Case cases[] = {
        {"2\r\n6\r\n", S::Read, 2, 6, false},
        {"2\n7", S::Read, 2, 7, true},
        {"3\r0\r", S::Read, 3, 0, true},
        {"1\r\n99\r\nanything else\r\n", S::Read, 1, 99, false},
        {"2\r\n 6\r\n", S::Read, 2, 6, false},
        {"+2\r\n-1\r\n", S::Read, 2, -1, false},
        {"2\r\n", S::Incomplete, 0, 0, false},
        {"2", S::Incomplete, 0, 0, false},
        {"", S::Incomplete, 0, 0, false},
        {"2\r\n6 \r\n", S::Invalid, 0, 0, false},
        {"2\r\n\r\n", S::Invalid, 0, 0, false},
        {"2\n\r6\n", S::Invalid, 0, 0, false}, // LF CR is two line ends: line 2 is empty
        {"2.06\r\n6\r\n", S::Invalid, 0, 0, false},
        {"2\r\n+\r\n", S::Invalid, 0, 0, false},
        {"2\r\n99999999999\r\n", S::Invalid, 0, 0, false},
        {"<html>\r\n<body>\r\n", S::Invalid, 0, 0, false},
    };
    for (const Case& c : cases) {
        const TVersionFile file = ReadVersionFile(QByteArrayView(c.body));
        EXPECT_EQ(file.Result, c.state) << c.body;
        if (c.state != S::Read)
            continue;
        EXPECT_EQ(file.Version.Major, c.major) << c.body;
        EXPECT_EQ(file.Version.Minor, c.minor) << c.body;
        EXPECT_EQ(IsNewer(file.Version), c.newer) << c.body;
    }
    EXPECT_EQ(ReadDecimal(u"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ReadDecimal(u"2147483648"), std::nullopt);
}

} // namespace
} // namespace km

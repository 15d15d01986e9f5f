#include "platform/placement.h"

#include <gtest/gtest.h>

namespace km {
namespace {

QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(hex);
}

TEST(Placement, KnownRecordHasTheWindowsLayout)
{
    TWindowPlacement p;
    p.Flags = 2;
    p.ShowCmd = kShowMaximized;
    p.MinPosition = QPoint(-1, -1);
    p.MaxPosition = QPoint(-8, -31);
    p.SetNormalRect(QRect(100, 50, 707, 567));
    EXPECT_EQ(p.Right, 807);
    EXPECT_EQ(p.Bottom, 617);

    const QByteArray expected = Hex("2c000000"   // length 44
                                    "02000000"   // flags
                                    "03000000"   // showCmd
                                    "ffffffff" "ffffffff"
                                    "f8ffffff" "e1ffffff"
                                    "64000000" "32000000" "27030000" "69020000");
    EXPECT_EQ(EncodePlacement(p), expected);

    const auto back = DecodePlacement(expected);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, p);
    EXPECT_EQ(back->NormalRect(), QRect(100, 50, 707, 567));
}

TEST(Placement, RoundTripKeepsEveryField)
{
    TWindowPlacement p;
    p.Flags = 0xDEADBEEF;
    p.ShowCmd = kShowMinimized;
    p.MinPosition = QPoint(INT_MIN, 7);
    p.MaxPosition = QPoint(3, INT_MAX);
    p.Left = -1920;
    p.Top = -40;
    p.Right = -1000;
    p.Bottom = 12;
    const QByteArray bytes = EncodePlacement(p);
    ASSERT_EQ(bytes.size(), 44);
    EXPECT_EQ(DecodePlacement(bytes), p);
    EXPECT_EQ(p.NormalRect(), QRect(-1920, -40, 920, 52)) << "negative coordinates, exclusive right/bottom";

    const TWindowPlacement fresh;
    EXPECT_EQ(DecodePlacement(EncodePlacement(fresh)), fresh);
}

// Where the compositor places windows, the position read at the start is
// stored again, with the size and state of now.
TEST(Placement, WithoutAKnownPositionTheOneReadIsKept)
{
    TWindowPlacement read;
    read.MaxPosition = QPoint(5, 6);
    read.SetNormalRect(QRect(300, 200, 800, 600));
    TWindowPlacement now;
    now.ShowCmd = kShowMaximized;
    now.SetNormalRect(QRect(0, 0, 1024, 700));
    const TWindowPlacement stored = PlacementToStore(now, read, false);
    EXPECT_EQ(stored.NormalRect(), QRect(300, 200, 1024, 700));
    EXPECT_EQ(stored.ShowCmd, kShowMaximized);
    EXPECT_EQ(stored.MaxPosition, QPoint(5, 6));
    EXPECT_EQ(PlacementToStore(now, read, true), now) << "a known position is stored";
    EXPECT_EQ(PlacementToStore(now, std::nullopt, false), now) << "nothing read";
}

TEST(Placement, WrongSizesAndLengthFieldAreRejected)
{
    const QByteArray good = EncodePlacement(TWindowPlacement {});
    EXPECT_FALSE(DecodePlacement(QByteArray()).has_value());
    EXPECT_FALSE(DecodePlacement(good.left(43)).has_value());
    EXPECT_FALSE(DecodePlacement(good + '\0').has_value());

    QByteArray wrongLength = good;
    wrongLength[0] = 40;
    EXPECT_FALSE(DecodePlacement(wrongLength).has_value());
    wrongLength[0] = 44;
    wrongLength[3] = 1; // 44 + 2^24: only the whole field counts
    EXPECT_FALSE(DecodePlacement(wrongLength).has_value());
}

} // namespace
} // namespace km

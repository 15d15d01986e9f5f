#pragma once

#include <QByteArray>
#include <QPoint>
#include <QRect>

#include <optional>

namespace km {

inline constexpr quint32 kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3;

// The window placement record as Windows stores it (WINDOWPLACEMENT), kept in
// the settings as 44 little-endian bytes so old values stay readable.
struct TWindowPlacement {
    quint32 Flags = 0;
    quint32 ShowCmd = kShowNormal;
    QPoint MinPosition {-1, -1};
    QPoint MaxPosition {-1, -1};
    // rcNormalPosition: left, top, right, bottom (right and bottom exclusive, as Windows RECT)
    qint32 Left = 0, Top = 0, Right = 0, Bottom = 0;

    QRect NormalRect() const; // QRect(Left, Top, Right-Left, Bottom-Top)
    void SetNormalRect(const QRect& r);

    friend bool operator==(const TWindowPlacement&, const TWindowPlacement&) = default;
};

QByteArray EncodePlacement(const TWindowPlacement& p); // 44 bytes, length field 44

// What the window stores at close. Where the window system places windows
// (Wayland) a window cannot know its own position: the position read at the
// start goes back unchanged, with the size and state of now.
TWindowPlacement PlacementToStore(
    const TWindowPlacement& now, const std::optional<TWindowPlacement>& read, bool positionKnown);
// nullopt unless 44 bytes with length field 44
std::optional<TWindowPlacement> DecodePlacement(const QByteArray& bytes);

} // namespace km

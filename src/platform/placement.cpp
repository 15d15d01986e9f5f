#include "platform/placement.h"

#include <QtEndian>

#include <climits>

namespace km {

namespace {

constexpr int kPlacementSize = 44;

void PutU32(char*& out, quint32 v)
{
    qToLittleEndian(v, out);
    out += 4;
}

void PutI32(char*& out, qint32 v)
{
    PutU32(out, static_cast<quint32>(v));
}

quint32 GetU32(const char*& in)
{
    const quint32 v = qFromLittleEndian<quint32>(in);
    in += 4;
    return v;
}

qint32 GetI32(const char*& in)
{
    return static_cast<qint32>(GetU32(in));
}

} // namespace

QRect TWindowPlacement::NormalRect() const
{
    // 64-bit difference: a garbled record must not overflow.
    const auto w = static_cast<qint64>(Right) - Left;
    const auto h = static_cast<qint64>(Bottom) - Top;
    return QRect(Left, Top, static_cast<int>(qBound(qint64(INT_MIN), w, qint64(INT_MAX))),
                 static_cast<int>(qBound(qint64(INT_MIN), h, qint64(INT_MAX))));
}

void TWindowPlacement::SetNormalRect(const QRect& r)
{
    Left = r.left();
    Top = r.top();
    Right = r.x() + r.width();
    Bottom = r.y() + r.height();
}

TWindowPlacement PlacementToStore(
    const TWindowPlacement& now, const std::optional<TWindowPlacement>& read, bool positionKnown)
{
    if (positionKnown || !read)
        return now;
    TWindowPlacement p = now;
    p.MinPosition = read->MinPosition;
    p.MaxPosition = read->MaxPosition;
    const QRect size = now.NormalRect();
    p.Left = read->Left;
    p.Top = read->Top;
    p.Right = static_cast<qint32>(static_cast<qint64>(read->Left) + size.width());
    p.Bottom = static_cast<qint32>(static_cast<qint64>(read->Top) + size.height());
    return p;
}

QByteArray EncodePlacement(const TWindowPlacement& p)
{
    QByteArray bytes(kPlacementSize, '\0');
    char* out = bytes.data();
    PutU32(out, kPlacementSize);
    PutU32(out, p.Flags);
    PutU32(out, p.ShowCmd);
    PutI32(out, p.MinPosition.x());
    PutI32(out, p.MinPosition.y());
    PutI32(out, p.MaxPosition.x());
    PutI32(out, p.MaxPosition.y());
    PutI32(out, p.Left);
    PutI32(out, p.Top);
    PutI32(out, p.Right);
    PutI32(out, p.Bottom);
    return bytes;
}

std::optional<TWindowPlacement> DecodePlacement(const QByteArray& bytes)
{
    if (bytes.size() != kPlacementSize)
        return std::nullopt;
    const char* in = bytes.constData();
    if (GetU32(in) != kPlacementSize)
        return std::nullopt;
    TWindowPlacement p;
    p.Flags = GetU32(in);
    p.ShowCmd = GetU32(in);
    const qint32 minX = GetI32(in);
    p.MinPosition = QPoint(minX, GetI32(in));
    const qint32 maxX = GetI32(in);
    p.MaxPosition = QPoint(maxX, GetI32(in));
    p.Left = GetI32(in);
    p.Top = GetI32(in);
    p.Right = GetI32(in);
    p.Bottom = GetI32(in);
    return p;
}

} // namespace km

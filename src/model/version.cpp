#include "model/version.h"

#include <QStringList>

#include <limits>

namespace km {

QString VersionText(TVersion version)
{
    return QStringLiteral("%1.%2").arg(version.Major).arg(version.Minor, 2, 10, QLatin1Char('0'));
}

bool IsNewer(TVersion candidate, TVersion than)
{
    return candidate.Major > than.Major || (candidate.Major == than.Major && candidate.Minor > than.Minor);
}

std::optional<int> ReadDecimal(QStringView line)
{
    qsizetype i = 0;
    while (i < line.size() && (line[i] == QLatin1Char(' ') || line[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < line.size() && (line[i] == QLatin1Char('+') || line[i] == QLatin1Char('-')))
        negative = line[i++] == QLatin1Char('-');
    if (i == line.size())
        return std::nullopt;
    // Counted below zero, so that the smallest int fits as well.
    long long value = 0;
    for (; i < line.size(); ++i) {
        const char16_t c = line[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 - (c - u'0');
        if (value < std::numeric_limits<int>::min())
            return std::nullopt;
    }
    if (!negative && value == std::numeric_limits<int>::min())
        return std::nullopt;
    return static_cast<int>(negative ? value : -value);
}

TVersionFile ReadVersionFile(QByteArrayView body)
{
    // A line break at the very end starts no further line.
    QStringList lines;
    QString line;
    bool open = false;
    for (qsizetype i = 0; i < body.size() && lines.size() < 2; ++i) {
        const char c = body[i];
        if (c == '\r' || c == '\n') {
            lines << line;
            line.clear();
            open = false;
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n')
                ++i;
        } else {
            line += QChar::fromLatin1(c);
            open = true;
        }
    }
    if (open && lines.size() < 2)
        lines << line;

    TVersionFile file;
    if (lines.size() < 2) {
        file.Result = TVersionFile::State::Incomplete;
        return file;
    }
    const std::optional<int> major = ReadDecimal(lines[0]);
    const std::optional<int> minor = ReadDecimal(lines[1]);
    if (!major || !minor)
        return file;
    file.Result = TVersionFile::State::Read;
    file.Version = {*major, *minor};
    return file;
}

} // namespace km

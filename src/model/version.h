#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

namespace km {

struct TVersion {
    int Major = 0;
    int Minor = 0;
};

// The running program's version.
inline constexpr TVersion kOwnVersion {2, 6};

// "2.06": the minor part has at least two digits.
QString VersionText(TVersion version);
bool IsNewer(TVersion candidate, TVersion than = kOwnVersion);

// A decimal integer: leading blanks and a sign allowed, nothing after the digits.
std::optional<int> ReadDecimal(QStringView line);

// The maker's version file: the newest major on line 1, minor on line 2.
struct TVersionFile {
    enum class State { Read, Incomplete, Invalid };
    State Result = State::Invalid;
    TVersion Version;
};
// Lines end with CR LF, LF or CR; further lines are ignored.
TVersionFile ReadVersionFile(QByteArrayView body);

} // namespace km

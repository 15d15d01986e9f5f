// ReadVersionFile on the input as the downloaded body.
#include "model/version.h"

#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

void Expect(bool ok, const char* what)
{
    if (ok)
        return;
    std::fprintf(stderr, "fuzz_version: %s\n", what);
    std::abort();
}

// ReadDecimal's rule spelled another way: blanks, a sign, digits, and an int's range.
std::optional<int> Reference(QStringView line)
{
    static const QRegularExpression number(QStringLiteral("\\A[ \\t]*[+-]?[0-9]+\\z"));
    if (!number.match(line).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = line.toString().trimmed().toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView body(data, static_cast<qsizetype>(size));
    const km::TVersionFile file = km::ReadVersionFile(body);

    const QString text = QString::fromLatin1(body);
    Expect(km::ReadDecimal(text) == Reference(text), "ReadDecimal disagrees with the reference");

    // The first two lines, split the way the file defines them.
    const QStringList lines = QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"))
                                  .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                                  .split(QLatin1Char('\n'));
    // A line break at the very end starts no further line.
    const qsizetype count = lines.size() - (lines.last().isEmpty() ? 1 : 0);
    if (count < 2) {
        Expect(file.Result == km::TVersionFile::State::Incomplete, "fewer than two lines not incomplete");
        return 0;
    }
    const std::optional<int> major = Reference(lines[0]);
    const std::optional<int> minor = Reference(lines[1]);
    if (!major || !minor) {
        Expect(file.Result == km::TVersionFile::State::Invalid, "a line that is no number was read");
        return 0;
    }
    Expect(file.Result == km::TVersionFile::State::Read, "two numbers not read");
    Expect(file.Version.Major == *major && file.Version.Minor == *minor, "the numbers read are others");

    // What is read comes back the same when written out again.
    const QByteArray again = QByteArray::number(file.Version.Major) + "\r\n" + QByteArray::number(file.Version.Minor);
    const km::TVersionFile reread = km::ReadVersionFile(again);
    Expect(reread.Result == km::TVersionFile::State::Read && reread.Version.Major == file.Version.Major
            && reread.Version.Minor == file.Version.Minor,
        "a version written out reads differently");
    return 0;
}

#include "model/structure.h"

#include "platform/charset.h"

#include <QDateTime>

#include <fcntl.h>

namespace km {

int PartKind(std::uint8_t stored) { return stored <= PartJahr ? static_cast<int>(stored) : 0; }

QString PartLabel(int kind)
{
    switch (kind) {
    case PartTitelnr:
        return QStringLiteral("Titelnr.");
    case PartInterpret:
        return QStringLiteral("Interpret");
    case PartTitel:
        return QStringLiteral("Titel");
    case PartAlbum:
        return QStringLiteral("Album");
    case PartJahr:
        return QStringLiteral("Jahr");
    default:
        return {};
    }
}

bool SeparatorsMissing(const TNameStructure& names)
{
    const int k1 = PartKind(names.DNAufbau[0]);
    const int k2 = PartKind(names.DNAufbau[1]);
    const int k3 = PartKind(names.DNAufbau[2]);
    return (k1 != PartNone && names.TZ1.isEmpty()) || (k2 != PartNone && k3 != PartNone && names.TZ2.isEmpty());
}

bool IsWholeNumber(const QString& text)
{
    qsizetype i = 0;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    if (i == text.size())
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    return true;
}

std::uint8_t TrackFromText(const QString& text)
{
    if (!IsWholeNumber(text))
        return 0;
    // Digit by digit, so that no length of number overflows.
    unsigned value = 0;
    for (const QChar c : text)
        if (c.isDigit())
            value = (value * 10 + static_cast<unsigned>(c.unicode() - '0')) % 256;
    if (text.startsWith(QLatin1Char('-')))
        value = (256 - value) % 256;
    return static_cast<std::uint8_t>(value);
}

namespace {

// Every leading and trailing character up to the blank goes, control characters too.
QString TrimControls(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

void StorePiece(TID3v1Tag& tag, int kind, const QString& piece, TParsedFields& parsed)
{
    switch (kind) {
    case PartTitelnr:
        tag.Titelnr = TrackFromText(piece);
        parsed.Titelnr = true;
        break;
    case PartInterpret:
        StoreID3v1Text(tag.Interpret, piece);
        parsed.Interpret = true;
        parsed.Whole[1] = piece;
        break;
    case PartTitel:
        StoreID3v1Text(tag.Titel, piece);
        parsed.Titel = true;
        parsed.Whole[0] = piece;
        break;
    case PartAlbum:
        StoreID3v1Text(tag.Album, piece);
        parsed.Album = true;
        parsed.Whole[2] = piece;
        break;
    case PartJahr:
        StoreID3v1Text(tag.Jahr, piece);
        parsed.Jahr = true;
        parsed.Whole[3] = piece;
        break;
    default:
        break;
    }
}

// The last component of a folder that ends in "/"; empty for the root.
QString FolderName(const QString& folder)
{
    if (folder.isEmpty())
        return {};
    const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'), folder.size() - 2);
    if (folder.size() < 2 || slash < 0)
        return {};
    return TrimControls(folder.mid(slash + 1, folder.size() - 1 - (slash + 1)));
}

} // namespace

void SplitFileName(const QString& fileName, const QString& folder, const QString& fileYear,
    const TNameStructure& names, TID3v1Tag& tag, TParsedFields& parsed)
{
    parsed.Whole = {};
    std::array<int, 3> parts {PartKind(names.DNAufbau[0]), PartKind(names.DNAufbau[1]), PartKind(names.DNAufbau[2])};
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    QString rest = dot < 0 ? fileName : fileName.left(dot);

    // A name without a leading number is split as if the structure began with part 2.
    if (parts[0] == PartTitelnr) {
        const qsizetype p = rest.indexOf(names.TZ1);
        if (p < 0 || !(p == 0 || IsWholeNumber(rest.left(p))))
            parts = {parts[1], parts[2], PartNone};
    }

    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (parts[i] == PartNone)
            continue;
        const QString& separator = i == 0 ? names.TZ1 : names.TZ2;
        QString piece;
        if (i == 2) {
            piece = rest;
        } else {
            const qsizetype p = separator.isEmpty() ? -1 : rest.indexOf(separator);
            if (p < 0) {
                piece = rest;
                rest.clear();
            } else {
                piece = rest.left(p);
                rest = rest.mid(p + separator.size());
            }
        }
        StorePiece(tag, parts[i], TrimControls(piece), parsed);
    }

    if (names.DirAlbum) {
        StoreID3v1Text(tag.Album, FolderName(folder));
        parsed.Album = true;
        parsed.Whole[2] = FolderName(folder);
    }
    if (names.JahrVonDatei) {
        StoreID3v1Text(tag.Jahr, fileYear);
        parsed.Jahr = true;
        parsed.Whole[3] = fileYear;
    }
}

QString BuildFileName(const TID3v1Tag& tag, const TNameStructure& names)
{
    QString result;
    for (std::size_t i = 0; i < names.DNAufbau.size(); ++i) {
        QString piece;
        switch (PartKind(names.DNAufbau[i])) {
        case PartTitelnr:
            if (!(names.keinTitel0 && tag.Titelnr == 0))
                piece = QStringLiteral("%1").arg(tag.Titelnr, 2, 10, QLatin1Char('0'));
            break;
        case PartInterpret:
            piece = ID3v1Charset().ToQString(FieldView(tag.Interpret));
            break;
        case PartTitel:
            piece = ID3v1Charset().ToQString(FieldView(tag.Titel));
            break;
        case PartAlbum:
            piece = ID3v1Charset().ToQString(FieldView(tag.Album));
            break;
        case PartJahr:
            piece = ID3v1Charset().ToQString(FieldView(tag.Jahr));
            break;
        default:
            break;
        }
        if (piece.isEmpty())
            continue;
        if (!result.isEmpty() && i > 0)
            result += i == 1 ? names.TZ1 : names.TZ2;
        result += piece;
    }
    // What no file name may hold on the systems music travels between.
    static const QString kRemoved = QStringLiteral("\"*/:<>?\\|");
    result.removeIf([](QChar c) { return kRemoved.contains(c); });
    return result;
}

namespace {
QDateTime LocalTime(TFileTime time, std::int64_t& nanoseconds)
{
    std::int64_t seconds = 0;
    if (!FileTimeToUnix(time, seconds, nanoseconds))
        return {};
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::LocalTime);
}
} // namespace

QString LocalYear(TFileTime time)
{
    std::int64_t ns = 0;
    const QDateTime local = LocalTime(time, ns);
    return local.isValid() ? QString::number(local.date().year()) : QString();
}

QString FileYear(const std::string& path, TFileLayer& layer)
{
    // Not ReadLastWriteTime: that falls back to now, and an unreadable date gives no year.
    const int fd = layer.Open(path, O_RDONLY | O_NONBLOCK);
    if (fd < 0)
        return {};
    TFileHandle handle(layer, fd);
    TFileInformation info;
    return layer.Stat(fd, info) == 0 ? LocalYear(info.LastWriteTime) : QString();
}

TFileTime WithYear(TFileTime time, const QString& jahr, int currentYear)
{
    std::int64_t ns = 0;
    const QDateTime local = LocalTime(time, ns);
    if (!local.isValid())
        return time;
    bool ok = IsWholeNumber(jahr);
    int year = ok ? jahr.toInt(&ok) : 0;
    if (!ok)
        year = currentYear;
    if (year < 1601 || year > 9999)
        return time;
    const QDate date(year, local.date().month(), local.date().day());
    if (!date.isValid())
        return time;
    QDateTime moved(date, local.time(), Qt::LocalTime);
    // A time the clocks skip in that year is read as the hour after.
    if (!moved.isValid())
        moved = QDateTime(date, local.time().addSecs(3600), Qt::LocalTime);
    if (!moved.isValid())
        return time;
    // The sub-second part stays as it was.
    return FileTimeFromUnix(moved.toSecsSinceEpoch(), ns);
}

TID3v2Changes ParsedID3v2Texts(const TParsedFields& parsed)
{
    TID3v2Changes changes;
    for (std::size_t k = 0; k < parsed.Whole.size(); ++k)
        if (!parsed.Whole[k].isEmpty())
            changes[k] = TID3v2Change {parsed.Whole[k].toStdString(), {}};
    return changes;
}

} // namespace km

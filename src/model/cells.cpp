#include "model/cells.h"

#include "model/columns.h"
#include "model/id3v2compare.h"
#include "platform/charset.h"
#include "platform/cp1252.h"
#include "tags/genres.h"

#include <QDateTime>
#include <QTimeZone>

namespace km {

namespace {
template <std::size_t N>
QString TagText(const char (&field)[N])
{
    return ID3v1Charset().ToQString(FieldView(field));
}
} // namespace

QString SizeText(std::int64_t bytes, const QLocale& locale)
{
    // Halves away from zero; thousands grouped even where the locale's defaults omit it.
    const std::uint64_t kb = (static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0)) + 512) / 1024;
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    return grouped.toString(static_cast<qulonglong>(kb)) + QStringLiteral(" KB");
}

QString AttributeText(std::uint32_t attributes)
{
    QString s;
    if (attributes & kAttrSystem)
        s += QLatin1Char('S');
    if (attributes & kAttrReadOnly)
        s += QLatin1Char('R');
    if (attributes & kAttrHidden)
        s += QLatin1Char('H');
    if (attributes & kAttrArchive)
        s += QLatin1Char('A');
    return s;
}

QString MpegVersionText(int version, int layer)
{
    QString s = version == 1 ? QStringLiteral("MPEG 1") : version == 2 ? QStringLiteral("MPEG 2") : QStringLiteral("MPEG ?");
    s += QStringLiteral(" Layer ");
    s += layer >= 1 && layer <= 3 ? QString::number(layer) : QStringLiteral("?");
    return s;
}

QString BitrateText(bool vbr, int bitrate)
{
    return (vbr ? QStringLiteral("vbr ") : QString()) + QString::number(bitrate) + QStringLiteral(" kbps");
}

QString FrequencyText(std::int32_t sampleRate)
{
    return QString::number(sampleRate / 1000) + QStringLiteral(" kHz");
}

QString ChannelText(int channelMode)
{
    switch (channelMode) {
    case 0: return QStringLiteral("Stereo");
    case 1: return QStringLiteral("Joint Stereo");
    case 2: return QStringLiteral("Zweikanal");
    case 3: return QStringLiteral("Mono");
    default: return QString();
    }
}

QString DurationText(std::uint32_t milliseconds)
{
    const std::uint32_t seconds = (milliseconds % 86'400'000u) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

namespace {
// The system's local time asks the C library, which looks at /etc/localtime
// again for every date; a zone object keeps its rules.

// The zone object, where it surely agrees with the C library: TZ names a zone
// of the database (not a rule of its own), and both give the same offsets now
// and half a year either side. Otherwise every date asks the C library.
QTimeZone AgreeingZone()
{
    const QByteArray tz = qgetenv("TZ");
    if (!tz.isNull() && !QTimeZone::isTimeZoneIdAvailable(tz.startsWith(':') ? tz.mid(1) : tz))
        return {};
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    for (const qint64 s : {now, now - 183 * 86400, now + 183 * 86400}) {
        if (!zone.isValid()
            || QDateTime::fromSecsSinceEpoch(s, zone).offsetFromUtc()
                != QDateTime::fromSecsSinceEpoch(s, Qt::UTC).toLocalTime().offsetFromUtc())
            return {};
    }
    return zone;
}

QTimeZone& LocalZone()
{
    static QTimeZone zone = AgreeingZone();
    return zone;
}
} // namespace

void RefreshLocalZone() { LocalZone() = AgreeingZone(); }

QString FileDateText(TFileTime fileTime, const QLocale& locale)
{
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;
    if (!FileTimeToUnix(fileTime, seconds, nanoseconds))
        return QString();
    const QTimeZone& zone = LocalZone();
    // Each date with its own offset, summer time or not.
    const QDateTime local = zone.isValid() ? QDateTime::fromSecsSinceEpoch(seconds, zone)
                                           : QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toLocalTime();
    if (!local.isValid())
        return QString();
    return locale.toString(local.date(), QLocale::ShortFormat) + QLatin1Char(' ')
        + locale.toString(local.time(), QLocale::ShortFormat);
}

QString CellText(int columnId, const TEintragDaten& e, const QLocale& locale)
{
    switch (columnId) {
    case ColDateiname: return QString::fromUtf8(e.FileName.data(), static_cast<qsizetype>(e.FileName.size()));
    case ColTitel: return TagText(e.Tag.Titel);
    case ColInterpret: return TagText(e.Tag.Interpret);
    case ColAlbum: return TagText(e.Tag.Album);
    case ColTitelnr: return e.Tag.Titelnr == 0 ? QString() : QString::number(e.Tag.Titelnr);
    case ColJahr: return TagText(e.Tag.Jahr);
    case ColBemerkung: return TagText(e.Tag.Bemerkung);
    case ColMusikrichtung: return Cp1252ToQString(GenreName(e.Tag.Musikrichtung));
    case ColOrdner: return QString::fromUtf8(e.Folder.str().data(), static_cast<qsizetype>(e.Folder.size()));
    case ColGroesse: return SizeText(e.FileSize, locale);
    case ColAttribute: return AttributeText(e.Attributes);
    case ColMpegVersion: return MpegVersionText(e.MP3Info.Version, e.MP3Info.Layer);
    case ColBitrate: return BitrateText(e.MP3Info.VBR, e.MP3Info.Bitrate);
    case ColFrequenz: return FrequencyText(e.MP3Info.SampleRate);
    case ColStereoMono: return ChannelText(e.MP3Info.ChannelMode);
    case ColLaenge: return DurationText(e.Duration);
    case ColDateidatum: return FileDateText(e.FileTime, locale);
    case ColID3v2: return QString::fromStdString(ID3v2CellText(e));
    default: return QString();
    }
}

QString FileCountText(int count) { return QStringLiteral("%1 Dateien gesamt").arg(count); }

} // namespace km

#include "model/cells.h"
#include "model/columns.h"

#include <gtest/gtest.h>

#include <QDateTime>

#include <cstdlib>
#include <set>
#include <ctime>

namespace km {
namespace {

const QLocale kGerman(QLocale::German, QLocale::Germany);

TEST(Cells, SizeInKilobytes)
{
    EXPECT_EQ(SizeText(0, kGerman), "0 KB");
    EXPECT_EQ(SizeText(511, kGerman), "0 KB");
    EXPECT_EQ(SizeText(512, kGerman), "1 KB");
    EXPECT_EQ(SizeText(1536, kGerman), "2 KB");
    EXPECT_EQ(SizeText(2560, kGerman), "3 KB") << "halves away from zero, not to even";
    EXPECT_EQ(SizeText(1'048'576, kGerman), "1.024 KB");
    EXPECT_EQ(SizeText(1'048'576, QLocale(QLocale::English, QLocale::UnitedStates)), "1,024 KB");
    EXPECT_EQ(SizeText(1'048'576, QLocale::c()), "1,024 KB") << "grouped even where the locale omits it";
    EXPECT_EQ(SizeText(5'000'000'000ll, kGerman), "4.882.813 KB") << "sizes past 4 GiB";
}

TEST(Cells, AttributesVersionBitrateFrequencyChannels)
{
    EXPECT_EQ(AttributeText(kAttrReadOnly | kAttrArchive), "RA");
    EXPECT_EQ(AttributeText(kAttrSystem | kAttrHidden), "SH");
    EXPECT_EQ(AttributeText(0x3F), "SRHA");
    EXPECT_EQ(AttributeText(kAttrDirectory), "");

    EXPECT_EQ(MpegVersionText(1, 3), "MPEG 1 Layer 3");
    EXPECT_EQ(MpegVersionText(2, 1), "MPEG 2 Layer 1");
    EXPECT_EQ(MpegVersionText(0, 0), "MPEG ? Layer ?");
    EXPECT_EQ(MpegVersionText(3, 4), "MPEG ? Layer ?");

    EXPECT_EQ(BitrateText(false, 128), "128 kbps");
    EXPECT_EQ(BitrateText(true, 136), "vbr 136 kbps");
    EXPECT_EQ(BitrateText(false, 0), "0 kbps");

    EXPECT_EQ(FrequencyText(44100), "44 kHz");
    EXPECT_EQ(FrequencyText(22050), "22 kHz");
    EXPECT_EQ(FrequencyText(11025), "11 kHz");
    EXPECT_EQ(FrequencyText(48000), "48 kHz");
    EXPECT_EQ(FrequencyText(0), "0 kHz");

    EXPECT_EQ(ChannelText(0), "Stereo");
    EXPECT_EQ(ChannelText(1), "Joint Stereo");
    EXPECT_EQ(ChannelText(2), "Zweikanal");
    EXPECT_EQ(ChannelText(3), "Mono");
    EXPECT_EQ(ChannelText(4), "");
}

TEST(Cells, DurationDropsMillisecondsAndDays)
{
    EXPECT_EQ(DurationText(3'723'000), "1:02:03");
    EXPECT_EQ(DurationText(59'000), "0:00:59");
    EXPECT_EQ(DurationText(59'999), "0:00:59");
    EXPECT_EQ(DurationText(0), "0:00:00");
    EXPECT_EQ(DurationText(90'000'000), "1:00:00");
    EXPECT_EQ(DurationText(86'399'999), "23:59:59");
}

class LocalTime : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_oldTz = tz ? tz : "";
        m_hadTz = tz != nullptr;
        ::setenv("TZ", "Europe/Berlin", 1);
        ::tzset();
        RefreshLocalZone();
    }
    void TearDown() override
    {
        if (m_hadTz)
            ::setenv("TZ", m_oldTz.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        RefreshLocalZone();
    }

private:
    std::string m_oldTz;
    bool m_hadTz = false;
};

TEST_F(LocalTime, FileDateInLocalShortFormats)
{
    // 2020-07-01 10:30:59 UTC is 12:30 in Berlin (summer time); 2020-01-05 23:15 UTC is 00:15 the next day.
    EXPECT_EQ(FileDateText(FileTimeFromUnix(1'593'599'459, 0), kGerman), "01.07.20 12:30");
    EXPECT_EQ(FileDateText(FileTimeFromUnix(1'578'266'100, 0), kGerman), "06.01.20 00:15");
    EXPECT_EQ(FileDateText(0, kGerman), "") << "no time known";
}

// The zone's rules give what the C library's local time gives, every hour
// around the changes to and from summer time and across the years.
TEST_F(LocalTime, ZoneRulesAgreeWithTheSystemsLocalTime)
{
    for (const char* tz : {"Europe/Berlin", "America/New_York", "Australia/Lord_Howe", "UTC",
             "CET-1CEST,M3.5.0,M10.5.0/3", ":Europe/Berlin", ""}) {
        if (*tz)
            ::setenv("TZ", tz, 1);
        else
            ::unsetenv("TZ"); // the system's own zone
        ::tzset();
        RefreshLocalZone();
        for (std::int64_t s = -1'000'000'000; s < 4'200'000'000; s += 3'541 * 7 + 86'400 * 11) {
            const QDateTime system = QDateTime::fromSecsSinceEpoch(s, Qt::UTC).toLocalTime();
            const QString expected = kGerman.toString(system.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                + kGerman.toString(system.time(), QLocale::ShortFormat);
            ASSERT_EQ(FileDateText(FileTimeFromUnix(s, 0), kGerman), expected) << tz << " " << s;
        }
    }
}

TEST(Cells, EveryColumnOfAnEntry)
{
    TEintragDaten e;
    e.FileName = "Lied ä.mp3";
    e.Folder = "/musik/";
    StoreField(e.Tag.Titel, std::string(30, 'T'));
    StoreField(e.Tag.Interpret, "Gr\xfc\xdf" "e");
    StoreField(e.Tag.Album, "Album");
    StoreField(e.Tag.Jahr, "1999");
    StoreField(e.Tag.Bemerkung, "\x80 5");
    e.Tag.Titelnr = 7;
    e.Tag.Musikrichtung = 17;
    e.FileSize = 2048;
    e.Attributes = kAttrReadOnly;
    e.MP3Info.Version = 1;
    e.MP3Info.Layer = 3;
    e.MP3Info.Bitrate = 192;
    e.MP3Info.SampleRate = 44100;
    e.MP3Info.ChannelMode = 1;
    e.Duration = 200'500;
    const char* expected[] = {"Lied ä.mp3", "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT", "Grüße", "Album", "7", "1999", "€ 5", "Rock",
        "/musik/", "2 KB", "R", "MPEG 1 Layer 3", "192 kbps", "44 kHz", "Joint Stereo", "0:03:20", "", ""};
    for (int id = 0; id < kColumnCount; ++id)
        EXPECT_EQ(CellText(id, e, kGerman), QString::fromUtf8(expected[id])) << id;
    EXPECT_EQ(CellText(-1, e, kGerman), "");
    EXPECT_EQ(CellText(18, e, kGerman), "");
    // The ID3v2 column once the tag was read: its version, and whether it disagrees.
    e.ID3v2Known = true;
    e.ID3v2Version = 3;
    EXPECT_EQ(CellText(ColID3v2, e, kGerman), "2.3");
    e.ID3v2Version = 4;
    e.ID3v2Differs = 1;
    EXPECT_EQ(CellText(ColID3v2, e, kGerman), QString::fromUtf8("2.4 \u2260"));
    e.ID3v2Version = 9;
    EXPECT_EQ(CellText(ColID3v2, e, kGerman), QString::fromUtf8("2.? \u2260"));
    e.ID3v2Version = 0;
    EXPECT_EQ(CellText(ColID3v2, e, kGerman), "") << "no tag";

    // Nothing known of the stream, no track, no genre.
    TEintragDaten bare;
    EXPECT_EQ(CellText(ColTitelnr, bare, kGerman), "");
    EXPECT_EQ(CellText(ColMusikrichtung, bare, kGerman), "");
    EXPECT_EQ(CellText(ColMpegVersion, bare, kGerman), "MPEG ? Layer ?");
    EXPECT_EQ(CellText(ColBitrate, bare, kGerman), "0 kbps");
    EXPECT_EQ(CellText(ColFrequenz, bare, kGerman), "0 kHz");
    EXPECT_EQ(CellText(ColStereoMono, bare, kGerman), "Mono");
    EXPECT_EQ(CellText(ColLaenge, bare, kGerman), "0:00:00");
    bare.Tag.Musikrichtung = 148;
    EXPECT_EQ(CellText(ColMusikrichtung, bare, kGerman), "");
}

TEST(Columns, TableAndLayoutRules)
{
    const char* captions[] = {"Dateiname", "Titel", "Interpret", "Album", "Titelnr", "Jahr", "Bemerkung",
        "Musikrichtung", "Ordner", "Größe", "Attribute", "MPEG-Version", "Bitrate", "Frequenz", "Stereo/Mono",
        "Länge", "Dateidatum", "ID3v2"};
    const int widths[] = {150, 100, 100, 100, 45, 40, 100, 80, 150, 65, 55, 95, 80, 60, 80, 60, 110, 60};
    const std::set<int> right = {ColTitelnr, ColGroesse, ColBitrate, ColFrequenz, ColLaenge};
    for (int id = 0; id < kColumnCount; ++id) {
        EXPECT_EQ(ColumnCaption(id), QString::fromUtf8(captions[id]));
        EXPECT_EQ(ColumnInfos[static_cast<std::size_t>(id)].DefaultWidth, widths[id]);
        EXPECT_EQ(ColumnInfos[static_cast<std::size_t>(id)].Alignment, right.count(id) ? Qt::AlignRight : Qt::AlignLeft);
        EXPECT_EQ(ColumnOfCaption(ColumnCaption(id)), id);
    }
    EXPECT_EQ(ColumnOfCaption("Nichts"), -1);

    const auto def = DefaultColumnLayout();
    ASSERT_EQ(def.size(), 9u);
    const int ids[] = {0, 1, 2, 3, 4, 5, 6, 7, 15};
    for (std::size_t k = 0; k < 9; ++k) {
        EXPECT_EQ(def[k].Id, ids[k]);
        EXPECT_EQ(def[k].Width, widths[ids[k]]);
    }

    const auto cols = ColumnsOfLayout({{18, 100}, {-1, 100}, {1, 3}, {2, 900}, {1, 10}, {16, 500}});
    EXPECT_EQ(cols, (std::vector<TColumnPair> {{1, 10}, {2, 500}, {1, 10}, {16, 500}}));
}

TEST(Columns, SpaltenValueEncoding)
{
    const std::vector<TColumnPair> pairs = {{0, 150}, {15, 60}, {-1, 300}};
    const auto bytes = EncodeSpalten(pairs);
    ASSERT_EQ(bytes.size(), 24u);
    EXPECT_EQ(bytes[8], 15);
    EXPECT_EQ(bytes[12], 60);
    EXPECT_EQ(bytes[16], 0xFF) << "little-endian, signed";
    EXPECT_EQ(bytes[19], 0xFF);
    EXPECT_EQ(DecodeSpalten(bytes), pairs);

    EXPECT_FALSE(DecodeSpalten(std::vector<std::uint8_t>(4, 1)).has_value()) << "too short: default layout";
    EXPECT_FALSE(DecodeSpalten({}).has_value());
    std::vector<std::uint8_t> twelve = EncodeSpalten({{3, 77}});
    twelve.insert(twelve.end(), {9, 9, 9, 9});
    const auto one = DecodeSpalten(twelve);
    ASSERT_TRUE(one.has_value());
    EXPECT_EQ(*one, (std::vector<TColumnPair> {{3, 77}}));
    EXPECT_TRUE(EncodeSpalten({}).empty());
}

} // namespace
} // namespace km

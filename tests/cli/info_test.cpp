#include "cli/clirun.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/resource.h>
#include <zlib.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Fill;
using test::Str;

using test::Cli;
using test::CliRun;

TEST(CliInfo, PrintsTheReadersFindingsAsOneJsonLine)
{
    test::TempDir dir;
    const Bytes tag = test::Tag(test::TextFrame("TIT2", "Vorn"));
    const std::string path = dir.Write("Lied \"1\".mp3",
        Cat({tag, test::Header(), Fill(3996, 0x11), test::V1("Gr\xfc\xdf" "e", "Band", "Platte", "1999", "Tab\there", 5, 17)}));

    const CliRun plain = Cli(dir, {"info", path});
    EXPECT_EQ(plain.code, 0);
    EXPECT_EQ(plain.err, "");
    const std::string jsonPath = dir.Path() + "/Lied \\\"1\\\".mp3";
    EXPECT_EQ(plain.out,
        "{\"path\":\"" + jsonPath + "\",\"fileSize\":4153,\"hasID3v1\":true,\"hasID3v2\":true,"
        "\"hasAudioFrame\":true,\"id3v2Offset\":0,\"id3v2Size\":25,\"id3v2Version\":4,"
        "\"id3v2Differs\":[\"title\",\"artist\",\"album\",\"year\",\"comment\",\"track\",\"genre\"],\"duration\":250,\"version\":1,\"layer\":3,"
        "\"bitrate\":128,\"sampleRate\":44100,\"channelMode\":0,\"vbr\":false,\"title\":\"Grüße\",\"artist\":\"Band\","
        "\"album\":\"Platte\",\"year\":\"1999\",\"comment\":\"Tab\\there\",\"track\":5,\"genreIndex\":17,"
        "\"genre\":\"(17)Rock\",\"frames\":[]}\n");

    const CliRun frames = Cli(dir, {"info", "--id3v2", path});
    EXPECT_EQ(frames.code, 0);
    EXPECT_NE(frames.out.find("\"frames\":[{\"id\":\"TIT2\",\"data\":\"00566f726e\"}]}\n"), std::string::npos)
        << frames.out;
}

TEST(CliInfo, SynthesisedFramesMissingFilesAndExitCodes)
{
    test::TempDir dir;
    const std::string v1only = dir.Write("v1.mp3", Cat({Fill(20), test::V1("T", "", "", "", "", 0, 255)}));
    const std::string missing = dir.Path() + "/fehlt.mp3";

    const CliRun r = Cli(dir, {"info", missing, v1only});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "Datei nicht gefunden: " + missing + "\n");
    std::istringstream lines(r.out);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(first,
        "{\"path\":\"" + missing + "\",\"fileSize\":0,\"hasID3v1\":false,\"hasID3v2\":false,"
        "\"hasAudioFrame\":false,\"id3v2Offset\":0,\"id3v2Size\":0,\"id3v2Version\":0,\"id3v2Differs\":[],\"duration\":0,\"version\":0,\"layer\":0,"
        "\"bitrate\":0,\"sampleRate\":0,\"channelMode\":3,\"vbr\":false,\"title\":\"\",\"artist\":\"\","
        "\"album\":\"\",\"year\":\"\",\"comment\":\"\",\"track\":0,\"genreIndex\":255,\"genre\":\"\",\"frames\":[]}");
    EXPECT_NE(second.find("\"frames\":[{\"id\":\"TIT2\",\"data\":\"0054\"}]"), std::string::npos) << second;

    const CliRun help = Cli(dir, {"info", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("klangmappe-cli info [--id3v2] [--charset NAME] DATEI..."), std::string::npos);
    const CliRun top = Cli(dir, {"--help"});
    EXPECT_EQ(top.code, 0);
    EXPECT_NE(top.out.find("Befehle:"), std::string::npos);

    EXPECT_EQ(Cli(dir, {"info"}).code, 2);
    EXPECT_EQ(Cli(dir, {"info", "--falsch", v1only}).code, 2);
    EXPECT_EQ(Cli(dir, {"gibtsnicht"}).code, 2);
    const CliRun dashed = Cli(dir, {"info", "--", dir.Write("-x.mp3", Fill(3))});
    EXPECT_EQ(dashed.code, 0);
}

TEST(CliInfo, NamesThatAreNotUtf8AlsoComeAsHex)
{
    test::TempDir dir;
    const std::string bad = dir.Write("caf\xe9.mp3", Fill(3));
    const std::string good = dir.Write("caf\xc3\xa9 \xef\xbf\xbd.mp3", Fill(3));
    const CliRun r = Cli(dir, {"info", bad, good});
    EXPECT_EQ(r.code, 0);
    std::istringstream lines(r.out);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    std::string hex;
    for (const unsigned char c : bad) {
        hex += "0123456789abcdef"[c >> 4];
        hex += "0123456789abcdef"[c & 15];
    }
    EXPECT_EQ(first.rfind("{\"path\":\"" + dir.Path() + "/caf\xef\xbf\xbd.mp3\",\"pathHex\":\"" + hex + "\",\"fileSize\":3,", 0),
        0u) << first;
    EXPECT_EQ(second.find("pathHex"), std::string::npos) << second;
}

TEST(CliInfo, ChainedBombsStayWithinTheBudget)
{
    // Two chained tags, each with a frame inflating to 40 MiB: only the first
    // is inflated, and printing it must not hold its hex several times over.
    const Bytes zeros(40u << 20, 0);
    uLongf packedSize = compressBound(static_cast<uLong>(zeros.size()));
    Bytes packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, zeros.data(), static_cast<uLong>(zeros.size())), Z_OK);
    packed.resize(packedSize);
    const Bytes frame = test::Frame("TIT2", Cat({test::Synchsafe(40u << 20), packed}), 0, 0x09);
    test::TempDir dir;
    const std::string path = dir.Write("bombe.mp3", Cat({test::Tag(frame), test::Tag(frame), test::Header(), Fill(400)}));

    const CliRun r = Cli(dir, {"info", "--id3v2", path});
    EXPECT_EQ(r.code, 0);
    ASSERT_GT(r.out.size(), 5u);
    EXPECT_LT(r.out.size(), (80u << 20) + (1u << 20));
    // The second frame keeps its stored bytes, which open with zlib's 0x78.
    EXPECT_NE(r.out.find("\"},{\"id\":\"TIT2\",\"data\":\"78"), std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.size() - 5), "\"}]}\n");
#if !defined(__SANITIZE_ADDRESS__)
    rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 256L << 10) << "KiB at the peak";
#endif
}

} // namespace
} // namespace km

#include "cli/clirun.h"
#include "support/workbookreader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Cli;
using test::CliRun;
using test::Fill;

namespace fs = std::filesystem;

const Bytes kAudio = Cat({test::Header(), Fill(1500, 0x11)});
const Bytes kOld = test::V1("Alt", "Band", "Platte", "1999", "Bem", 5, 17);

TEST(CliSet, WritesExactlyTheGivenFields)
{
    test::TempDir dir;
    const std::string path = dir.Path() + "/a.mp3";
    struct Case {
        std::vector<std::string> options;
        Bytes block;
    };
    const Case cases[] = {
        {{"--title", "  Grüße €\t"}, test::V1("Gr\xfc\xdf" "e \x80", "Band", "Platte", "1999", "Bem", 5, 17)},
        {{"--artist", "Ŧ日x"}, test::V1("Alt", "??x", "Platte", "1999", "Bem", 5, 17)},
        {{"--title", std::string(31, 'T')}, test::V1(std::string(30, 'T'), "Band", "Platte", "1999", "Bem", 5, 17)},
        {{"--album", "", "--year", " 20245"}, test::V1("Alt", "Band", "", "2024", "Bem", 5, 17)},
        {{"--comment", std::string(29, 'c')}, test::V1("Alt", "Band", "Platte", "1999", std::string(29, 'c'), 5, 17)},
        {{"--track", "256"}, test::V1("Alt", "Band", "Platte", "1999", "Bem", 0, 17)},
        {{"--track", "zwei", "--genre", "none"}, test::V1("Alt", "Band", "Platte", "1999", "Bem", 0, 255)},
        {{"--track", "258", "--genre", "Rock & Roll"}, test::V1("Alt", "Band", "Platte", "1999", "Bem", 2, 78)},
        {{"--clear", "--title", "Nur"}, test::V1("Nur")},
    };
    for (const Case& c : cases) {
        dir.Write("a.mp3", Cat({kAudio, kOld}));
        std::vector<std::string> args = {"set"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(path);
        const CliRun r = Cli(dir, args);
        EXPECT_EQ(r.code, 0) << c.options[0];
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(r.out, "geschrieben: " + path + "\n");
        EXPECT_EQ(test::ReadFile(path), Cat({kAudio, c.block})) << c.options[0] << " " << c.options[1];
    }

    // A file without a block gets one, starting from the empty tag.
    dir.Write("a.mp3", kAudio);
    EXPECT_EQ(Cli(dir, {"set", "--genre", "Rock", path}).code, 0);
    EXPECT_EQ(test::ReadFile(path), Cat({kAudio, test::V1("", "", "", "", "", 0, 17)}));
}

TEST(CliSet, ABlockRightBehindALeadingTagKeepsItsOtherFields)
{
    test::TempDir dir;
    const Bytes lead = test::Tag(test::TextFrame("TIT2", "a"));
    const std::string path = dir.Write("150.mp3", Cat({lead, kOld}));
    const CliRun r = Cli(dir, {"set", "--title", "Neu", path});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "geschrieben: " + path + "\n");
    EXPECT_EQ(test::ReadFile(path), Cat({lead, test::V1("Neu", "Band", "Platte", "1999", "Bem", 5, 17)}));
    const std::string info = Cli(dir, {"info", path}).out;
    EXPECT_NE(info.find("\"hasID3v1\":true"), std::string::npos) << info;
    EXPECT_NE(info.find("\"artist\":\"Band\""), std::string::npos) << info;
}

TEST(CliSet, UsageErrorsTouchNothing)
{
    test::TempDir dir;
    const std::string path = dir.Write("a.mp3", Cat({kAudio, kOld}));
    const std::vector<std::vector<std::string>> calls = {
        {"set", "--genre", "rock", path},
        {"set", "--genre", "Rock"},
        {"set", path},
        {"set", "--touch", path},
        {"set", "--titel", "x", path},
        {"set", path, "--title"},
    };
    for (const auto& args : calls) {
        const CliRun r = Cli(dir, args);
        EXPECT_EQ(r.code, 2) << args[1];
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err, "");
    }
    EXPECT_NE(Cli(dir, {"set", "--genre", "Gothic Rok", path}).err.find("Unbekannte Musikrichtung: Gothic Rok"),
        std::string::npos);
    EXPECT_EQ(test::ReadFile(path), Cat({kAudio, kOld}));

    const CliRun help = Cli(dir, {"set", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("klangmappe-cli set [OPTIONEN] DATEI..."), std::string::npos);
}

TEST(CliSet, FileTimesAndUnchangedTags)
{
    test::TempDir dir;
    // Whole seconds: file times keep 100-ns ticks.
    const auto old = std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now()) - std::chrono::hours(24 * 400);
    const std::string path = dir.Write("a.mp3", Cat({kAudio, kOld}));
    fs::last_write_time(path, old);

    const CliRun same = Cli(dir, {"set", "--title", " Alt ", "--genre", "Rock", path});
    EXPECT_EQ(same.code, 0);
    EXPECT_EQ(same.out, "unverändert: " + path + "\n");
    EXPECT_EQ(fs::last_write_time(path), old);
    EXPECT_EQ(test::ReadFile(path), Cat({kAudio, kOld}));

    EXPECT_EQ(Cli(dir, {"set", "--title", "Neu", path}).code, 0);
    EXPECT_EQ(fs::last_write_time(path), old) << "times are kept by default";

    EXPECT_EQ(Cli(dir, {"set", "--touch", "--title", "Neuer", path}).code, 0);
    EXPECT_GT(fs::last_write_time(path), fs::file_time_type::clock::now() - std::chrono::minutes(5));

    EXPECT_EQ(Cli(dir, {"set", "--clear", path}).out, "geschrieben: " + path + "\n");
    EXPECT_EQ(test::ReadFile(path), kAudio) << "the empty tag removes the block";
    EXPECT_EQ(Cli(dir, {"set", "--clear", path}).out, "unverändert: " + path + "\n");
}

TEST(CliSet, AFailedFileDoesNotStopTheOthers)
{
    test::TempDir dir;
    const std::string first = dir.Write("1.mp3", Cat({kAudio, kOld}));
    const std::string missing = dir.Path() + "/fehlt.mp3";
    const std::string small = dir.Write("klein.mp3", Fill(130, 0x11));
    const std::string last = dir.Write("2.mp3", kAudio);

    const CliRun r = Cli(dir, {"set", "--year", "2001", "--", first, missing, small, dir.Path(), last});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "geschrieben: " + first + "\ngeschrieben: " + last + "\n");
    EXPECT_NE(r.err.find("Datei nicht gefunden: " + missing + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nicht geschrieben: " + small + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Datei nicht gefunden: " + dir.Path() + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFile(first), Cat({kAudio, test::V1("Alt", "Band", "Platte", "2001", "Bem", 5, 17)}));
    EXPECT_EQ(test::ReadFile(last), Cat({kAudio, test::V1("", "", "", "2001")}));
    EXPECT_EQ(test::ReadFile(small), Fill(130, 0x11));
    EXPECT_FALSE(fs::exists(missing));
}

TEST(CliSet, ALeadingTagRunningPastTheEndIsReportedAndLeftAlone)
{
    test::TempDir dir;
    // The header claims 50 bytes more than the file has: an appended block would be read as part of the tag.
    const Bytes damaged = Cat({test::Str("ID3"), {3, 0, 0}, test::Synchsafe(kAudio.size() + 50), kAudio});
    const std::string path = dir.Write("kaputt.mp3", damaged);
    const CliRun r = Cli(dir, {"set", "--title", "Neu", path});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
        "Die Datei \"kaputt.mp3\" hat einen beschädigten ID3v2-Tag, der über ihr Ende hinausreicht.\n"
        "Die Titelinformationen wurden nicht geschrieben.\nnicht geschrieben: "
            + path + "\n");
    EXPECT_EQ(test::ReadFile(path), damaged);
}

// The leading tag's frames as mutagen reads them (ids as stored, no ID3v1
// block merged in): "TEXT|ENCODING".
std::vector<std::string> MutagenFrames(const std::string& path)
{
    const std::string out = test::CommandOutput("PYTHONIOENCODING=utf-8 /usr/bin/python3 -c \"import sys\n"
                                                "from mutagen.id3 import ID3\n"
                                                "for f in ID3(sys.argv[1], translate=False, load_v1=False).values():\n"
                                                "    print(f.pprint() + '|' + str(int(getattr(f, 'encoding', 0))))\n"
                                                "\" "
        + test::ShellQuote(path));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        lines.push_back(out.substr(at, end - at));
    return lines;
}

TEST(CliSet, SyncID3v2CarriesWholeTextsIntoTheLeadingTag)
{
    test::TempDir dir;
    // lame's 2.3 tag: UTF-16 texts, a track of twelve, no padding.
    const std::string raw = dir.Write("a.raw", Bytes(11025 * 2, 0));
    const std::string path = dir.Path() + "/a.mp3";
    test::CommandOutput("lame --quiet -r -s 44.1 --bitwidth 16 -m m -b 64 --add-id3v2 --tt Alt --ta Band --tn 3/12 "
                        "--tg Rock "
        + test::ShellQuote(raw) + " " + test::ShellQuote(path) + " 2>&1");
    const Bytes encoded = test::ReadFile(path);

    // Without the option only the block changes.
    EXPECT_EQ(Cli(dir, {"set", "--artist", "Andere", path}).out, "geschrieben: " + path + "\n");
    const Bytes blockOnly = test::ReadFile(path);
    ASSERT_EQ(blockOnly.size(), encoded.size());
    EXPECT_TRUE(std::equal(encoded.begin(), encoded.end() - 128, blockOnly.begin()));
    const std::vector<std::string> before = MutagenFrames(path);

    const std::string title = std::string(30, 'T') + " und dreißig Zeichen mehr – ł";
    const CliRun r = Cli(dir, {"set", "--sync-id3v2", "--title", " " + title + "\t", "--track", "7", "--genre",
                                  "Rock & Roll", path});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "geschrieben: " + path + "\n");
    std::vector<std::string> expected = before;
    for (std::string& line : expected)
        for (const auto& [old, now] : {std::pair {"TIT2=Alt|1", "TIT2=" + title + "|1"},
                 {"TRCK=3/12|1", "TRCK=7/12|0"}, {"TCON=Rock|0", "TCON=Rock & Roll|0"}})
            if (line == old)
                line = now;
    EXPECT_NE(expected, before);
    EXPECT_EQ(MutagenFrames(path), expected) << "the whole title, the other frames as they were";
    const std::string info = Cli(dir, {"info", path}).out;
    EXPECT_NE(info.find("\"title\":\"" + std::string(30, 'T') + "\""), std::string::npos) << info;
    EXPECT_NE(info.find("\"id3v2Differs\":[\"artist\"]"), std::string::npos) << info << "only what was left out";
}

TEST(CliSet, SyncID3v2NamesEachTagItLeavesAlone)
{
    test::TempDir dir;
    const Bytes v22 = test::Tag(Cat({test::Str("TT2"), {0, 0, 4, 0}, test::Str("Alt")}), 0, 2);
    const Bytes packed = test::Tag(
        Cat({test::Str("TIT2"), test::BigEndian(8), {0, 0x80}, test::BigEndian(4), {0x78, 0x9C, 0x63, 0x70}}), 0, 3);
    const Bytes room = test::Tag(Cat({test::TextFrame("TIT2", "Alt"), Fill(100)}), 0, 4);
    const std::string first = dir.Write("22.mp3", Cat({v22, kAudio, kOld}));
    const std::string second = dir.Write("gepackt.mp3", Cat({packed, kAudio, kOld}));
    const std::string third = dir.Write("gut.mp3", Cat({room, kAudio, kOld}));

    const CliRun r = Cli(dir, {"set", "--sync-id3v2", "--title", "Neu", first, second, third});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "geschrieben: " + first + "\ngeschrieben: " + second + "\ngeschrieben: " + third + "\n");
    EXPECT_EQ(r.err, "ID3v2 nicht geändert (Version 2.2): " + first
            + "\nID3v2 nicht geändert (Feld komprimiert oder verschlüsselt): " + second + "\n");
    const Bytes block = test::V1("Neu", "Band", "Platte", "1999", "Bem", 5, 17);
    EXPECT_EQ(test::ReadFile(first), Cat({v22, kAudio, block}));
    EXPECT_EQ(test::ReadFile(second), Cat({packed, kAudio, block}));
    const Bytes changed = test::Tag(Cat({test::TextFrame("TIT2", "Neu"), Fill(100)}), 0, 4);
    EXPECT_EQ(test::ReadFile(third), Cat({changed, kAudio, block}));
}

} // namespace
} // namespace km

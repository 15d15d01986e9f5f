#include "cli/clirun.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Cli;
using test::Fill;

const std::vector<std::string> kGerman = {"LANG=de_DE.UTF-8", "LC_ALL=", "TZ=UTC"};

void SetTime(const std::string& path, long seconds)
{
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class CliList : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = dir.Path() + "/";
        // 640,000 audio bytes at 128 kbit/s: 40 seconds.
        const Bytes big = Cat({test::Header(), Fill(640'000 - 4, 0x11), test::V1("Zebra", "Band", "", "1999", "", 2, 17)});
        SetTime(dir.Write("a.MP3", big), 1'600'000'000);
        SetTime(dir.Write("b.mp3", Cat({test::Header(0xF3, 0x54, 0xC0), Fill(3996, 0x11), test::V1("apfel\tmit Tab")})),
            1'500'000'000);
        dir.Write("c.txt", Fill(300));
        std::filesystem::create_directories(root + "d");
        SetTime(dir.Write("d/e.mp3", Cat({test::Tag(Fill(100)), test::Header(), Fill(1000, 0x11)})), 1'400'000'000);
    }

    test::TempDir dir;
    std::string root;
};

TEST_F(CliList, DefaultColumnsSortedByFileName)
{
    const auto r = Cli(dir, {"list", dir.Path()}, kGerman);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out,
        "Dateiname\tTitel\tInterpret\tAlbum\tTitelnr\tJahr\tBemerkung\tMusikrichtung\tLänge\n"
        "a.MP3\tZebra\tBand\t\t2\t1999\t\tRock\t0:00:40\n"
        "b.mp3\tapfel mit Tab\t\t\t\t\t\t\t0:00:00\n");
}

TEST_F(CliList, ChosenColumnsSubfoldersAndDirection)
{
    const auto r = Cli(dir, {"list", "--recursive", "--columns", "0,9,16,8,11,12,13,14,10", "--sort", "-10", root}, kGerman);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out,
        "Dateiname\tGröße\tDateidatum\tOrdner\tMPEG-Version\tBitrate\tFrequenz\tStereo/Mono\tAttribute\n"
        "a.MP3\t625 KB\t13.09.20 12:26\t" + root + "\tMPEG 1 Layer 3\t128 kbps\t44 kHz\tStereo\t\n"
        "b.mp3\t4 KB\t14.07.17 02:40\t" + root + "\tMPEG 2 Layer 3\t40 kbps\t24 kHz\tMono\t\n"
        "e.mp3\t1 KB\t13.05.14 16:53\t" + root + "d/\tMPEG 1 Layer 3\t128 kbps\t44 kHz\tStereo\t\n");

    // Title ascending, ties by the shown columns; a relative folder becomes absolute.
    const auto byTitle = Cli(dir, {"list", "-r", "--columns", "1,0", "--sort", "2", "--json", "."}, kGerman);
    EXPECT_EQ(byTitle.code, 0);
    EXPECT_EQ(byTitle.out, "[]\n") << "run from the test's own folder, which holds no MP3 files";
}

// An unreadable subfolder is named on stderr and fails the run; the other
// files are still listed, and export behaves alike.
TEST_F(CliList, TheID3v2ColumnReadsTheLeadingTag)
{
    dir.Write("f.mp3", Cat({test::Tag(test::TextFrame("TIT2", "Zebra")), test::Header(), Fill(1000, 0x11),
                           test::V1("Zebra")}));
    dir.Write("g.mp3", Cat({test::Tag(test::TextFrame("TIT2", "Anders"), 0, 3), test::Header(), Fill(1000, 0x11),
                           test::V1("Zebra")}));
    const auto r = Cli(dir, {"list", "--columns", "0,17", "--sort", "-18", root}, kGerman);
    EXPECT_EQ(r.code, 0) << r.err;
    // Descending by the cell texts; the rows without a tag last, their tie broken by the name, reversed too.
    EXPECT_EQ(r.out, "Dateiname\tID3v2\nf.mp3\t2.4\ng.mp3\t2.3 \u2260\nb.mp3\t\na.MP3\t\n");
}

// Tags written in another set: read, sorted and compared as the texts they
// are; the ID3v2 column holds them against the frames in that set too.
TEST(CliCharset, TextsOfAnotherSetReadSortedAndCompared)
{
    test::TempDir dir;
    const Bytes audio = Cat({test::Header(), Fill(2000, 0x11)});
    // "Я" is 0xDF and "ёж" 0xB8 0xE6 in Windows-1251: by bytes ё comes first, by letters Я.
    dir.Write("a.mp3", Cat({test::Tag(test::Frame("TIT2", Cat({{3}, test::Str("Я")}))), audio, test::V1("\xdf")}));
    dir.Write("b.mp3", Cat({audio, test::V1("\xb8\xe6")}));
    const auto r = Cli(dir, {"list", "--charset", "Windows-1251", "--columns", "0,1,17", "--sort", "2", dir.Path()}, kGerman);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "Dateiname\tTitel\tID3v2\na.mp3\tЯ\t2.4\nb.mp3\tёж\t\n");
    const auto plain = Cli(dir, {"list", "--columns", "0,1,17", "--sort", "2", dir.Path()}, kGerman);
    EXPECT_EQ(plain.out, "Dateiname\tTitel\tID3v2\nb.mp3\t¸æ\t\na.mp3\tß\t2.4 ≠\n");
    const auto info = Cli(dir, {"info", "--charset", "windows-1251", dir.Path() + "/a.mp3"});
    EXPECT_NE(info.out.find("\"id3v2Differs\":[],"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("\"title\":\"Я\""), std::string::npos) << info.out;
    // Frames made from the block for display: UTF-16 where ISO-8859-1 cannot hold the text.
    EXPECT_NE(Cli(dir, {"info", "--charset", "windows-1251", dir.Path() + "/b.mp3"}).out.find(
                  "{\"id\":\"TIT2\",\"data\":\"01fffe51043604\"}"),
        std::string::npos);
    EXPECT_NE(Cli(dir, {"info", dir.Path() + "/b.mp3"}).out.find("{\"id\":\"TIT2\",\"data\":\"00b8e6\"}"),
        std::string::npos);
    const auto wrong = Cli(dir, {"list", "--charset", "cp1251", dir.Path()});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_EQ(wrong.err.substr(0, wrong.err.find('\n', wrong.err.find('\n') + 1)),
        "Unbekannter Zeichensatz: cp1251\n(windows-1252, windows-1250, windows-1251, koi8-r, windows-1253, windows-1254, "
        "windows-1255, windows-1256, windows-1257, windows-1258, windows-874, shift_jis, gbk, big5, euc-kr)");
}

// Each set's own letters go into a file and come back as they were.
TEST(CliCharset, EverySetRoundTripsItsOwnLetters)
{
    test::TempDir dir;
    const std::string path = dir.Write("a.mp3", Cat({test::Header(), Fill(2000, 0x11), test::V1("x")}));
    const std::pair<const char*, const char*> texts[] = {{"windows-1252", "Grüße, Œuvre"},
        {"windows-1250", "Łódź, Žluťoučký"}, {"windows-1251", "Привет, мир"}, {"koi8-r", "Ёлка, Щука"},
        {"windows-1253", "Καλημέρα"}, {"windows-1254", "Türkçe ığş"}, {"windows-1255", "שלום"},
        {"windows-1256", "مرحبا"}, {"windows-1257", "Ąžuolas, ėšų"}, {"windows-1258", "Tiếng Việt"},
        {"windows-874", "สวัสดี"}, {"shift_jis", "日本語のテスト"}, {"gbk", "中文歌曲"}, {"big5", "華語歌曲"},
        {"euc-kr", "한국어 노래"}};
    for (const auto& [name, text] : texts) {
        ASSERT_EQ(Cli(dir, {"set", "--charset", name, "--title", text, path}).code, 0) << name;
        const std::string out = Cli(dir, {"info", "--charset", name, path}).out;
        EXPECT_NE(out.find("\"title\":\"" + std::string(text) + "\""), std::string::npos) << name << ": " << out;
    }
}

// Writing in another set: texts encoded in it and cut where a character ends,
// case by its letters with undefined bytes left alone, names split into it
// and made from it, and lists exported from it.
TEST(CliCharset, EveryCommandWritesAndReadsInTheSetGiven)
{
    test::TempDir dir;
    const Bytes audio = Cat({test::Header(), Fill(2000, 0x11)});
    const auto block = [&](const std::string& name) {
        const Bytes bytes = test::ReadFile(dir.Path() + "/" + name);
        return std::string(bytes.end() - 125, bytes.end() - 95); // the title
    };
    const std::string a = dir.Write("a.mp3", Cat({audio, test::V1("x")}));
    ASSERT_EQ(Cli(dir, {"set", "--charset", "windows-1251", "--title", "Привет, ł", a}).code, 0);
    EXPECT_EQ(block("a.mp3"), std::string("\xcf\xf0\xe8\xe2\xe5\xf2, ?") + std::string(21, '\0'));
    ASSERT_EQ(Cli(dir, {"set", "--charset", "shift_jis", "--title", "abc日本語日本語日本語日本語日本語", a}).code, 0);
    EXPECT_EQ(block("a.mp3").substr(27), std::string("\x93\xfa\0", 3)) << "29 bytes: the next character would not fit whole";
    EXPECT_NE(Cli(dir, {"info", "--charset", "shift_jis", a}).out.find("\"title\":\"abc日本語日本語日本語日本語日\""),
        std::string::npos);

    const std::string b = dir.Write("b.mp3", Cat({audio, test::V1("\xef\xd0\xc8\xc2\xc5\xd2 \xec\xe8\xf0")}));
    ASSERT_EQ(Cli(dir, {"case", "--charset", "windows-1251", "--mode", "first", b}).code, 0);
    EXPECT_EQ(block("b.mp3").substr(0, 10), "\xcf\xf0\xe8\xe2\xe5\xf2 \xcc\xe8\xf0") << "пРИВЕТ мир: Привет Мир";
    const std::string c = dir.Write("c.mp3", Cat({audio, test::V1("\xe1\xaa\xe1 ab")}));
    ASSERT_EQ(Cli(dir, {"case", "--charset", "windows-1253", "--mode", "upper", c}).code, 0);
    EXPECT_EQ(block("c.mp3").substr(0, 6), "\xe1\xaa\xe1 AB") << "a-z only; 0xAA, undefined in Greek, stays";

    const std::string d = dir.Write("Группа - Песня.mp3", Cat({audio}));
    ASSERT_EQ(Cli(dir, {"from-name", "--charset", "windows-1251", d}).code, 0);
    EXPECT_EQ(block("Группа - Песня.mp3").substr(0, 6), std::string("\xcf\xe5\xf1\xed\xff\0", 6));
    const auto list
        = Cli(dir, {"export", "m3u", "--extended", "--charset", "windows-1251", "--output", dir.Path() + "/p.m3u", dir.Path()});
    ASSERT_EQ(list.code, 0) << list.err;
    const Bytes m3u = test::ReadFile(dir.Path() + "/p.m3u");
    EXPECT_NE(std::string(m3u.begin(), m3u.end()).find(",? - Привет Мир\r\nb.mp3"), std::string::npos);
    ASSERT_EQ(Cli(dir, {"to-name", "--charset", "windows-1251", "--structure", "3,0,0", b}).code, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.Path() + "/Привет Мир.mp3"));
}

TEST_F(CliList, UnreadableSubfoldersAreToldAndFail)
{
    std::filesystem::create_directories(root + "zu");
    dir.Write("zu/f.mp3", Fill(10));
    ::chmod((root + "zu").c_str(), 0);
    std::vector<std::string> env = kGerman;
    // As root, without the capabilities that pass over permissions.
    if (::geteuid() == 0)
        env.push_back("setpriv --bounding-set=-dac_override,-dac_read_search --");
    const auto r = Cli(dir, {"list", "-r", "--columns", "0", root}, env);
    const auto e = Cli(dir, {"export", "m3u", "-r", "--output", root + "l.m3u", root}, env);
    ::chmod((root + "zu").c_str(), 0755);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "Dateiname\na.MP3\nb.mp3\ne.mp3\n");
    EXPECT_EQ(r.err, "Ordner nicht lesbar: " + root + "zu/ (Zugriff verweigert)\n");
    EXPECT_EQ(e.code, 1);
    EXPECT_EQ(e.err, r.err);
    EXPECT_TRUE(std::filesystem::exists(root + "l.m3u"));
}

TEST_F(CliList, JsonRowsKeyedByCaption)
{
    const auto r = Cli(dir, {"list", "--json", "--columns", "1,15", "--sort", "2", root}, kGerman);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "[{\"Titel\":\"apfel\\tmit Tab\",\"Länge\":\"0:00:00\"},{\"Titel\":\"Zebra\",\"Länge\":\"0:00:40\"}]\n");
}

TEST_F(CliList, JsonGivesTheBytesOfANameThatIsNoUtf8)
{
    std::filesystem::create_directories(root + "x");
    dir.Write("x/caf\xe9.mp3", Cat({test::Header(), Fill(1000, 0x11)}));
    const auto r = Cli(dir, {"list", "--json", "--columns", "0", root + "x"}, kGerman);
    EXPECT_EQ(r.code, 0);
    std::string hex;
    for (const unsigned char c : root + "x/caf\xe9.mp3")
        hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15];
    EXPECT_EQ(r.out, "[{\"Dateiname\":\"caf\xef\xbf\xbd.mp3\",\"pathHex\":\"" + hex + "\"}]\n");
}

TEST_F(CliList, MissingFolderAndBadCalls)
{
    const auto r = Cli(dir, {"list", root + "fehlt"}, kGerman);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "Dateiname\tTitel\tInterpret\tAlbum\tTitelnr\tJahr\tBemerkung\tMusikrichtung\tLänge\n");
    EXPECT_EQ(r.err, "Ordner nicht gefunden: " + root + "fehlt\n");
    const auto j = Cli(dir, {"list", "--json", root + "fehlt"}, kGerman);
    EXPECT_EQ(j.out, "[]\n");
    EXPECT_EQ(j.code, 1);

    EXPECT_EQ(Cli(dir, {"list", ""}, kGerman).code, 1) << "an empty folder name is not found";
    EXPECT_EQ(Cli(dir, {"list", root, "--sort"}).code, 2);
    EXPECT_EQ(Cli(dir, {"list"}).code, 2);
    EXPECT_EQ(Cli(dir, {"list", "--sort", "x", root}).code, 2);
    EXPECT_EQ(Cli(dir, {"list", "--columns", "1,,2", root}).code, 2);
    const auto unknown = Cli(dir, {"list", "--columns", "0,18", root});
    EXPECT_EQ(unknown.code, 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(unknown.err, "Unbekannte Spalte: 18 (0 bis 17)\n");
    EXPECT_EQ(Cli(dir, {"list", root, root}).code, 2);
    const auto help = Cli(dir, {"list", "--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("--recursive"), std::string::npos);
}

} // namespace
} // namespace km

#include "cli/clirun.h"
#include "support/workbookreader.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace km {
namespace {

using test::Cli;

test::Bytes Song(std::string_view title, std::string_view artist)
{
    return test::Cat({test::Header(), test::Fill(4000, 0x11), test::V1(title, artist, "", "", "", 0, 255)});
}

std::string Text(const std::string& path)
{
    const test::Bytes b = test::ReadFile(path);
    return std::string(b.begin(), b.end());
}

class CliExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path() + "/m/unter");
        dir.Write("m/b.mp3", Song("Alpha", "<Band>"));
        dir.Write("m/a.mp3", Song("Zulu", ""));
        dir.Write("m/unter/c.mp3", Song("", ""));
        folder = dir.Path() + "/m";
    }
    test::TempDir dir;
    std::string folder;
};

TEST_F(CliExport, PageFollowsColumnsAndSortAndNeverReplacesUnasked)
{
    const std::string page = dir.Path() + "/seite.htm";
    test::CliRun r = Cli(dir, {"export", "html", "--columns", "0,2", "--sort", "2", "--output", page, folder}, {"LANG=de_DE.UTF-8"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string text = Text(page);
    EXPECT_NE(text.find("<td><b>Dateiname</b></td>\r\n<td><b>Interpret</b></td>\r\n</tr>\r\n\r\n"
                        "<tr bgcolor=\"#dddddd\">\r\n<td>b.mp3</td>\r\n<td>&lt;Band&gt;</td>\r\n</tr>\r\n\r\n"
                        "<tr bgcolor=\"#eeeeee\">\r\n<td>a.mp3</td>\r\n<td>&nbsp;</td>\r\n</tr>\r\n\r\n\r\n</table>"),
        std::string::npos)
        << text;
    EXPECT_NE(text.find("Verzeichnis: " + folder + "/\r\n"), std::string::npos);

    r = Cli(dir, {"export", "html", "--output", page, "--columns", "", "-r", folder});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("existsiert bereits"), std::string::npos);
    EXPECT_EQ(Text(page), text) << "kept without --force";
    r = Cli(dir, {"export", "html", "--force", "--output", page, "--columns", "", "-r", folder});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(Text(page).find("<table border=\"0\" width=\"100%\">\r\n<tr bgcolor=\"#aaaaaa\">\r\n</tr>\r\n\r\n"
                              "<tr bgcolor=\"#dddddd\">\r\n</tr>\r\n"),
        std::string::npos);
    EXPECT_NE(Text(page).find(" (mit Unterordnern)\r\n"), std::string::npos);
    EXPECT_EQ(Cli(dir, {"export", "pdf", "--output", page, folder}).code, 2);
    r = Cli(dir, {"export", "html", "--columns", "0,-1", "--output", dir.Path() + "/neu.htm", folder});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err, "Unbekannte Spalte: -1 (0 bis 17)\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/neu.htm"));
}

TEST_F(CliExport, PlaylistsRelativeOnlyInTheListedFolder)
{
    test::CliRun r = Cli(dir, {"export", "m3u", "-r", "--extended", "--output", folder + "/../m/liste.m3u", folder});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Text(folder + "/liste.m3u"),
        "#EXTM3U\r\n#EXTINF:0,? - Zulu\r\na.mp3\r\n#EXTINF:0,<Band> - Alpha\r\nb.mp3\r\n#EXTINF:0,c\r\nunter/c.mp3\r\n");
    r = Cli(dir, {"export", "m3u", "--output", dir.Path() + "/p.m3u", folder});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Text(dir.Path() + "/p.m3u"), folder + "/a.mp3\r\n" + folder + "/b.mp3\r\n");
    // An output name that is no UTF-8 is written under its own bytes.
    ASSERT_EQ(Cli(dir, {"export", "m3u", "--output", dir.Path() + "/p\xff.m3u", folder}).code, 0);
    EXPECT_EQ(Text(dir.Path() + "/p\xff.m3u"), Text(dir.Path() + "/p.m3u"));
}

TEST_F(CliExport, WorkbookCellsInOrder)
{
    const std::string book = dir.Path() + "/liste.xlsx";
    test::CliRun r = Cli(dir, {"export", "xlsx", "--sort", "-1", "--output", book, folder});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(test::WorkbookCells(book, 6), folder + "/|s\tb.mp3|s\tAlpha|s\t<Band>|s\t\t0|s\n" + folder
            + "/|s\ta.mp3|s\tZulu|s\t\t\t0|s\n");
}

} // namespace
} // namespace km

#include "cli/clirun.h"
#include "cli/options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace km {
namespace {

using cli::TOptionParser;
using cli::TUsageError;
using Args = std::vector<std::string>;

// Like a command's: a flag with an alias, an option with a value, one that checks its value.
struct Parsed {
    bool touch = false;
    Args titles;
    TOptionParser parser;

    Parsed()
    {
        parser.Flag({"--touch", "-t"}, touch).Value({"--title"}, [this](const std::string& v) { titles.push_back(v); });
        parser.Value({"--sort"}, [](const std::string& v) { throw TUsageError {"Ungültiger Sortiercode: " + v, false}; });
    }

    std::string Error(const Args& args) const
    {
        try {
            parser.Parse(args);
        } catch (const TUsageError& e) {
            return e.Message + (e.WithHelp ? " +Hilfe" : "");
        }
        return "kein Fehler";
    }
};

TEST(CliOptions, FlagsValuesAndTheRest)
{
    Parsed p;
    EXPECT_EQ(p.parser.Parse({"a", "--title", "-x", "-", "-t", "--title", "--", "--", "--touch", "-h"}),
        (Args {"a", "-", "--touch", "-h"}));
    EXPECT_TRUE(p.touch);
    EXPECT_EQ(p.titles, (Args {"-x", "--"})) << "a value is the next argument, whatever it looks like";
    EXPECT_EQ(p.parser.Parse({"--title", "--help"}), Args {});
    EXPECT_THROW(p.parser.Parse({"a", "-h"}), cli::THelpWanted);
}

TEST(CliOptions, WrongCalls)
{
    Parsed p;
    EXPECT_EQ(p.Error({"--title=T", "a"}), "Unbekannte Option: --title=T +Hilfe");
    EXPECT_EQ(p.Error({"a", "--title"}), "Der Option --title fehlt ihr Wert. +Hilfe");
    EXPECT_EQ(p.Error({"--sort", "x", "--falsch"}), "Ungültiger Sortiercode: x") << "the first mistake counts";
    EXPECT_EQ(p.Error({"--sort", "x", "--help"}), "Ungültiger Sortiercode: x");
    EXPECT_EQ(p.Error({"--falsch", "--sort", "x"}), "Unbekannte Option: --falsch +Hilfe");
    p.parser.MissingValue([](const std::string& option) { return TUsageError {"Wert fehlt: " + option, false}; });
    EXPECT_EQ(p.Error({"--sort"}), "Wert fehlt: --sort");
}

TEST(CliCall, UsageListsTheCommands)
{
    test::TempDir dir;
    const test::CliRun r = test::Cli(dir, {});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Befehle:\n"
                         "  info [OPTIONEN] DATEI...          Zeigt, was Klangmappe in MP3-Dateien liest.\n"
                         "  list [OPTIONEN] ORDNER            Zeigt die Dateiliste eines Ordners.\n"
                         "  set [OPTIONEN] DATEI...           Schreibt Felder in den ID3v1-Block.\n"
                         "  case [OPTIONEN] DATEI...          Ändert Groß- und Kleinschreibung der Texte.\n"
                         "  from-name [OPTIONEN] DATEI...     Übernimmt Titelinformationen aus dem Dateinamen.\n"
                         "  to-name [OPTIONEN] DATEI...       Benennt Dateien nach ihren Titelinformationen um.\n"
                         "  export FORMAT [OPTIONEN] ORDNER   Schreibt die Dateiliste als HTML, M3U oder XLSX.\n\n"),
        std::string::npos)
        << r.err;
}

// Runs in the temporary folder, so that an argument can be a bare file name.
class CliCallInFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::chdir(dir.Path().c_str()), 0); }
    void TearDown() override { ASSERT_EQ(::chdir(home.c_str()), 0); }

    const std::string home = std::filesystem::current_path().string();
    test::TempDir dir;
};

TEST_F(CliCallInFolder, FilesNamedLikeOptions)
{
    dir.Write("--x.mp3", test::Cat({test::Header(), test::Fill(1500, 0x11)}));
    const test::CliRun set = test::Cli(dir, {"set", "--title", "--", "--", "--x.mp3"});
    EXPECT_EQ(set.code, 0);
    EXPECT_EQ(set.out, "geschrieben: --x.mp3\n");

    const test::CliRun wrong = test::Cli(dir, {"set", "--title", "T", "--x.mp3"});
    EXPECT_EQ(wrong.code, 2);
    EXPECT_EQ(wrong.err.find("Unbekannte Option: --x.mp3\n\nklangmappe-cli set [OPTIONEN]"), 0u) << wrong.err;

    const test::CliRun list = test::Cli(dir, {"list", "--json", "--columns", "0,1", "--", "."});
    EXPECT_EQ(list.code, 0);
    EXPECT_EQ(list.out, "[{\"Dateiname\":\"--x.mp3\",\"Titel\":\"--\"}]\n");
}

} // namespace
} // namespace km

#include "cli/clirun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Cli;
using test::CliRun;
using test::ReadFile;
using test::V1;

namespace fs = std::filesystem;
using namespace std::chrono;

const Bytes kAudio = Cat({test::Header(), test::Fill(1500, 0x11)});

std::size_t Count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

void SetMTime(const std::string& path, sys_seconds time)
{
    const timespec times[2] = {{0, UTIME_OMIT}, {time.time_since_epoch().count(), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

sys_seconds MTime(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return sys_seconds(seconds(st.st_mtim.tv_sec));
}

TEST(CliFromName, SplitsEachNameOnItsOwn)
{
    test::TempDir dir;
    const std::string a = dir.Write("Artist - Song.mp3", Cat({kAudio, V1("Old", "Someone", "Alb", "1990", "c", 9, 17)}));
    const std::string b = dir.Write("07 - Artist - Song.mp3", Cat({kAudio, V1("Old", "Someone", "Alb", "1990", "c", 3, 17)}));

    const CliRun r = Cli(dir, {"from-name", "--structure", "1,2,3", "--sep2", " - ", a, b});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "geschrieben: " + a + "\ngeschrieben: " + b + "\n");
    EXPECT_EQ(ReadFile(a), Cat({kAudio, V1("Song", "Artist", "Alb", "1990", "c", 9, 17)})) << "no number: the track stays";
    EXPECT_EQ(ReadFile(b), Cat({kAudio, V1("Song", "Artist", "Alb", "1990", "c", 7, 17)})) << "the shift held for one file only";
}

TEST(CliFromName, AlbumFromTheFolderOfARelativePathAndYearFromTheDate)
{
    test::TempDir dir;
    fs::create_directory(dir.Path() + "/Best Of");
    const std::string path = dir.Write("Best Of/A - B.mp3", Cat({kAudio, V1("", "", "Old")}));
    SetMTime(path, sys_days(2003y / June / 15) + 12h);

    const fs::path before = fs::current_path();
    fs::current_path(dir.Path() + "/Best Of");
    const CliRun r = Cli(dir, {"from-name", "--dir-album", "--year-from-date", "./A - B.mp3"});
    fs::current_path(before);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadFile(path), Cat({kAudio, V1("B", "A", "Best Of", "2003")}));
}

TEST(CliFromName, MissingSeparatorsAndWrongStructuresTouchNothing)
{
    test::TempDir dir;
    const Bytes bytes = Cat({kAudio, V1("Old")});
    const std::string a = dir.Write("01 - A - B.mp3", bytes);
    const std::string b = dir.Write("C - D.mp3", bytes);

    for (const std::vector<std::string>& options : std::vector<std::vector<std::string>> {
             {"--sep1", ""}, {"--structure", "1,2,3"}}) {
        std::vector<std::string> args {"from-name"};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(), {a, b});
        const CliRun r = Cli(dir, args);
        EXPECT_EQ(r.code, 1) << options.back();
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Sie haben in den Einstellungen des Programms keine Trennzeichen angegeben, mit denen die "
                         "Informationen im Dateinamen getrennt sind.\n");
    }
    for (const char* structure : {"1,2", "1,2,6", "1,2,3,", "12,3,4"}) {
        const CliRun r = Cli(dir, {"from-name", "--structure", structure, a});
        EXPECT_EQ(r.code, 2) << structure;
        EXPECT_NE(r.err.find("Ungültiger Aufbau"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFile(a), bytes);
    EXPECT_EQ(ReadFile(b), bytes);
}

TEST(CliToName, RenamesInOrderUntilANameBelongsToAnotherFile)
{
    test::TempDir dir;
    const Bytes song = Cat({kAudio, V1("Song", "Artist")});
    const Bytes taken = Cat({kAudio, V1("Someone else")});
    const Bytes mine = Cat({kAudio, V1("Taken")});
    const std::string a = dir.Write("song.MP3", song);
    const std::string right = dir.Write("Right.mp3", Cat({kAudio, V1("Right")}));
    const std::string other = dir.Write("Taken.mp3", taken);
    const std::string b = dir.Write("b.mp3", mine);
    const std::string later = dir.Write("later.mp3", Cat({kAudio, V1("Later")}));

    const CliRun r = Cli(dir, {"to-name", "--structure", "3,0,0", a, right, b, later});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "umbenannt: " + a + " -> " + dir.Path() + "/Song.mp3\nunverändert: " + right + "\n");
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(ReadFile(dir.Path() + "/Song.mp3"), song);
    EXPECT_NE(r.err.find("Es gibt bereits eine andere Datei mit dem Namen \"Taken.mp3\"."), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(other), taken);
    EXPECT_EQ(ReadFile(b), mine);
    EXPECT_TRUE(fs::exists(later)) << "the run ended at the collision";
    EXPECT_FALSE(fs::exists(dir.Path() + "/Later.mp3"));
}

TEST(CliToName, EmptyFieldsAreSkippedOrRenamedWithoutAsking)
{
    test::TempDir dir;
    const std::string noArtist = dir.Write("x.mp3", Cat({kAudio, V1("Song")}));
    const std::string empty1 = dir.Write("e1.mp3", Cat({kAudio, V1("")}));
    const std::string empty2 = dir.Write("e2.mp3", Cat({kAudio, V1("")}));

    CliRun r = Cli(dir, {"to-name", noArtist, empty1, empty2});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("übersprungen: " + noArtist + "\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Interpreten"), std::string::npos) << "the question is answered, not shown";
    EXPECT_EQ(Count(r.err, "Alle benötigten Felder (Interpret, Titel) sind leer.\nDie Datei \"e1.mp3\""), 1u) << r.err;
    EXPECT_EQ(Count(r.err, "sind leer"), 1u) << "once per run";
    EXPECT_TRUE(fs::exists(noArtist));

    r = Cli(dir, {"to-name", "--empty", "rename", noArtist});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "umbenannt: " + noArtist + " -> " + dir.Path() + "/Song.mp3\n");
}

TEST(CliToName, YearToDateMovesTheLocalYear)
{
    test::TempDir dir;
    const std::string path = dir.Write("old.mp3", Cat({kAudio, V1("New", "", "", "1999")}));
    // In UTC+3 this is 1 January 2021, 01:30:15; in UTC still 2020.
    SetMTime(path, sys_days(2020y / December / 31) + 22h + 30min + 15s);

    const CliRun r = Cli(dir, {"to-name", "--structure", "3,0,0", "--year-to-date", path}, {"TZ=ABC-3"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(MTime(dir.Path() + "/New.mp3"), sys_days(1998y / December / 31) + 22h + 30min + 15s);

    // Fields that give no name: the name stays, the date moves all the same.
    const std::string none = dir.Write("none.mp3", Cat({kAudio, V1("???", "", "", "1999")}));
    SetMTime(none, sys_days(2020y / June / 1));
    CliRun kept = Cli(dir, {"to-name", "--structure", "3,0,0", "--year-to-date", none});
    EXPECT_EQ(kept.code, 0) << kept.err;
    EXPECT_EQ(kept.err, "Name unverändert (die Felder ergeben keinen Namen), Datum gesetzt: " + none + "\n");
    EXPECT_EQ(MTime(none), sys_days(1999y / June / 1));
    kept = Cli(dir, {"to-name", "--structure", "3,0,0", none});
    EXPECT_EQ(kept.err, "übersprungen, die Felder ergeben keinen Namen: " + none + "\n");
}

} // namespace
} // namespace km

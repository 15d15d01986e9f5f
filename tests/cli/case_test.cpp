#include "cli/clirun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Cli;
using test::CliRun;
using test::Fill;

namespace fs = std::filesystem;

TEST(CliCase, ConvertsTheTextsOfEachFileAndLeavesTheRest)
{
    test::TempDir dir;
    const Bytes audio = Cat({test::Header(), Fill(1500, 0x11)});
    const std::string a = dir.Write("a.mp3", Cat({audio, test::V1("don't stop", "ac/dc", "\xc4RGER", "abcd", "o'neil-smith", 5, 17)}));
    const std::string b = dir.Write("b.mp3", Cat({audio, test::V1("Schon So", "Band")}));
    const auto old = fs::last_write_time(b) - std::chrono::hours(48);
    fs::last_write_time(b, old);

    const CliRun r = Cli(dir, {"case", "--mode", "first", a, b});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "geschrieben: " + a + "\nunverändert: " + b + "\n");
    EXPECT_EQ(test::ReadFile(a), Cat({audio, test::V1("Don't Stop", "Ac/Dc", "\xc4rger", "abcd", "O'neil-Smith", 5, 17)}));
    EXPECT_EQ(fs::last_write_time(b), old) << "an unchanged file is not touched";
    EXPECT_EQ(Cli(dir, {"case", "--touch", "--mode", "first", b}).out, "unverändert: " + b + "\n");
    EXPECT_EQ(fs::last_write_time(b), old) << "not even with --touch";

    EXPECT_EQ(Cli(dir, {"case", "--mode", "upper", a}).code, 0);
    EXPECT_EQ(test::ReadFile(a), Cat({audio, test::V1("DON'T STOP", "AC/DC", "\xc4RGER", "abcd", "O'NEIL-SMITH", 5, 17)}));
    EXPECT_EQ(Cli(dir, {"case", "--mode", "lower", a}).code, 0);
    EXPECT_EQ(test::ReadFile(a), Cat({audio, test::V1("don't stop", "ac/dc", "\xc4rger", "abcd", "o'neil-smith", 5, 17)}));

    // Wrong calls touch nothing.
    const Bytes before = test::ReadFile(a);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             {"case", a}, {"case", "--mode", "title", a}, {"case", "--mode", "upper"}}) {
        EXPECT_EQ(Cli(dir, args).code, 2) << args.size();
    }
    EXPECT_EQ(test::ReadFile(a), before);
}

} // namespace
} // namespace km

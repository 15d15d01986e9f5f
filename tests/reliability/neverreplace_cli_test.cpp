// The command line's to-name onto every kind of taken name.
#include "cli/clirun.h"
#include "reliability/neverreplace_snapshot.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(NeverReplaceCli, ToNameStopsAtEveryTakenName)
{
    const test::Bytes song = test::Cat({test::Header(), test::Fill(900, 0x11), test::V1("Song")});
    for (const test::TTaken kind : test::AllTaken()) {
        if (kind == test::TTaken::Appears)
            continue; // needs the layer seam: the core suite covers it
        SCOPED_TRACE(test::TakenName(kind));
        test::TempDir dir;
        const std::string source = dir.Write("song.mp3", song), target = dir.Path() + "/Song.mp3";
        test::Take(kind, source, target);
        const test::TSnapshot before = test::Snapshot(dir.Path());
        const test::CliRun r = test::Cli(dir, {"to-name", "--structure", "3,0,0", source});
        const test::TSnapshot after = test::Snapshot(dir.Path());
        const bool free = kind == test::TTaken::CaseTwin;
        EXPECT_EQ(r.code, free ? 0 : 1) << r.err;
        EXPECT_EQ(r.err.find("Es gibt bereits eine andere Datei") != std::string::npos, !free) << r.err;
        for (const auto& [path, node] : before) {
            if (path == source && free)
                continue;
            ASSERT_TRUE(after.count(path)) << path << " is gone";
            EXPECT_EQ(after.at(path), node) << path << " was replaced or changed";
        }
        if (free) {
            EXPECT_EQ(after.at(target), before.at(source)) << "the song itself under its new name";
        }
    }
}

} // namespace
} // namespace km

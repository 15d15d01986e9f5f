#include "export/playlist.h"

#include "model/entry.h"

#include <gtest/gtest.h>

namespace km {
namespace {

TEintragDaten Entry(const char* folder, const char* name, const char* artist, const char* title, std::uint32_t ms)
{
    TEintragDaten e;
    e.Folder = folder;
    e.FileName = name;
    StoreField(e.Tag.Interpret, artist);
    StoreField(e.Tag.Titel, title);
    e.Duration = ms;
    return e;
}

TEST(Playlist, SecondsRoundHalfToEven)
{
    const std::pair<std::uint32_t, std::uint32_t> cases[] = {
        {0, 0}, {499, 0}, {500, 0}, {501, 1}, {1500, 2}, {2500, 2}, {3500, 4}, {3499, 3}, {4294967295u, 4294967}};
    for (const auto& [ms, s] : cases)
        EXPECT_EQ(PlaylistSeconds(ms), s) << ms;
}

TEST(Playlist, RelativeFolders)
{
    EXPECT_EQ(RelativeFolder("/m/", "/m/"), "");
    EXPECT_EQ(RelativeFolder("/m/", "/m/Sub/Tief/"), "Sub/Tief/");
    EXPECT_EQ(RelativeFolder("/m/a/", "/m/b/c/"), "../b/c/");
    EXPECT_EQ(RelativeFolder("/m/Ä/", "/m/ä/"), "../ä/") << "names compare exactly";
    EXPECT_EQ(RelativeFolder("/x/y/", "/"), "../../");
}

TEST(Playlist, ExtendedLinesDisplayTextsAndPaths)
{
    const TEintragDaten a = Entry("/m/", "a.mp3", "Band", "Lied", 2500);
    const TEintragDaten b = Entry("/m/Sub/", "Ohne Tag.mp3", "", "", 1500);
    const TEintragDaten c = Entry("/m/", "c.mp3", "", "Nur Titel", 0);
    const TEintragDaten d = Entry("/m/", "qq.mp3", "?", "?", 499);
    const TEintragDaten e = Entry("/m/", "mp3", "", "", 0);
    TEintragDaten f = Entry("/m/", "bad\xff\xfe.mp3", "Gr\xfcn", "Zwei\nZeilen", 61000);
    const std::vector<const TEintragDaten*> entries {&a, &b, &c, &d, &e, &f};
    EXPECT_EQ(PlaylistText(entries, true, std::string("/m/")).toStdString(),
        "#EXTM3U\r\n"
        "#EXTINF:2,Band - Lied\r\na.mp3\r\n"
        "#EXTINF:2,Ohne Tag\r\nSub/Ohne Tag.mp3\r\n"
        "#EXTINF:0,? - Nur Titel\r\nc.mp3\r\n"
        "#EXTINF:0,qq\r\nqq.mp3\r\n"
        "#EXTINF:0,mp3\r\nmp3\r\n"
        "#EXTINF:61,Gr\xc3\xbcn - Zwei Zeilen\r\nbad\xff\xfe.mp3\r\n");
    EXPECT_EQ(PlaylistText({&a, &b}, false, std::nullopt).toStdString(), "/m/a.mp3\r\n/m/Sub/Ohne Tag.mp3\r\n");
    EXPECT_EQ(PlaylistText({}, true, std::nullopt).toStdString(), "#EXTM3U\r\n");
    EXPECT_EQ(PlaylistText({}, false, std::nullopt).toStdString(), "");
}

// A line break would split an entry and a "#" line is a comment to players:
// such paths reach them as a file URL or behind "./".
TEST(Playlist, LineBreaksAndLeadingHashesReachPlayersWhole)
{
    const TEintragDaten a = Entry("/m/", "zwei\nZeilen.mp3", "", "", 0);
    const TEintragDaten b = Entry("/m/a\rb/", "\xff 100%.mp3", "", "", 0);
    const TEintragDaten c = Entry("/m/", "#1.mp3", "", "", 0);
    const TEintragDaten d = Entry("/m/#Sub/", "e.mp3", "", "", 0);
    const TEintragDaten e = Entry("/m/", " vorn.mp3", "", "", 0);
    EXPECT_EQ(PlaylistText({&a, &b, &c, &d, &e}, true, std::string("/m/")).toStdString(),
        "#EXTM3U\r\n"
        "#EXTINF:0,zwei Zeilen\r\nfile:///m/zwei%0AZeilen.mp3\r\n"
        "#EXTINF:0,\xff 100%\r\nfile:///m/a%0Db/%FF%20100%25.mp3\r\n"
        "#EXTINF:0,#1\r\n./#1.mp3\r\n"
        "#EXTINF:0,e\r\n./#Sub/e.mp3\r\n"
        "#EXTINF:0, vorn\r\n./ vorn.mp3\r\n");
    EXPECT_EQ(PlaylistText({&a, &c}, false, std::nullopt).toStdString(), "file:///m/zwei%0AZeilen.mp3\r\n/m/#1.mp3\r\n");
}

} // namespace
} // namespace km

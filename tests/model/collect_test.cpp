#include "model/collect.h"
#include "support/nodac.h"
#include "tags/mp3bytes.h"
#include "tags/writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Fill;

std::set<std::string> Paths(const TEntryList& entries)
{
    std::set<std::string> out;
    for (const auto& e : entries)
        out.insert(e->FullPath());
    return out;
}

TEST(Collect, ExtensionRule)
{
    for (const char* yes : {"Song.MP3", "song.Mp3", ".mp3", "a.b.mp3", "x.mP3"})
        EXPECT_TRUE(IsMp3Name(yes)) << yes;
    for (const char* no : {"song.mp3.bak", "song.mp3 ", "song.mp2", "song", "mp3", "song.mp", "song.mp33", "song.\xc3\xa4mp3", "song.MP\xc3\xa4"})
        EXPECT_FALSE(IsMp3Name(no)) << no;
}

TEST(Collect, FilesFoldersHiddenAndSubfolders)
{
    test::TempDir dir;
    const std::string root = dir.Path() + "/";
    dir.Write("a.MP3", Fill(1000));
    dir.Write("b.mp3", Fill(2000));
    dir.Write("c.txt", Fill(10));
    dir.Write(".versteckt.mp3", Fill(5));
    dir.Write("song.mp3.bak", Fill(5));
    dir.Write("song.mp3 ", Fill(5));
    std::filesystem::create_directories(root + "d/tief");
    std::filesystem::create_directories(root + "ordner.mp3");
    std::filesystem::create_directories(root + ".hidden");
    dir.Write("d/e.mp3", Fill(7));
    dir.Write("d/tief/f.mp3", Fill(8));
    dir.Write(".hidden/g.mp3", Fill(9));
    ::chmod((root + "b.mp3").c_str(), 0444);

    TEntryList flat;
    int found = 0;
    EXPECT_TRUE(CollectFiles(root, false, flat, {}, found));
    EXPECT_EQ(found, 3);
    EXPECT_EQ(Paths(flat), (std::set<std::string> {root + "a.MP3", root + "b.mp3", root + ".versteckt.mp3"}));
    for (const auto& e : flat) {
        EXPECT_EQ(e->Folder, root);
        // One folder string for all its files, not a copy each.
        EXPECT_EQ(&e->Folder.str(), &flat.front()->Folder.str());
        // Size and read-only bit come with reading: the walk costs no call per file.
        EXPECT_EQ(e->FileSize, 0);
        EXPECT_EQ(e->Attributes, e->FileName[0] == '.' ? kAttrHidden : 0u);
        TEintragDaten read = *e;
        TID3v2Reader reader;
        ReadEntry(reader, e->FullPath(), read);
        if (e->FileName == "a.MP3") {
            EXPECT_EQ(read.FileSize, 1000);
        }
        EXPECT_EQ(read.Attributes, e->FileName == "b.mp3" ? kAttrReadOnly : e->Attributes);
        // Not read yet: the defined empty state.
        EXPECT_TRUE(IsEmptyTag(e->Tag));
        EXPECT_EQ(e->MP3Info, TMP3Info());
        EXPECT_EQ(e->Duration, 0u);
        EXPECT_EQ(e->FileTime, 0u);
    }

    TEntryList deep;
    found = 0;
    EXPECT_TRUE(CollectFiles(root, true, deep, {}, found));
    EXPECT_EQ(found, 6);
    const auto paths = Paths(deep);
    EXPECT_TRUE(paths.count(root + "d/e.mp3"));
    EXPECT_TRUE(paths.count(root + "d/tief/f.mp3"));
    EXPECT_TRUE(paths.count(root + ".hidden/g.mp3"));
    for (const auto& e : deep) {
        if (e->FileName == "f.mp3") {
            EXPECT_EQ(e->Folder, root + "d/tief/");
        }
    }

    // Depth first: a subfolder's files come before the items that follow it.
    const auto pos = [&deep](const std::string& name) {
        return std::find_if(deep.begin(), deep.end(), [&](const auto& e) { return e->FileName == name; }) - deep.begin();
    };
    EXPECT_EQ(std::abs(pos("f.mp3") - pos("e.mp3")), 1) << "d/tief is walked inside the walk of d";
}

TEST(Collect, LinksAndMissingFolders)
{
    test::TempDir dir;
    const std::string root = dir.Path() + "/";
    std::filesystem::create_directories(root + "musik");
    std::filesystem::create_directories(root + "anderswo");
    dir.Write("anderswo/echt.mp3", Fill(40));
    dir.Write("musik/eigen.mp3", Fill(10));
    std::filesystem::create_symlink(root + "anderswo/echt.mp3", root + "musik/link.mp3");
    std::filesystem::create_symlink(root + "anderswo", root + "musik/ordnerlink");
    std::filesystem::create_symlink(root + "anderswo", root + "musik/ordnerlink.mp3");
    std::filesystem::create_symlink(root + "musik", root + "musik/schleife");
    std::filesystem::create_symlink(root + "gibtsnicht.mp3", root + "musik/tot.mp3");

    TEntryList entries;
    int found = 0;
    EXPECT_TRUE(CollectFiles(root + "musik/", true, entries, {}, found));
    EXPECT_EQ(Paths(entries), (std::set<std::string> {root + "musik/eigen.mp3", root + "musik/link.mp3"}));
    for (const auto& e : entries) {
        if (e->FileName == "link.mp3") {
            EXPECT_EQ(e->FileSize, 40) << "a link counts as the file it points to";
        }
    }

    TEntryList none;
    found = 0;
    TCollectProgress told;
    told.Unreadable = [](const std::string& f, int) { ADD_FAILURE() << "a missing folder is no unreadable one: " << f; };
    EXPECT_TRUE(CollectFiles(root + "fehlt/", true, none, told, found));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(found, 0);
}

TEST(Collect, ProgressAndCancel)
{
    test::TempDir dir;
    const std::string root = dir.Path() + "/";
    for (int k = 0; k < 25; ++k)
        dir.Write("f" + std::to_string(k) + ".mp3", Fill(3));
    for (int k = 0; k < 13; ++k)
        dir.Write("x" + std::to_string(k) + ".txt", Fill(3));

    int serves = 0;
    std::vector<int> counts;
    TCollectProgress progress;
    progress.ServeEvents = [&serves] { ++serves; };
    progress.FoundChanged = [&counts](int n) { counts.push_back(n); };
    TEntryList entries;
    int found = 0;
    EXPECT_TRUE(CollectFiles(root, false, entries, progress, found));
    ASSERT_EQ(counts.size(), 25u);
    EXPECT_EQ(counts.front(), 1);
    EXPECT_EQ(counts.back(), 25);
    // 40 items with "." and "..": 4 tenth items, and one serve per found file.
    EXPECT_EQ(serves, 25 + 4);

    // Asked after every item: a request stops the walk at once.
    TEntryList some;
    found = 0;
    bool abort = false;
    progress.FoundChanged = [&abort](int n) { abort = n == 5; };
    progress.AbortRequested = [&abort] { return abort; };
    EXPECT_FALSE(CollectFiles(root, false, some, progress, found));
    EXPECT_EQ(some.size(), 5u);
    EXPECT_EQ(found, 5);
}

TEST(ReadEntry, FillsFromTheFileAndKeepsWhatAVanishedFileHad)
{
    test::TempDir dir;
    const std::string path = dir.Write("lied.mp3",
        Cat({test::Tag(Fill(50)), test::Header(), Fill(4000, 0x11), test::V1("Titel", "Wer", "Wo", "2001", "Notiz", 9, 13)}));
    TID3v2Reader reader;
    SetUpListReader(reader);
    EXPECT_FALSE(reader.ReadID3v2);
    EXPECT_TRUE(reader.CopyID3v2IfEmptyFromID3v1);

    TEintragDaten e;
    e.FileName = "lied.mp3";
    e.Folder = dir.Path() + "/";
    ReadEntry(reader, e.FullPath(), e);
    EXPECT_EQ(FieldText(e.Tag.Titel), "Titel");
    EXPECT_EQ(FieldText(e.Tag.Interpret), "Wer");
    EXPECT_EQ(FieldText(e.Tag.Jahr), "2001");
    EXPECT_EQ(FieldText(e.Tag.Bemerkung), "Notiz");
    EXPECT_EQ(e.Tag.Titelnr, 9);
    EXPECT_EQ(e.Tag.Musikrichtung, 13);
    EXPECT_EQ(e.MP3Info.Bitrate, 128);
    EXPECT_EQ(e.Duration, 4004u * 8 / 128);
    EXPECT_EQ(e.FileSize, 60 + 4 + 4000 + 128);
    EXPECT_NE(e.FileTime, 0u);

    const TEintragDaten before = e;
    std::filesystem::remove(path);
    ReadEntry(reader, path, e);
    EXPECT_EQ(std::memcmp(&e.Tag, &before.Tag, sizeof e.Tag), 0);
    EXPECT_EQ(e.FileSize, before.FileSize);
    EXPECT_EQ(e.FileTime, before.FileTime);
    EXPECT_EQ(e.MP3Info, before.MP3Info);

    // A file without an ID3v1 block gives the empty tag.
    dir.Write("lied.mp3", Cat({test::Header(), Fill(300, 0x11)}));
    ReadEntry(reader, path, e);
    EXPECT_TRUE(IsEmptyTag(e.Tag));
}

int OpenHandles()
{
    return static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// Folders deeper than the handles kept open and paths past PATH_MAX: every
// file is found, even when the process may open only a few more handles, and
// is read and written under its long path.
TEST(Collect, DeepTreesWithFewHandles)
{
    test::TempDir dir;
    const std::string root = dir.Path() + "/";
    std::string path = root;
    std::vector<std::string> expected;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    const std::string name(100, 'o');
    for (int depth = 0; depth < 60; ++depth) {
        if (depth % 20 == 0 || depth == 59) {
            const Bytes bytes = depth == 59 ? Cat({test::Header(), Fill(4000, 0x11), test::V1("Tief", "", "", "", "", 0, 1)})
                                              : Fill(10);
            const int file = ::openat(fd, "lied.mp3", O_WRONLY | O_CREAT, 0644);
            ASSERT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
            ::close(file);
            expected.push_back(path + "lied.mp3");
        }
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        path += name + "/";
    }
    ::close(fd);
    ASSERT_GT(expected.back().size(), static_cast<std::size_t>(PATH_MAX));

    const int before = OpenHandles();
    int most = 0;
    TCollectProgress progress;
    progress.ServeEvents = [&most] { most = std::max(most, OpenHandles()); };
    std::vector<std::string> unreadable;
    progress.Unreadable = [&unreadable](const std::string& f, int) { unreadable.push_back(f); };
    const auto walk = [&] {
        TEntryList entries;
        int found = 0;
        EXPECT_TRUE(CollectFiles(root, true, entries, progress, found));
        std::vector<std::string> paths;
        for (const auto& e : entries)
            paths.push_back(e->FullPath());
        std::sort(paths.begin(), paths.end()); // the folders' own order decides
        EXPECT_EQ(paths, expected);
        return entries;
    };
    walk();
    EXPECT_LE(most - before, kCollectHandles + 1);

    rlimit old {};
    ::getrlimit(RLIMIT_NOFILE, &old);
    rlimit few = old;
    few.rlim_cur = static_cast<rlim_t>(before + 6);
    ::setrlimit(RLIMIT_NOFILE, &few);
    TEntryList entries = walk();
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_TRUE(unreadable.empty());

    // The deepest file is read and written under its full path.
    TEintragDaten& deepest = **std::max_element(entries.begin(), entries.end(),
        [](const auto& a, const auto& b) { return a->Folder.size() < b->Folder.size(); });
    TID3v2Reader reader;
    ReadEntry(reader, deepest.FullPath(), deepest);
    EXPECT_EQ(FieldText(deepest.Tag.Titel), "Tief");
    TID3v1Tag tag = deepest.Tag;
    StoreField(tag.Titel, "Neu");
    EXPECT_TRUE(WriteID3v1Tag(deepest.FullPath(), tag, false, {}));
    ReadEntry(reader, deepest.FullPath(), deepest);
    EXPECT_EQ(FieldText(deepest.Tag.Titel), "Neu");
    // "//" just where the long path is cut stays inside the tree.
    std::string doubled = deepest.FullPath();
    const std::size_t slash = doubled.rfind('/', PATH_MAX - 2);
    doubled.insert(slash, std::string(PATH_MAX - slash, '/'));
    TEintragDaten again;
    ReadEntry(reader, doubled, again);
    EXPECT_EQ(FieldText(again.Tag.Titel), "Neu");

    // The library's remove_all stops at PATH_MAX.
    EXPECT_EQ(std::system(("rm -rf '" + root + name + "'").c_str()), 0);
}

TEST(Collect, UnreadableFoldersAreToldAndTheRestIsListed)
{
    test::TempDir dir;
    const std::string root = dir.Path() + "/";
    dir.Write("a.mp3", Fill(10));
    std::filesystem::create_directories(root + "zu");
    std::filesystem::create_directories(root + "offen");
    std::filesystem::create_directories(root + "nurlesen");
    dir.Write("zu/b.mp3", Fill(10));
    dir.Write("offen/c.mp3", Fill(10));
    dir.Write("nurlesen/d.mp3", Fill(10));
    dir.Write("nurlesen/e.mp3", Fill(10));
    ::chmod((root + "zu").c_str(), 0);
    ::chmod((root + "nurlesen").c_str(), 0444); // listed, not entered

    std::vector<std::pair<std::string, int>> told;
    TCollectProgress progress;
    progress.Unreadable = [&told](const std::string& f, int err) { told.emplace_back(f, err); };
    TEntryList entries;
    int found = 0;
    {
        test::TWithoutDacOverride asUser;
        EXPECT_TRUE(CollectFiles(root, true, entries, progress, found));
        EXPECT_TRUE(CollectFiles(root + "zu/", true, entries, progress, found));
    }
    ::chmod((root + "zu").c_str(), 0755);
    ::chmod((root + "nurlesen").c_str(), 0755);
    EXPECT_EQ(Paths(entries), (std::set<std::string> {root + "a.mp3", root + "offen/c.mp3"}));
    std::sort(told.begin(), told.end());
    const std::vector<std::pair<std::string, int>> all {
        {root + "nurlesen/", -EACCES}, {root + "zu/", -EACCES}, {root + "zu/", -EACCES}};
    EXPECT_EQ(told, all);
    EXPECT_EQ(TUnreadableFolders::Reason(-EACCES), "Zugriff verweigert");

    TUnreadableFolders folders;
    for (const auto& [f, err] : told)
        folders.Add(f, err);
    EXPECT_EQ(folders.Count(), 3);
    EXPECT_EQ(folders.First(), root + "nurlesen/");
    EXPECT_EQ(TUnreadableFolders::Message(1, "/m/zu"),
        "Der Ordner \"/m/zu\" konnte nicht gelesen werden.\rDie MP3-Dateien darin fehlen in der Liste.");
    EXPECT_EQ(TUnreadableFolders::Message(3, "/m/zu"),
        "3 Ordner konnten nicht gelesen werden, darunter \"/m/zu\".\rDie MP3-Dateien darin fehlen in der Liste.");
}

} // namespace
} // namespace km

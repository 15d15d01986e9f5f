#include "platform/fileops.h"

#include "support/scripteddialogs.h"
#include "tags/mp3bytes.h"

#include <QByteArray>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sched.h>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using Result = TDialogs::Result;

QString Q(const std::string& path) { return QString::fromStdString(path); }

std::set<std::string> Names(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

std::int64_t MTime(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mtim.tv_sec;
}

// Runs `body` in a child process, whose failures are printed there: GLib keeps
// the HOME and XDG_DATA_HOME it saw first for the life of a process, and a
// mount namespace ends with its process. A reason `body` gives skips the test.
void InChild(const std::function<std::string()>& body)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(pipe[0]);
        const std::string skip = body();
        (void)!::write(pipe[1], skip.data(), skip.size());
        std::fflush(stdout);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    ::close(pipe[1]);
    std::string skip;
    char buf[256];
    for (ssize_t n; (n = ::read(pipe[0], buf, sizeof buf)) > 0;)
        skip.append(buf, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    const bool passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    ASSERT_TRUE(passed) << "the child failed as printed above";
    if (!skip.empty())
        GTEST_SKIP() << skip;
}

// Where a file manager puts a file back: the Path of its .trashinfo, decoded.
std::string RestoresTo(const std::string& info)
{
    const Bytes bytes = test::ReadFile(info);
    const std::string text(bytes.begin(), bytes.end());
    const std::size_t key = text.find("\nPath=");
    if (key == std::string::npos)
        return "(no Path in " + info + ")";
    const std::size_t start = key + 6;
    const std::string value = text.substr(start, text.find('\n', start) - start);
    std::string path;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size()) {
            path += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else
            path += value[i];
    }
    return path;
}

class FileOps : public ::testing::Test {
protected:
    std::string Put(const std::string& relative, const Bytes& bytes, long mtime = 1'300'000'000)
    {
        fs::create_directories((fs::path(dir.Path()) / relative).parent_path());
        const std::string path = dir.Write(relative, bytes);
        const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
        return path;
    }
    std::string Folder(const std::string& relative) const
    {
        fs::create_directories(fs::path(dir.Path()) / relative);
        return dir.Path() + "/" + relative;
    }
    Bytes Read(const std::string& relative) const { return test::ReadFile(dir.Path() + "/" + relative); }

    test::TempDir dir;
    test::TScriptedDialogs dialogs;
};

// A second file system: every rename between two folders fails as it would there.
class TOtherDevice : public TFileOpsLayer {
public:
    int RenameNoReplace(const std::string& from, const std::string& to) override
    {
        if (fs::path(from).parent_path() != fs::path(to).parent_path())
            return -EXDEV;
        return TFileOpsLayer::RenameNoReplace(from, to);
    }
    int Sync(int fd) override
    {
        ++syncs;
        return TFileOpsLayer::Sync(fd);
    }
    long long WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        if (failWrite && ++writes >= failWrite)
            return -ENOSPC;
        // A medium that drops half of what it takes.
        const long long r = TFileOpsLayer::WriteAt(fd, buf, shortWrites ? n / 2 : n, off);
        return r < 0 ? r : static_cast<long long>(n);
    }
    int syncs = 0;
    bool shortWrites = false;
    int failWrite = 0; // the write that fails, counting from 1; 0: none
    int writes = 0;
};

TEST_F(FileOps, OntoItselfACopyTakesACopyNameAndAMoveDoesNothing)
{
    const std::string x = Put("d/x.mp3", Bytes(5000, 0x21));
    const std::string d = Folder("d");
    TFileOps ops(dialogs);
    EXPECT_TRUE(ops.Copy({x}, d, false)) << "no question: a file is never offered to replace itself";
    EXPECT_TRUE(ops.Copy({x}, d + "/", false));
    EXPECT_EQ(Names(d), (std::set<std::string> {"x - Kopie (2).mp3", "x - Kopie.mp3", "x.mp3"}));
    EXPECT_EQ(Read("d/x - Kopie.mp3"), Bytes(5000, 0x21));
    EXPECT_EQ(MTime(d + "/x - Kopie (2).mp3"), 1'300'000'000);

    // Another file of that name: with rename-on-collision the next free copy name, no question.
    const std::string other = Put("e/x.mp3", Bytes(10, 0x42));
    EXPECT_TRUE(ops.Copy({other}, d, true));
    EXPECT_EQ(Read("d/x - Kopie (3).mp3"), Bytes(10, 0x42));
    EXPECT_EQ(Read("d/x.mp3"), Bytes(5000, 0x21));

    EXPECT_TRUE(ops.Move({x}, d, false));
    EXPECT_TRUE(ops.Move({x}, d, true));
    EXPECT_EQ(Names(d).size(), 4u);
    EXPECT_EQ(Read("d/x.mp3"), Bytes(5000, 0x21));
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(FileOps, ClashAsksAndReplacesOnlyOnYes)
{
    TFileOps::TPaths sources;
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
        sources.push_back(Put(std::string("src/") + name, Bytes(50, 0x4E)));
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        Put(std::string("dst/") + name, Bytes(20, 0x41));
    const std::string dst = Folder("dst");
    dialogs.QueueResult(Result::No);
    dialogs.QueueResult(Result::Yes);
    dialogs.QueueResult(Result::Cancel);
    TFileOps ops(dialogs);
    EXPECT_FALSE(ops.Copy(sources, dst, false));
    EXPECT_EQ(Read("dst/a.mp3"), Bytes(20, 0x41)) << "No keeps the file";
    EXPECT_EQ(Read("dst/b.mp3"), Bytes(50, 0x4E));
    EXPECT_EQ(Read("dst/c.mp3"), Bytes(20, 0x41)) << "Abbrechen keeps the file";
    EXPECT_EQ(Names(dst), (std::set<std::string> {"a.mp3", "b.mp3", "c.mp3"})) << "stopped before d, no temporary file";
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[0].Text, Q("Im Zielordner \"" + dst + "/\" gibt es bereits eine Datei \"a.mp3\".\rWollen Sie "
                                                                  "sie durch die Datei aus \"" + dir.Path() + "/src/a.mp3\" ersetzen?"));
    EXPECT_EQ(dialogs.calls[0].Buttons, TDialogs::Yes | TDialogs::YesToAll | TDialogs::No | TDialogs::NoToAll | TDialogs::Cancel);
    EXPECT_EQ(dialogs.calls[0].DefaultButton, unsigned(TDialogs::No));

    // "Nein, alle": one question, nothing moved.
    dialogs.calls.clear();
    dialogs.QueueResult(Result::NoToAll);
    EXPECT_TRUE(ops.Move({sources[0], sources[2]}, dst, false));
    EXPECT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(Read("src/a.mp3"), Bytes(50, 0x4E));
    EXPECT_EQ(Read("dst/c.mp3"), Bytes(20, 0x41));
}

TEST_F(FileOps, MoveToAnotherDeviceCopiesChecksThenRemovesTheSource)
{
    const Bytes big(3 * 1024 * 1024 / 2, 0x33); // more than one chunk
    const std::string a = Put("src/a.mp3", big, 1'200'000'000);
    const std::string dst = Folder("dst");
    TOtherDevice layer;
    TFileOps ops(dialogs, layer);
    EXPECT_TRUE(ops.Move({a}, dst, false));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_EQ(Read("dst/a.mp3"), big);
    EXPECT_EQ(MTime(dst + "/a.mp3"), 1'200'000'000);
    EXPECT_EQ(layer.syncs, 1);

    // The copy came out short: the source stays, no half file anywhere.
    const std::string c = Put("src/c.mp3", Bytes(4000, 0x34));
    layer.shortWrites = true;
    EXPECT_TRUE(ops.Move({c}, dst, false));
    EXPECT_EQ(Read("src/c.mp3"), Bytes(4000, 0x34));
    EXPECT_EQ(Names(dst), std::set<std::string> {"a.mp3"});
    EXPECT_EQ(dialogs.TextsOf("Message"),
        QStringList {Q("Die Datei \"" + c + "\" konnte nicht nach \"" + dst + "/\" verschoben werden.\rDie Kopie ist nicht vollständig.")});
}

TEST_F(FileOps, FailedOrCancelledCopyLeavesNoHalfFile)
{
    const Bytes big(3 * 1024 * 1024 / 2, 0x33);
    const std::string a = Put("src/a.mp3", big);
    const std::string b = Put("src/b.mp3", Bytes(10, 1));
    const std::string dst = Folder("dst");
    TOtherDevice layer;
    layer.failWrite = 2; // the disk fills up after the first chunk
    TFileOps ops(dialogs, layer);
    dialogs.QueueResult(Result::No); // do not go on with b
    EXPECT_FALSE(ops.Copy({a, b}, dst, false));
    EXPECT_TRUE(Names(dst).empty());
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Text, Q("Die Datei \"" + a + "\" konnte nicht nach \"" + dst + "/\" kopiert werden.\rAuf dem "
                                                            "Datenträger ist nicht genügend Platz.\r\rMit den übrigen Dateien fortfahren?"));

    // A confirmed replace that fails keeps the old file.
    Put("dst/a.mp3", Bytes(20, 0x41));
    layer.writes = 0;
    dialogs.QueueResult(Result::Yes);
    EXPECT_TRUE(ops.Copy({a}, dst, false));
    EXPECT_EQ(Read("dst/a.mp3"), Bytes(20, 0x41));
    EXPECT_EQ(Names(dst), std::set<std::string> {"a.mp3"});

    // Abbrechen in the middle of a file, also across devices: the source stays, no half file.
    layer.failWrite = 0;
    int calls = 0;
    ops.Progress = [&calls](int, int, const QString&) { return ++calls < 2; };
    EXPECT_FALSE(ops.Move({a}, Folder("other"), false));
    EXPECT_EQ(Read("src/a.mp3"), big);
    EXPECT_TRUE(Names(dir.Path() + "/other").empty());
}

TEST_F(FileOps, DeleteAsksAndNeverDeletesForGoodWhenTheTrashFails)
{
    const std::string a = Put("m/a.mp3", Bytes(10, 1));
    const std::string b = Put("m/b.mp3", Bytes(10, 2));
    InChild([&] {
        ::setenv("HOME", dir.Path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir.Path() + "/data").c_str(), 1);
        TFileOps ops(dialogs);

        dialogs.QueueResult(Result::No);
        EXPECT_FALSE(ops.Delete({a, b}, false));
        EXPECT_TRUE(fs::exists(a) && fs::exists(b));
        EXPECT_EQ(dialogs.calls.back().Text, "Wollen Sie die 2 markierten Dateien wirklich in den Papierkorb verschieben?");

        // No place for a trash: the file stays and the user hears of it.
        Put("data", Bytes(1, 0));
        dialogs.QueueResult(Result::Yes);
        ops.Delete({a}, false);
        EXPECT_TRUE(fs::exists(a));
        EXPECT_EQ(dialogs.calls.back().Text,
            Q("Die Datei \"" + a + "\" konnte nicht in den Papierkorb verschoben werden. Sie wurde nicht gelöscht."));

        fs::remove(dir.Path() + "/data");
        dialogs.QueueResult(Result::Yes);
        EXPECT_TRUE(ops.Delete({a}, false));
        EXPECT_FALSE(fs::exists(a));
        EXPECT_TRUE(fs::exists(dir.Path() + "/data/Trash/files/a.mp3"));

        dialogs.QueueResult(Result::Yes);
        EXPECT_TRUE(ops.Delete({b}, true));
        EXPECT_FALSE(fs::exists(b));
        EXPECT_FALSE(fs::exists(dir.Path() + "/data/Trash/files/b.mp3"));
        EXPECT_EQ(dialogs.calls.back().Text, "Wollen Sie die Datei \"b.mp3\" wirklich endgültig löschen?\rSie kommt nicht in den "
                                             "Papierkorb und kann nicht wiederhergestellt werden.");
        EXPECT_EQ(dialogs.calls.back().DefaultButton, unsigned(TDialogs::No));
        return std::string();
    });
}

TEST_F(FileOps, TrashTakesNamesAsBytesAndRecordsThemSoThatTheyComeBackRight)
{
    const std::string spaced = Put("m/a%20b c.mp3", Bytes(10, 1));
    const std::string odd = Put("m/a\xff.mp3", Bytes(10, 2));
    Put("m/a\xef\xbf\xbd.mp3", Bytes(10, 3));
    Put("m/x.mp3", Bytes(10, 4));
    Put("o/x.mp3", Bytes(10, 5));
    fs::create_directory_symlink(Folder("o/sub"), dir.Path() + "/m/link");
    InChild([&] {
        ::setenv("HOME", dir.Path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir.Path() + "/data").c_str(), 1);
        TFileOpsLayer layer;
        EXPECT_TRUE(layer.MoveToTrash(spaced));
        EXPECT_TRUE(layer.MoveToTrash(odd));
        EXPECT_EQ(Read("data/Trash/files/a%20b c.mp3"), Bytes(10, 1));
        EXPECT_EQ(RestoresTo(dir.Path() + "/data/Trash/info/a%20b c.mp3.trashinfo"), spaced);
        EXPECT_EQ(RestoresTo(dir.Path() + "/data/Trash/info/a\xff.mp3.trashinfo"), odd);
        EXPECT_EQ(Read("m/a\xef\xbf\xbd.mp3"), Bytes(10, 3)) << "the name that reads alike stays";

        // The system takes link/.. as o/, a shortening as text as m/: neither goes.
        EXPECT_FALSE(layer.MoveToTrash(dir.Path() + "/m/link/../x.mp3"));
        EXPECT_EQ(Read("m/x.mp3"), Bytes(10, 4));
        EXPECT_EQ(Read("o/x.mp3"), Bytes(10, 5));
        return std::string();
    });
}

TEST_F(FileOps, TrashOnAnotherFileSystemStaysThereAndNeverFollowsALink)
{
    const std::string top = Folder("top");
    const std::string elsewhere = Folder("elsewhere");
    InChild([&]() -> std::string {
        // ramfs under a name of its own: GIO refuses tmpfs and "none" as system mounts.
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || ::mount("klangmappe", top.c_str(), "ramfs", 0, nullptr) != 0)
            return std::string("needs a second file system: no private ramfs mount here (") + std::strerror(errno) + ")";
        ::setenv("HOME", dir.Path().c_str(), 1);
        ::setenv("XDG_DATA_HOME", (dir.Path() + "/data").c_str(), 1);
        const std::string uid = std::to_string(::geteuid());
        const std::string a = Put("top/m/a%20b c.mp3", Bytes(10, 1));
        TFileOpsLayer layer;

        // A trash planted as a link (another user's, on a shared medium): refused.
        fs::create_directory_symlink(elsewhere, top + "/.Trash-" + uid);
        EXPECT_FALSE(layer.MoveToTrash(a));
        EXPECT_EQ(Read("top/m/a%20b c.mp3"), Bytes(10, 1));
        EXPECT_TRUE(fs::is_empty(elsewhere));
        fs::remove(top + "/.Trash-" + uid);

        // A shared .Trash without the sticky bit is no trash: the user's own one.
        fs::create_directory(top + "/.Trash");
        ::chmod((top + "/.Trash").c_str(), 0777);
        EXPECT_TRUE(layer.MoveToTrash(a));
        EXPECT_EQ(Read("top/.Trash-" + uid + "/files/a%20b c.mp3"), Bytes(10, 1));
        EXPECT_EQ(RestoresTo(top + "/.Trash-" + uid + "/info/a%20b c.mp3.trashinfo"), "m/a%20b c.mp3")
            << "relative to the top of its file system";

        // With it, the user's folder in it.
        ::chmod((top + "/.Trash").c_str(), 01777);
        Put("top/m/a%20b c.mp3", Bytes(10, 2));
        EXPECT_TRUE(layer.MoveToTrash(a));
        EXPECT_EQ(Read("top/.Trash/" + uid + "/files/a%20b c.mp3"), Bytes(10, 2));
        EXPECT_EQ(RestoresTo(top + "/.Trash/" + uid + "/info/a%20b c.mp3.trashinfo"), "m/a%20b c.mp3");
        EXPECT_FALSE(fs::exists(dir.Path() + "/data/Trash")) << "never into the home trash across file systems";
        return std::string();
    });
}

} // namespace
} // namespace km

namespace km {
namespace {

TEST_F(FileOps, NamesThatAreNoUtf8AndTwoFilesOfOneName)
{
    // Two names that read alike as text: only the one meant may be touched.
    const std::string odd = Put("src/a\xff.mp3", Bytes(30, 0x01));
    Put("src/a\xef\xbf\xbd.mp3", Bytes(30, 0x02));
    const std::string dst = Folder("dst");
    TFileOps ops(dialogs);
    EXPECT_TRUE(ops.Copy({odd}, dst, false));
    EXPECT_EQ(Read("dst/a\xff.mp3"), Bytes(30, 0x01));
    dialogs.QueueResult(Result::Yes);
    EXPECT_TRUE(ops.Delete({odd}, true));
    EXPECT_FALSE(fs::exists(odd));
    EXPECT_EQ(Read("src/a\xef\xbf\xbd.mp3"), Bytes(30, 0x02));

    // A second x.mp3 of the same move never replaces the first, even after "Ja, alle".
    Put("dst/y.mp3", Bytes(5, 0x09));
    const std::string y = Put("s0/y.mp3", Bytes(5, 0x10));
    const std::string x1 = Put("s1/x.mp3", Bytes(5, 0x11));
    const std::string x2 = Put("s2/x.mp3", Bytes(5, 0x12));
    dialogs.calls.clear();
    dialogs.QueueResult(Result::YesToAll);
    dialogs.QueueResult(Result::Yes); // go on after the skip
    EXPECT_TRUE(ops.Move({y, x1, x2}, dst, false));
    EXPECT_EQ(Read("dst/y.mp3"), Bytes(5, 0x10));
    EXPECT_EQ(Read("dst/x.mp3"), Bytes(5, 0x11));
    EXPECT_EQ(Read("s2/x.mp3"), Bytes(5, 0x12)) << "skipped, and told";
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_TRUE(dialogs.calls[1].Text.startsWith(Q("Die Datei \"" + x2 + "\" wurde übersprungen")));
}

} // namespace
} // namespace km

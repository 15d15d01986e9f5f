#include "tags/writer.h"
#include "tags/id3v2reader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Fill;

Bytes Audio(std::size_t n) { return Cat({test::Header(), Fill(n, 0x11)}); }

TID3v1Tag MakeTag(std::string_view title, std::string_view comment = "", std::uint8_t track = 0,
    std::uint8_t genre = kNoGenre)
{
    TID3v1Tag tag = EmptyTag();
    StoreField(tag.Titel, title);
    StoreField(tag.Bemerkung, comment);
    tag.Titelnr = track;
    tag.Musikrichtung = genre;
    return tag;
}

// Records the questions and answers the retry question from a script.
struct TAsk {
    int gone = 0;
    int retries = 0;
    std::vector<bool> answers;
    std::vector<std::string> questions;
    TWriteQuestions Questions()
    {
        return {[this] { ++gone; },
            [this](const char* question) {
                questions.push_back(question);
                const bool yes = retries < static_cast<int>(answers.size()) && answers[static_cast<std::size_t>(retries)];
                ++retries;
                return yes;
            },
            {}};
    }
};

bool Write(const std::string& path, const TID3v1Tag& tag, bool keepTimes = false)
{
    TAsk ask;
    const bool ok = WriteID3v1Tag(path, tag, keepTimes, ask.Questions());
    EXPECT_EQ(ask.gone + ask.retries, 0) << path;
    return ok;
}

// Fails the steps it is told to, each a given number of times.
class TFaultLayer : public TFileLayer {
public:
    int failRdwrOpens = 0, failStats = 0, failReads = 0, failWrites = 0, failTruncates = 0;
    std::size_t writtenBeforeFailing = 0; // a failing write first puts this many bytes
    int writeError = -EROFS;              // what a failing write reports after them
    int writes = 0;

    int Open(const std::string& path, int flags) override
    {
        if ((flags & O_ACCMODE) == O_RDWR && Take(failRdwrOpens))
            return -EACCES;
        return TFileLayer::Open(path, flags);
    }
    int Stat(int fd, TFileInformation& info) override
    {
        return Take(failStats) ? -EIO : TFileLayer::Stat(fd, info);
    }
    long long ReadAt(int fd, void* buf, std::size_t n, std::int64_t off) override
    {
        return Take(failReads) ? -EIO : TFileLayer::ReadAt(fd, buf, n, off);
    }
    long long WriteAt(int fd, const void* buf, std::size_t n, std::int64_t off) override
    {
        ++writes;
        if (!Take(failWrites))
            return TFileLayer::WriteAt(fd, buf, n, off);
        if (writtenBeforeFailing > 0)
            TFileLayer::WriteAt(fd, buf, std::min(n, writtenBeforeFailing), off);
        return writeError;
    }
    int Truncate(int fd, std::int64_t size) override
    {
        return Take(failTruncates) ? -EROFS : TFileLayer::Truncate(fd, size);
    }

private:
    static bool Take(int& count) { return count > 0 && count-- > 0; }
};

TEST(Writer, AppendsOverwritesAndRemovesOnlyTheLastBlock)
{
    test::TempDir dir;
    const Bytes audio = Audio(2000);
    const std::string path = dir.Write("a.mp3", audio);

    ASSERT_TRUE(Write(path, MakeTag("Eins", "", 3, 17)));
    EXPECT_EQ(test::ReadFile(path), Cat({audio, test::V1("Eins", "", "", "", "", 3, 17)}));

    ASSERT_TRUE(Write(path, MakeTag("Zwei")));
    EXPECT_EQ(test::ReadFile(path), Cat({audio, test::V1("Zwei")})) << "overwritten in place, size kept";

    ASSERT_TRUE(Write(path, EmptyTag()));
    EXPECT_EQ(test::ReadFile(path), audio) << "the empty tag removes the block";
    ASSERT_TRUE(Write(path, EmptyTag()));
    EXPECT_EQ(test::ReadFile(path), audio) << "and without a block changes nothing";

    // A tag that only looks empty in its text still needs a block.
    ASSERT_TRUE(Write(path, MakeTag("", "", 0, 0)));
    EXPECT_EQ(test::ReadFile(path), Cat({audio, test::V1("", "", "", "", "", 0, 0)}));
}

TEST(Writer, SmallFilesAndTheCaseSensitiveMarker)
{
    test::TempDir dir;
    const Bytes small = Cat({Fill(2), test::V1("Alt")});
    const std::string tiny = dir.Write("130.mp3", small);
    EXPECT_TRUE(Write(tiny, MakeTag("Neu")));
    EXPECT_EQ(test::ReadFile(tiny), small);
    EXPECT_TRUE(Write(tiny, EmptyTag()));
    EXPECT_EQ(test::ReadFile(tiny), small);

    const std::string just = dir.Write("131.mp3", Cat({Fill(3), test::V1("Alt")}));
    EXPECT_TRUE(Write(just, MakeTag("Neu")));
    EXPECT_EQ(test::ReadFile(just), Cat({Fill(3), test::V1("Neu")}));

    Bytes lower = test::V1("Alt");
    lower[0] = 't', lower[1] = 'a', lower[2] = 'g';
    const std::string lowerPath = dir.Write("lower.mp3", Cat({Audio(100), lower}));
    EXPECT_TRUE(Write(lowerPath, MakeTag("Neu")));
    EXPECT_EQ(test::ReadFile(lowerPath), Cat({Audio(100), lower, test::V1("Neu")}));
}

TEST(Writer, OverwritesOnlyTheBlockTheReaderReads)
{
    test::TempDir dir;
    const auto readTitle = [](const std::string& path) {
        TID3v2Reader r;
        r.FileName = path;
        r.ReadTags();
        return r.HasID3v1 ? r.ID3v1.Title : std::string("(kein Block)");
    };
    // A block right behind a 22-byte tag, its title looking like a frame.
    const Bytes lead = test::Tag(test::TextFrame("TIT2", "a"));
    const std::string sync = dir.Write("150.mp3", Cat({lead, test::V1("\xff\xfb", "Band")}));
    ASSERT_EQ(readTitle(sync), "\xff\xfb");
    ASSERT_TRUE(Write(sync, MakeTag("Neu")));
    EXPECT_EQ(test::ReadFile(sync), Cat({lead, test::V1("Neu")})) << "in place";

    // "TAG" inside a leading tag: the new block goes behind the tag, and the
    // empty tag takes only that one away again.
    const Bytes holding = test::Tag(Cat({Fill(10), test::V1("Drin")}));
    const std::string path = dir.Write("drin.mp3", holding);
    ASSERT_EQ(readTitle(path), "(kein Block)");
    ASSERT_TRUE(Write(path, MakeTag("Neu")));
    EXPECT_EQ(test::ReadFile(path), Cat({holding, test::V1("Neu")}));
    EXPECT_EQ(readTitle(path), "Neu");
    ASSERT_TRUE(Write(path, EmptyTag()));
    EXPECT_EQ(test::ReadFile(path), holding);
    ASSERT_TRUE(Write(path, EmptyTag()));
    EXPECT_EQ(test::ReadFile(path), holding);

    // "TAG" 128 bytes before the end of a tag appended at the end: its footer
    // tells it apart, and the block goes behind it.
    Bytes inside = test::V1("Drin");
    inside.resize(118); // the footer takes the last ten bytes
    const Bytes appended = Cat({test::Header(), Fill(4000, 0x11), test::Tag(Cat({Fill(82), inside}), 0x10)});
    ASSERT_EQ(Bytes(appended.end() - 128, appended.end() - 125), test::Str("TAG"));
    const std::string tail = dir.Write("hinten.mp3", appended);
    ASSERT_EQ(readTitle(tail), "(kein Block)");
    ASSERT_TRUE(Write(tail, MakeTag("Neu")));
    EXPECT_EQ(test::ReadFile(tail), Cat({appended, test::V1("Neu")}));
}

TEST(Writer, AllTwentyNineCommentBytesReachTheFile)
{
    test::TempDir dir;
    const std::string path = dir.Write("c.mp3", Audio(500));
    const std::string comment(29, 'k');
    ASSERT_TRUE(Write(path, MakeTag("T", comment, 9)));
    const Bytes file = test::ReadFile(path);
    const std::size_t block = file.size() - kID3v1BlockSize;
    EXPECT_EQ(Bytes(file.begin() + static_cast<long>(block) + 97, file.begin() + static_cast<long>(block) + 126),
        Bytes(29, 'k'));
    EXPECT_EQ(file[block + 126], 9);
}

TEST(Writer, ID3v2TagsStayByteForByte)
{
    test::TempDir dir;
    const Bytes front = test::Tag(Cat({test::TextFrame("TIT2", "Vorn"), Fill(200)}));
    const Bytes back = test::Tag(test::TextFrame("TIT2", "Hinten"), 0x10);
    const Bytes body = Cat({front, Audio(3000), back});
    const std::string path = dir.Write("v2.mp3", body);

    ASSERT_TRUE(Write(path, MakeTag("Eins")));
    EXPECT_EQ(test::ReadFile(path), Cat({body, test::V1("Eins")}));
    ASSERT_TRUE(Write(path, MakeTag("Zwei")));
    EXPECT_EQ(test::ReadFile(path), Cat({body, test::V1("Zwei")}));
    ASSERT_TRUE(Write(path, EmptyTag()));
    EXPECT_EQ(test::ReadFile(path), body);
}

// Setting times moves the status-change time, which backup tools watch:
// a file whose bytes stay the same is not touched at all.
TEST(Writer, AFileLeftAsItWasKeepsItsStatusChangeTime)
{
    test::TempDir dir;
    const auto changed = [](const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0);
        return std::pair {st.st_ctim.tv_sec, st.st_ctim.tv_nsec};
    };
    const auto claiming = Cat({test::Str("ID3"), {3, 0, 0}, test::Synchsafe(100000), Audio(2000)});
    const std::pair<Bytes, TID3v1Tag> untouched[] = {
        {Cat({Fill(2), test::V1("Alt")}), MakeTag("Neu")}, // too small
        {Audio(1000), EmptyTag()},                        // nothing to remove
        {claiming, MakeTag("Neu")},                       // damaged leading tag
    };
    for (const bool keepTimes : {true, false}) {
        for (const auto& [bytes, tag] : untouched) {
            const std::string path = dir.Write("u.mp3", bytes);
            const auto before = changed(path);
            // File times tick with the kernel's coarse clock.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            TAsk ask;
            WriteID3v1Block(path, tag, keepTimes, ask.Questions());
            EXPECT_EQ(test::ReadFile(path), bytes);
            EXPECT_EQ(changed(path), before) << bytes.size() << " " << keepTimes;
        }
    }
}

TEST(Writer, KeepsOrRenewsTheFileTimes)
{
    test::TempDir dir;
    TFileLayer& posix = TFileLayer::Posix();
    const TFileTime access = FileTimeFromUnix(1'000'000'000, 123'456'700);
    const TFileTime written = FileTimeFromUnix(990'000'000, 700);
    const auto times = [&](const std::string& path) {
        const int fd = posix.Open(path, O_RDONLY);
        TFileInformation info;
        EXPECT_EQ(posix.Stat(fd, info), 0);
        posix.Close(fd);
        return info;
    };
    const auto setOld = [&](const std::string& path) {
        const int fd = posix.Open(path, O_RDWR);
        EXPECT_EQ(posix.SetTimes(fd, access, written), 0);
        posix.Close(fd);
    };

    for (const bool hadBlock : {false, true}) {
        const std::string path = dir.Write("t.mp3", hadBlock ? Cat({Audio(400), test::V1("x")}) : Audio(400));
        setOld(path);
        ASSERT_TRUE(Write(path, MakeTag("Behalten"), true));
        EXPECT_EQ(times(path).LastWriteTime, written) << hadBlock;
        EXPECT_EQ(times(path).LastAccessTime, access) << hadBlock;

        const auto before = std::chrono::system_clock::now() - std::chrono::seconds(2);
        ASSERT_TRUE(Write(path, MakeTag("Erneuert"), false));
        EXPECT_GT(times(path).LastWriteTime, FileTimeFromUnix(std::chrono::system_clock::to_time_t(before), 0));
    }

    // Times that cannot be read: nothing is written, the user is asked, and
    // a repeat the user asks for writes with the times kept.
    const std::string path = dir.Write("s.mp3", Audio(400));
    setOld(path);
    TFaultLayer layer;
    layer.failStats = 1;
    TAsk ask;
    EXPECT_FALSE(WriteID3v1Tag(path, MakeTag("y"), true, ask.Questions(), layer));
    EXPECT_EQ(ask.retries, 1);
    EXPECT_EQ(test::ReadFile(path), Audio(400));
    layer.failStats = 1;
    TAsk yes;
    yes.answers = {true};
    EXPECT_TRUE(WriteID3v1Tag(path, MakeTag("x"), true, yes.Questions(), layer));
    EXPECT_EQ(times(path).LastWriteTime, written);
    EXPECT_EQ(test::ReadFile(path), Cat({Audio(400), test::V1("x")}));
}

TEST(Writer, AVanishedFileIsReportedOnce)
{
    test::TempDir dir;
    for (const std::string& path : {dir.Path() + "/fehlt.mp3", dir.Path(), dir.Path() + "/fehlt/x.mp3"}) {
        TAsk ask;
        EXPECT_FALSE(WriteID3v1Tag(path, MakeTag("x"), true, ask.Questions()));
        EXPECT_EQ(ask.gone, 1) << path;
        EXPECT_EQ(ask.retries, 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/fehlt.mp3")) << "nothing is created";
}

TEST(Writer, AFailedWriteLeavesTheFileAsItWas)
{
    test::TempDir dir;
    const Bytes plain = Audio(1000);
    const Bytes tagged = Cat({Audio(1000), test::V1("Alt", "B", "", "1999", "", 2, 3)});
    // Each fault, with and without a block, fully failing and after 60 bytes.
    for (const Bytes& before : {plain, tagged}) {
        for (const std::size_t partial : {std::size_t(0), std::size_t(60)}) {
            const std::string path = dir.Write("f.mp3", before);
            TFaultLayer layer;
            layer.failWrites = 1;
            layer.writtenBeforeFailing = partial;
            TAsk ask;
            EXPECT_FALSE(WriteID3v1Tag(path, MakeTag("Neu"), false, ask.Questions(), layer));
            EXPECT_EQ(ask.retries, 1);
            EXPECT_EQ(test::ReadFile(path), before) << before.size() << " " << partial;

            // The same failure, then yes: the whole write runs again.
            TFaultLayer again;
            again.failWrites = 1;
            again.writtenBeforeFailing = partial;
            TAsk yes;
            yes.answers = {true};
            EXPECT_TRUE(WriteID3v1Tag(path, MakeTag("Neu"), false, yes.Questions(), again));
            EXPECT_EQ(yes.retries, 1);
            EXPECT_EQ(test::ReadFile(path), Cat({plain, test::V1("Neu")}));
        }
    }
}

TEST(Writer, AFailedWriteLeavesTheFileTimesAsTheyWere)
{
    test::TempDir dir;
    TFileLayer& posix = TFileLayer::Posix();
    const TFileTime access = FileTimeFromUnix(1'000'000'000, 0);
    const TFileTime written = FileTimeFromUnix(990'000'000, 0);
    for (const bool keepTimes : {false, true}) {
        for (const Bytes& before : {Audio(1000), Cat({Audio(1000), test::V1("Alt")})}) {
            const std::string path = dir.Write("z.mp3", before);
            int fd = posix.Open(path, O_RDWR);
            ASSERT_EQ(posix.SetTimes(fd, access, written), 0);
            posix.Close(fd);
            TFaultLayer layer;
            layer.failWrites = 1;
            layer.writtenBeforeFailing = 60;
            TAsk ask;
            EXPECT_FALSE(WriteID3v1Tag(path, MakeTag("Neu"), keepTimes, ask.Questions(), layer));
            fd = posix.Open(path, O_RDONLY);
            TFileInformation info;
            posix.Stat(fd, info);
            posix.Close(fd);
            EXPECT_EQ(info.LastWriteTime, written) << keepTimes << " " << before.size();
            EXPECT_EQ(info.LastAccessTime, access) << keepTimes << " " << before.size();
        }
    }
}

TEST(Writer, AFullDiskIsNamedInTheQuestion)
{
    test::TempDir dir;
    const Bytes before = Audio(1000);
    for (const auto& [error, question] : {std::pair {-ENOSPC, kRetryNoSpaceText}, std::pair {-EDQUOT, kRetryNoSpaceText},
             std::pair {-EROFS, kRetryWriteText}}) {
        const std::string path = dir.Write("voll.mp3", before);
        TFaultLayer layer;
        layer.failWrites = 1;
        layer.writeError = error;
        TAsk ask;
        EXPECT_FALSE(WriteID3v1Tag(path, MakeTag("Neu"), false, ask.Questions(), layer));
        EXPECT_EQ(ask.questions, std::vector<std::string>({question})) << error;
        EXPECT_EQ(test::ReadFile(path), before);
    }
}

TEST(Writer, NoBlockGoesIntoAFileWhoseLeadingTagRunsPastItsEnd)
{
    test::TempDir dir;
    const auto claiming = [](std::uint32_t size) { return Cat({test::Str("ID3"), {3, 0, 0}, test::Synchsafe(size)}); };
    // Past the end by less than a block (the appended block would fall inside
    // the tag), by far more, and with a block the reader still sees.
    const Bytes files[] = {Cat({claiming(2100), Audio(2000)}), Cat({claiming(100000), Audio(2000)}),
        Cat({claiming(100000), Audio(2000), test::V1("Alt")})};
    for (const Bytes& before : files) {
        for (const TID3v1Tag& tag : {MakeTag("Neu"), EmptyTag()}) {
            const std::string path = dir.Write("kaputt.mp3", before);
            TAsk ask;
            EXPECT_EQ(WriteID3v1Block(path, tag, false, ask.Questions()), TWriteResult::DamagedID3v2) << before.size();
            EXPECT_EQ(test::ReadFile(path), before) << before.size();
            EXPECT_EQ(ask.gone + ask.retries, 0);
            EXPECT_FALSE(WriteID3v1Tag(path, tag, false, ask.Questions()));
        }
    }
}

TEST(Writer, EveryFailingStepAsksAgain)
{
    test::TempDir dir;
    const Bytes tagged = Cat({Audio(1000), test::V1("Alt")});
    struct Case {
        const char* name;
        int TFaultLayer::*fault;
        TID3v1Tag tag;
        Bytes after;
    };
    const Case cases[] = {
        {"open", &TFaultLayer::failRdwrOpens, MakeTag("Neu"), Cat({Audio(1000), test::V1("Neu")})},
        {"probe", &TFaultLayer::failReads, MakeTag("Neu"), Cat({Audio(1000), test::V1("Neu")})},
        {"truncate", &TFaultLayer::failTruncates, EmptyTag(), Audio(1000)},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Write("e.mp3", tagged);
        TFaultLayer layer;
        layer.*c.fault = 3;
        TAsk ask;
        ask.answers = {true, true, false};
        EXPECT_FALSE(WriteID3v1Tag(path, c.tag, false, ask.Questions(), layer)) << c.name;
        EXPECT_EQ(ask.retries, 3) << c.name;
        EXPECT_EQ(layer.writes, 0) << c.name;
        EXPECT_EQ(test::ReadFile(path), tagged) << c.name;

        layer.*c.fault = 2;
        TAsk yes;
        yes.answers = {true, true};
        EXPECT_TRUE(WriteID3v1Tag(path, c.tag, false, yes.Questions(), layer)) << c.name;
        EXPECT_EQ(yes.retries, 2) << c.name;
        EXPECT_EQ(test::ReadFile(path), c.after) << c.name;
    }
}

TEST(Writer, LastWriteTimeHelpers)
{
    test::TempDir dir;
    const auto now = [] {
        const auto t = std::chrono::system_clock::now().time_since_epoch();
        return FileTimeFromUnix(std::chrono::duration_cast<std::chrono::seconds>(t).count(), 0);
    };
    const TFileTime tick = 10'000'000;
    const TFileTime before = now();
    const TFileTime missing = ReadLastWriteTime(dir.Path() + "/fehlt.mp3");
    EXPECT_GE(missing, before);
    EXPECT_LE(missing, now() + tick) << "the fallback is UTC, like every file time";

    const std::string path = dir.Write("w.mp3", Audio(10));
    TFileLayer& posix = TFileLayer::Posix();
    const TFileTime access = FileTimeFromUnix(1'100'000'000, 0);
    int fd = posix.Open(path, O_RDWR);
    posix.SetTimes(fd, access, FileTimeFromUnix(1'000'000'000, 0));
    posix.Close(fd);

    const TFileTime written = FileTimeFromUnix(1'200'000'000, 500);
    WriteLastWriteTime(path, written);
    EXPECT_EQ(ReadLastWriteTime(path), written);
    fd = posix.Open(path, O_RDONLY);
    TFileInformation info;
    posix.Stat(fd, info);
    posix.Close(fd);
    EXPECT_EQ(info.LastAccessTime, access) << "the last access stays";

    WriteLastWriteTime(dir.Path() + "/fehlt.mp3", written); // silent
    EXPECT_FALSE(std::filesystem::exists(dir.Path() + "/fehlt.mp3"));
}

} // namespace
} // namespace km

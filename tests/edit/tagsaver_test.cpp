#include "edit/tagsaver.h"
#include "support/scripteddialogs.h"
#include "support/workbookreader.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#ifdef KLANGMAPPE_TAGLIB
#include <taglib/id3v2frame.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#endif

namespace km {
namespace {

// Every write and truncate fails, as on a write-protected medium.
class TReadOnlyMedium : public TFileLayer {
public:
    long long WriteAt(int, const void*, std::size_t, std::int64_t) override { return -EROFS; }
    int Truncate(int, std::int64_t) override { return -EROFS; }
};

// The disk is full.
class TFullMedium : public TFileLayer {
public:
    long long WriteAt(int, const void*, std::size_t, std::int64_t) override { return -ENOSPC; }
};

class TCountingLayer : public TFileLayer {
public:
    int opens = 0;
    int Open(const std::string& path, int flags) override { return ++opens, TFileLayer::Open(path, flags); }
};

class TagSaver : public ::testing::Test {
protected:
    void Put(const std::string& name, const test::Bytes& bytes)
    {
        path = dir.Write(name, bytes);
        const struct timespec times[2] = {{kThen, 0}, {kThen, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        entry.Folder = dir.Path() + "/";
        entry.FileName = name;
        TID3v2Reader reader;
        SetUpListReader(reader);
        ReadEntry(reader, path, entry);
        tag = entry.Tag;
        StoreField(tag.Titel, "Neu");
    }
    test::Bytes OnDisk() const { return test::ReadFile(path); }
    TFileTime WriteTime() const
    {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    }

    static constexpr long kThen = 1'400'000'000;
    const test::Bytes song = test::Cat({test::Header(), test::Fill(600, 0x11), test::V1("Alt", "Wer")});
    test::TempDir dir;
    test::TScriptedDialogs dialogs;
    TTagSaver saver {dialogs};
    TEintragDaten entry;
    TID3v1Tag tag {};
    std::string path;
};

TEST_F(TagSaver, AnUnchangedTagTouchesNothing)
{
    Put("a.mp3", song);
    TCountingLayer layer;
    saver.SetFileLayer(layer);
    EXPECT_EQ(saver.Save(entry, entry.Tag), TTagSaver::TSaveResult::Unchanged);
    EXPECT_EQ(layer.opens, 0);
    EXPECT_TRUE(saver.Undo().Empty());
    EXPECT_EQ(saver.UndoCaption(), "Rückgängig");
}

TEST_F(TagSaver, AWrittenTagIsRecordedReadBackAndUndoneWithItsDate)
{
    Put("a & b.mp3", song);
    saver.SetDatumBeibehalten(false);
    ASSERT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Written);
    EXPECT_EQ(FieldText(entry.Tag.Titel), "Neu");
    EXPECT_EQ(entry.FileTime, WriteTime()) << "read back from the file";
    EXPECT_NE(WriteTime(), FileTimeFromUnix(kThen, 0));
    ASSERT_EQ(saver.Undo().Count(), 1u);
    EXPECT_EQ(saver.Undo().Top()->Path, path);
    EXPECT_EQ(FieldText(saver.Undo().Top()->Tag.Titel), "Alt");
    EXPECT_EQ(saver.Undo().Top()->FileTime, FileTimeFromUnix(kThen, 0));
    EXPECT_EQ(saver.UndoCaption(), "Rückgängig: Titelinformationen speichern (a & b.mp3)");

    EXPECT_TRUE(saver.UndoTop());
    EXPECT_EQ(OnDisk(), song);
    EXPECT_EQ(WriteTime(), FileTimeFromUnix(kThen, 0));
    EXPECT_TRUE(saver.Undo().Empty());
    EXPECT_FALSE(saver.UndoTop()) << "nothing left";
    EXPECT_TRUE(dialogs.calls.empty());
}

TEST_F(TagSaver, AFailingMediumAsksAgainAndOnNoLeavesEverything)
{
    Put("a.mp3", song);
    const TEintragDaten before = entry;
    TReadOnlyMedium medium;
    saver.SetFileLayer(medium);
    dialogs.QueueResult(TDialogs::Result::Yes);
    dialogs.QueueResult(TDialogs::Result::No);
    EXPECT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Failed);
    ASSERT_EQ(dialogs.calls.size(), 2u) << "asked again after Yes";
    EXPECT_EQ(dialogs.calls[1].Text, QString::fromUtf8(kRetryWriteText));
    EXPECT_EQ(dialogs.calls[1].Kind, TDialogs::Kind::Confirmation);
    EXPECT_EQ(dialogs.calls[1].Buttons, TDialogs::Yes | TDialogs::No);
    EXPECT_EQ(OnDisk(), song);
    EXPECT_TRUE(SameTag(entry.Tag, before.Tag));
    EXPECT_EQ(entry.FileTime, before.FileTime);
    EXPECT_TRUE(saver.Undo().Empty());
}

TEST_F(TagSaver, AFullDiskIsToldAsSuch)
{
    Put("a.mp3", song);
    TFullMedium medium;
    saver.SetFileLayer(medium);
    dialogs.QueueResult(TDialogs::Result::No);
    EXPECT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Failed);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Text,
        QStringLiteral("Die Titelinformationen konnten nicht geschrieben werden, weil auf dem Datenträger nicht "
                       "genügend Platz ist.\rWollen sie es erneuert versuchen?"));
    EXPECT_EQ(dialogs.calls[0].Buttons, TDialogs::Yes | TDialogs::No);
    EXPECT_EQ(OnDisk(), song);
}

TEST_F(TagSaver, ALeadingTagRunningPastTheEndIsReportedAndLeftAlone)
{
    // The header claims 2100 bytes of a 2010-byte file.
    const test::Bytes damaged = test::Cat({test::Str("ID3"), {3, 0, 0}, test::Synchsafe(2100), test::Fill(2000, 0x11)});
    Put("kaputt.mp3", damaged);
    EXPECT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Failed);
    EXPECT_EQ(OnDisk(), damaged);
    EXPECT_EQ(WriteTime(), FileTimeFromUnix(kThen, 0));
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Text,
        QStringLiteral("Die Datei \"kaputt.mp3\" hat einen beschädigten ID3v2-Tag, der über ihr Ende "
                       "hinausreicht.\rDie Titelinformationen wurden nicht geschrieben."));
    EXPECT_TRUE(saver.Undo().Empty());
}

TEST_F(TagSaver, AFileOf130BytesIsLeftAlone)
{
    Put("klein.mp3", test::Fill(130, 0x11));
    EXPECT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::TooSmall);
    EXPECT_EQ(OnDisk(), test::Fill(130, 0x11));
    EXPECT_EQ(FieldText(entry.Tag.Titel), "");
    EXPECT_TRUE(saver.Undo().Empty());
    EXPECT_TRUE(dialogs.calls.empty()) << "the caller tells the user";
}

// ID3v2 written beside the block: checked with readers we did not write,
// and byte for byte.

using test::Bytes;
using test::Cat;
using test::Str;
using namespace std::literals;

// A frame with the sizes of its version: synchsafe in 2.4, plain in 2.3.
Bytes V2Frame(std::uint8_t version, std::string_view id, std::string_view content)
{
    if (version == 4)
        return test::Frame(id, Str(content));
    return Cat({Str(id), test::BigEndian(static_cast<std::uint32_t>(content.size())), {0, 0}, Str(content)});
}

// The frames of a file's leading tag as they stand, and the zeros behind them.
struct TRawTag {
    std::vector<std::pair<std::string, Bytes>> Frames;
    std::size_t Size = 0; // header included
    std::size_t Padding = 0;
};

TRawTag RawTag(const Bytes& file)
{
    const auto number = [&file](std::size_t at, int bits) {
        std::size_t n = 0;
        for (std::size_t i = 0; i < 4; ++i)
            n = (n << bits) | file[at + i];
        return n;
    };
    const std::uint8_t version = file[3];
    TRawTag tag;
    tag.Size = number(6, 7) + 10;
    std::size_t pos = 10;
    if (file[5] & 0x40)
        pos += version == 3 ? number(10, 8) + 4 : number(10, 7);
    while (pos + 10 <= tag.Size && file[pos] != 0) {
        const std::size_t size = 10 + number(pos + 4, version == 3 ? 8 : 7);
        tag.Frames.emplace_back(std::string(file.begin() + pos, file.begin() + pos + 4),
            Bytes(file.begin() + pos, file.begin() + pos + size));
        pos += size;
    }
    tag.Padding = tag.Size - pos;
    EXPECT_EQ(static_cast<std::size_t>(std::count(file.begin() + pos, file.begin() + tag.Size, 0)), tag.Padding)
        << "padding is zeros";
    return tag;
}

// The frames whose ids are not among `ids`, in order.
std::vector<std::pair<std::string, Bytes>> Without(const TRawTag& tag, std::initializer_list<std::string_view> ids)
{
    std::vector<std::pair<std::string, Bytes>> kept;
    for (const auto& frame : tag.Frames)
        if (std::find(ids.begin(), ids.end(), frame.first) == ids.end())
            kept.push_back(frame);
    return kept;
}

// Real encoder output: lame's 2.3 tag (UTF-16 texts, no padding) beside its ID3v1 block.
std::string Encoded(const test::TempDir& dir, const std::string& name)
{
    const std::string raw = dir.Write(name + ".raw", Bytes(11025 * 2, 0));
    const std::string path = dir.Path() + "/" + name;
    test::CommandOutput("lame --quiet -r -s 44.1 --bitwidth 16 -m m -b 64 --add-id3v2 --tt 'Alter Titel' --ta Band "
                        "--tl Platte --ty 1999 --tn 3/12 --tg Rock --tc Bem '"
        + raw + "' '" + path + "' 2>&1");
    std::filesystem::remove(raw);
    return path;
}

// One frame as a reader lists it; `Rendered`: the bytes TagLib writes of it.
struct TSeen {
    std::string Line;
    std::string Rendered;
};

// mutagen, with the ids as stored and without the ID3v1 block merged in: "TEXT|ENCODING".
std::vector<TSeen> MutagenFrames(const std::string& path)
{
    const std::string out = test::CommandOutput("PYTHONIOENCODING=utf-8 /usr/bin/python3 -c \"import sys\n"
                                                "from mutagen.id3 import ID3\n"
                                                "for f in ID3(sys.argv[1], translate=False, load_v1=False).values():\n"
                                                "    print(f.pprint() + '|' + str(int(getattr(f, 'encoding', 0))))\n"
                                                "\" '"
        + path + "'");
    std::vector<TSeen> seen;
    for (std::size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        seen.push_back({out.substr(at, end - at), {}});
    return seen;
}

#ifdef KLANGMAPPE_TAGLIB
// TagLib (2.3 frames as it turns them into 2.4 ones): "ID TEXT".
std::vector<TSeen> TagLibFrames(const std::string& path)
{
    TagLib::MPEG::File file(path.c_str(), false);
    std::vector<TSeen> seen;
    if (const TagLib::ID3v2::Tag* tag = file.ID3v2Tag())
        for (const TagLib::ID3v2::Frame* frame : tag->frameList()) {
            const TagLib::ByteVector bytes = frame->render();
            seen.push_back({TagLib::String(frame->frameID()).to8Bit(true) + " " + frame->toString().to8Bit(true),
                std::string(bytes.data(), bytes.size())});
        }
    return seen;
}
#endif

// What a reader lists after a save: what it listed before, in that order, each
// frame named in `changed` (by its line before, without "|ENCODING") as given
// there (empty: gone); the others as before, also as TagLib writes them.
void ExpectListed(const std::vector<TSeen>& before, const std::vector<TSeen>& after,
    const std::map<std::string, std::string>& changed)
{
    std::vector<TSeen> expected;
    for (const TSeen& s : before) {
        const auto it = changed.find(s.Line.substr(0, s.Line.rfind('|')));
        if (it == changed.end())
            expected.push_back(s);
        else if (!it->second.empty())
            expected.push_back({it->second, {}});
    }
    const auto lines = [](const std::vector<TSeen>& seen) {
        std::vector<std::string> out;
        for (const TSeen& s : seen)
            out.push_back(s.Line);
        return out;
    };
    ASSERT_EQ(lines(after), lines(expected));
    for (std::size_t i = 0; i < after.size(); ++i)
        if (!expected[i].Rendered.empty()) {
            EXPECT_EQ(after[i].Rendered, expected[i].Rendered) << after[i].Line;
        }
}

ino_t Inode(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

// lame's tag and two of ours: 2.3 without room to spare, 2.4 with an
// extended header and room; a cover in front of the texts, a track of twelve,
// an English comment and one with a description.
TEST_F(TagSaver, ID3v2ChangesAreReadByMutagenAndTagLibAndUndoneByteForByte)
{
    const auto made = [](std::uint8_t version, std::size_t padding) {
        const Bytes frames = Cat({V2Frame(version, "APIC", "\0image/jpeg\0\3\0"s + std::string(300, 'J')),
            V2Frame(version, "TIT2", "\0Alter Titel"sv), V2Frame(version, "TPE1", "\0Band"sv),
            V2Frame(version, "TALB", "\0Platte"sv), V2Frame(version, version == 3 ? "TYER" : "TDRC", "\0" "1999"sv),
            V2Frame(version, "TRCK", "\0" "3/12"sv), V2Frame(version, "COMM", "\0eng\0Bem"sv),
            V2Frame(version, "COMM", "\0engBeschreibung\0anders"sv), V2Frame(version, "TCON", "\0Rock"sv)});
        const Bytes extended = version == 4 ? Bytes {0, 0, 0, 6, 1, 0} : Bytes {};
        return Cat({test::Tag(Cat({extended, frames, test::Fill(padding)}), version == 4 ? 0x40 : 0, version),
            test::Header(), test::Fill(600, 0x11), test::V1("Alter Titel", "Band", "Platte", "1999", "Bem", 3, 17)});
    };
    struct File {
        std::string path;
        std::uint8_t version;
        bool grows;
    };
    const File files[] = {{Encoded(dir, "lame.mp3"), 3, true}, {dir.Write("v23.mp3", made(3, 0)), 3, true},
        {dir.Write("v24.mp3", made(4, 1000)), 4, false}};
    const std::string title = "Ein Titel, der laenger ist als dreißig Bytes – ł";
    TID3v2Changes whole;
    whole[V2Title] = TID3v2Change {title, {}};
    saver.SetID3v2Mitschreiben(true);

    std::vector<Bytes> before;
    for (const File& file : files) {
        SCOPED_TRACE(file.path);
        before.push_back(test::ReadFile(file.path));
        const auto mutagen = MutagenFrames(file.path);
        ASSERT_FALSE(mutagen.empty());
        TEintragDaten e;
        e.Folder = dir.Path() + "/";
        e.FileName = file.path.substr(e.Folder.size());
        TID3v2Reader reader;
        SetUpListReader(reader);
        ReadEntry(reader, file.path, e);
        TID3v1Tag t = e.Tag;
        StoreField(t.Titel, "Ein Titel, der laenger ist als");
        StoreField(t.Album, "");
        StoreField(t.Jahr, "2005");
        StoreField(t.Bemerkung, "Kommentar neu");
        t.Titelnr = 5;
        t.Musikrichtung = 8;
#ifdef KLANGMAPPE_TAGLIB
        const auto taglib = TagLibFrames(file.path);
#endif
        const ino_t inode = Inode(file.path);
        ASSERT_EQ(saver.Save(e, t, whole), TTagSaver::TSaveResult::Written);
        EXPECT_TRUE(saver.TakeID3v2Refusals().empty());
        EXPECT_EQ(FieldText(e.Tag.Titel), "Ein Titel, der laenger ist als");

        // ISO-8859-1 where it fits, else UTF-16 (2.3) or UTF-8 (2.4); the track keeps its total.
        const std::string year = file.version == 3 ? "TYER" : "TDRC";
        ExpectListed(mutagen, MutagenFrames(file.path),
            {{"TIT2=Alter Titel", "TIT2=" + title + (file.version == 3 ? "|1" : "|3")}, {"TALB=Platte", ""},
                {year + "=1999", year + "=2005|0"}, {"TRCK=3/12", "TRCK=5/12|0"}, {"TCON=Rock", "TCON=Jazz|0"},
                {"COMM==eng=Bem", "COMM==eng=Kommentar neu|0"}});
#ifdef KLANGMAPPE_TAGLIB
        ExpectListed(taglib, TagLibFrames(file.path),
            {{"TIT2 Alter Titel", "TIT2 " + title}, {"TALB Platte", ""}, {"TDRC 1999", "TDRC 2005"},
                {"TRCK 3/12", "TRCK 5/12"}, {"TCON Rock", "TCON Jazz"}, {"COMM Bem", "COMM Kommentar neu"}});
#endif
        // Frames of no changed field keep their bytes and order; a grown tag is a new file with 2048 bytes to spare.
        const Bytes now = test::ReadFile(file.path);
        const TRawTag old = RawTag(before.back()), changed = RawTag(now);
        const auto fields = {"TIT2"sv, "TALB"sv, "TYER"sv, "TDRC"sv, "TRCK"sv, "TCON"sv, "COMM"sv};
        EXPECT_EQ(Without(changed, fields), Without(old, fields));
        EXPECT_EQ(std::vector<std::uint8_t>(now.begin() + changed.Size, now.end() - 128),
            std::vector<std::uint8_t>(before.back().begin() + old.Size, before.back().end() - 128))
            << "the audio stays";
        if (file.grows) {
            EXPECT_EQ(changed.Padding, kID3v2GrowPadding);
            EXPECT_NE(Inode(file.path), inode);
        } else {
            EXPECT_EQ(now.size(), before.back().size());
            EXPECT_EQ(Inode(file.path), inode);
        }
    }
    for (std::size_t i = std::size(files); i-- > 0;) {
        ASSERT_TRUE(saver.UndoTop());
        EXPECT_EQ(test::ReadFile(files[i].path), before[i]) << files[i].path;
    }
    EXPECT_TRUE(saver.TakeID3v2Refusals().empty());
    EXPECT_TRUE(dialogs.calls.empty());
}

// No padding: the tag grows, and the file is written anew beside itself.
TEST_F(TagSaver, AGrownTagTakesANewFileThatKeepsTheOldOnesWays)
{
    const Bytes audio = Cat({test::Header(), test::Fill(600, 0x11)});
    const Bytes title = V2Frame(3, "TIT2", "\0Alt"sv), artist = V2Frame(3, "TPE1", "\0Band"sv);
    // No block yet: it goes behind the audio.
    const Bytes old = Cat({test::Tag(Cat({title, artist}), 0, 3), audio});
    // Reached through a link, under a name near the longest a folder takes.
    std::filesystem::create_directory(dir.Path() + "/sub");
    const std::string name = std::string(240, 'x') + ".mp3";
    const std::string target = dir.Write("sub/" + name, old);
    const std::string link = dir.Path() + "/l.mp3";
    ASSERT_EQ(::symlink(("sub/" + name).c_str(), link.c_str()), 0);
    // Only root may give the file away; not every file system keeps attributes of users.
    const bool chowned = ::chown(target.c_str(), 1234, 5678) == 0;
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const bool attributed = ::setxattr(target.c_str(), "user.herkunft", "CD", 2, 0) == 0;
    const struct timespec times[2] = {{kThen, 0}, {kThen, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, target.c_str(), times, 0), 0);
    const ino_t inode = Inode(target);

    TID3v2Reader reader;
    SetUpListReader(reader);
    entry.Folder = dir.Path() + "/";
    entry.FileName = "l.mp3";
    ReadEntry(reader, link, entry);
    TID3v1Tag t = entry.Tag;
    StoreField(t.Titel, "Ein neuer Titel");
    t.Musikrichtung = 200; // no name: "(200)"
    saver.SetID3v2Mitschreiben(true);
    ASSERT_EQ(saver.Save(entry, t), TTagSaver::TSaveResult::Written);
    EXPECT_TRUE(saver.TakeID3v2Refusals().empty());

    const Bytes grown = Cat({V2Frame(3, "TIT2", "\0Ein neuer Titel"sv), artist, V2Frame(3, "TCON", "\0(200)"sv)});
    EXPECT_EQ(test::ReadFile(target),
        Cat({test::Tag(Cat({grown, test::Fill(kID3v2GrowPadding)}), 0, 3), audio,
            test::V1("Ein neuer Titel", "", "", "", "", 0, 200)}));
    const auto kept = [&] {
        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link), "sub/" + name);
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        if (chowned) {
            EXPECT_EQ(st.st_uid, 1234u);
            EXPECT_EQ(st.st_gid, 5678u);
        }
        EXPECT_EQ(st.st_mtim.tv_sec, kThen);
        char value[8] = {};
        if (attributed) {
            EXPECT_EQ(::getxattr(target.c_str(), "user.herkunft", value, sizeof value), 2);
            EXPECT_STREQ(value, "CD");
        }
        // Nothing is left beside it.
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path() + "/sub"), {}), 1);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
    };
    kept();
    EXPECT_NE(Inode(target), inode);

    ASSERT_TRUE(saver.UndoTop());
    EXPECT_EQ(test::ReadFile(target), old);
    kept();
    EXPECT_TRUE(dialogs.calls.empty());
}

// Fails to carry owner, mode and extended attributes over to a new file.
class TNoAttributes : public TFileLayer {
public:
    int CopyAttributes(int, int) override { return -EPERM; }
};

TEST_F(TagSaver, ATagThatCannotGrowSafelyStaysWhileTheBlockIsWritten)
{
    const Bytes audio = Cat({test::Header(), test::Fill(600, 0x11)});
    const Bytes artist = V2Frame(4, "TPE1", "\0Band"sv);
    const Bytes lead = test::Tag(Cat({V2Frame(4, "TIT2", "\0Alt"sv), artist}), 0, 4);
    Put("a.mp3", Cat({lead, audio, test::V1("Alt", "Band")}));
    const std::string other = dir.Path() + "/b.mp3";
    ASSERT_EQ(::link(path.c_str(), other.c_str()), 0);
    saver.SetID3v2Mitschreiben(true);

    // A new file would part the two names.
    StoreField(tag.Titel, "Viel laenger");
    ASSERT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Written);
    const std::vector<TTagSaver::TID3v2Refusal> refused = saver.TakeID3v2Refusals();
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].Path, path);
    EXPECT_EQ(refused[0].Reason, "mehrere harte Links");
    EXPECT_EQ(OnDisk(), Cat({lead, audio, test::V1("Viel laenger", "Band")}));
    EXPECT_EQ(Inode(other), Inode(path));

    // What fits is written in place, through both names.
    StoreField(tag.Titel, "Neu");
    ASSERT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Written);
    EXPECT_TRUE(saver.TakeID3v2Refusals().empty());
    const Bytes now = test::Tag(Cat({V2Frame(4, "TIT2", "\0Neu"sv), artist}), 0, 4);
    EXPECT_EQ(OnDisk(), Cat({now, audio, test::V1("Neu", "Band")}));
    EXPECT_EQ(test::ReadFile(other), OnDisk());

    // Owner, mode or attributes that would not come along.
    ASSERT_EQ(::unlink(other.c_str()), 0);
    TNoAttributes layer;
    saver.SetFileLayer(layer);
    StoreField(tag.Titel, "Wieder laenger");
    ASSERT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Written);
    const std::vector<TTagSaver::TID3v2Refusal> attributes = saver.TakeID3v2Refusals();
    ASSERT_EQ(attributes.size(), 1u);
    EXPECT_EQ(attributes[0].Reason, "Rechte nicht übertragbar");
    EXPECT_EQ(OnDisk(), Cat({now, audio, test::V1("Wieder laenger", "Band")}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1) << "no file left beside it";
    EXPECT_TRUE(dialogs.calls.empty());
}

// Tags the patch must not touch: each is named, the block goes in all the same.
TEST_F(TagSaver, ID3v2TagsThatCannotBeChangedAreNamedAndLeft)
{
    const Bytes audio = Cat({test::Header(), test::Fill(600, 0x11)});
    const Bytes title = V2Frame(3, "TIT2", "\0Alt"sv);
    struct Case {
        std::string name;
        Bytes leading, appended;
        std::string reason;
    };
    const Case cases[] = {
        {"22.mp3", test::Tag(Cat({Str("TT2"), {0, 0, 4}, Str("\0Alt"sv)}), 0, 2), {}, "Version 2.2"},
        {"hinten.mp3", {}, test::Tag(test::TextFrame("TIT2", "Alt"), 0x10, 4), "Tag nur am Dateiende"},
        {"unsync.mp3", test::Tag(title, 0x80, 3), {}, "Tag als Ganzes unsynchronisiert"},
        {"crc.mp3", test::Tag(Cat({{0, 0, 0, 10, 0x80, 0, 0, 0, 0, 0, 1, 2, 3, 4}, title}), 0x40, 3), {},
            "erweiterter Header mit CRC"},
        {"gepackt.mp3",
            test::Tag(Cat({Str("TIT2"), test::BigEndian(8), {0, 0x80}, test::BigEndian(4), {0x78, 0x9C, 0x63, 0x70}}), 0, 3),
            {}, "Feld komprimiert oder verschlüsselt"},
    };
    saver.SetID3v2Mitschreiben(true);
    std::vector<TTagSaver::TID3v2Refusal> all;
    for (const Case& c : cases) {
        Put(c.name, Cat({c.leading, audio, c.appended, test::V1("Alt", "Wer")}));
        ASSERT_EQ(saver.Save(entry, tag), TTagSaver::TSaveResult::Written) << c.name;
        EXPECT_EQ(OnDisk(), Cat({c.leading, audio, c.appended, test::V1("Neu", "Wer")})) << c.name;
        const std::vector<TTagSaver::TID3v2Refusal> refused = saver.TakeID3v2Refusals();
        ASSERT_EQ(refused.size(), 1u) << c.name;
        EXPECT_EQ(refused[0].Path, path);
        EXPECT_EQ(refused[0].Reason, c.reason);
        EXPECT_TRUE(saver.Undo().Top()->ID3v2.Empty()) << c.name;
        all.push_back(refused[0]);
    }
    EXPECT_EQ(TTagSaver::ID3v2RefusalText(all),
        "Die ID3v2-Tags von 5 Dateien wurden nicht geändert, darunter \"22.mp3\" (Version 2.2). Die ID3v1-Felder "
        "wurden gespeichert.");
    EXPECT_TRUE(dialogs.calls.empty());
}

} // namespace
} // namespace km

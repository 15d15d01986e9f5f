#include "edit/tagsaver.h"
#include "support/scripteddialogs.h"
#include "tags/mp3bytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

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

} // namespace
} // namespace km

#include "names/namerenamer.h"

#include "model/entry.h"
#include "edit/tagsaver.h"
#include "support/scripteddialogs.h"
#include "tags/mp3bytes.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace km {
namespace {

using Result = TDialogs::Result;
namespace fs = std::filesystem;

// Every rename fails, as on a write-protected medium.
class TNoRenames : public TFileLayer {
public:
    int RenameNoReplace(const std::string&, const std::string&) override { return -EROFS; }
};

class NameRenamer : public ::testing::Test {
protected:
    TEintragDaten& Put(const std::string& name, const char* title, const char* artist = "", const char* year = "",
        std::uint8_t track = 0)
    {
        const std::string path = dir.Write(name, test::Cat({test::Header(), test::Fill(600, 0x11),
                                                      test::V1(title, artist, "", year, "", track, 255)}));
        const struct timespec times[2] = {{kThen, 0}, {kThen, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        auto entry = std::make_unique<TEintragDaten>();
        entry->Folder = dir.Path() + "/";
        entry->FileName = name;
        TID3v2Reader reader;
        SetUpListReader(reader);
        ReadEntry(reader, path, *entry);
        entries.push_back(std::move(entry));
        return *entries.back();
    }
    bool Exists(const std::string& name) const { return fs::exists(dir.Path() + "/" + name); }
    std::int64_t MTime(const std::string& name) const
    {
        struct stat st {};
        ::stat((dir.Path() + "/" + name).c_str(), &st);
        return st.st_mtim.tv_sec;
    }
    TNameStructure Names(int k1, int k2, int k3, const char* tz1 = " - ", const char* tz2 = " - ")
    {
        TNameStructure s;
        s.DNAufbau = {std::uint8_t(k1), std::uint8_t(k2), std::uint8_t(k3)};
        s.TZ1 = QString::fromUtf8(tz1);
        s.TZ2 = QString::fromUtf8(tz2);
        return s;
    }

    static constexpr long kThen = 1'400'000'000;
    test::TempDir dir;
    test::TScriptedDialogs dialogs;
    TTagSaver saver {dialogs};
    std::vector<std::unique_ptr<TEintragDaten>> entries;
};

TEST_F(NameRenamer, RenamesRecordsAndChangesOnlyTheName)
{
    TEintragDaten& e = Put("song.MP3", "Song");
    const test::Bytes before = test::ReadFile(e.FullPath());
    const TNameStructure names = Names(3, 0, 0);
    TNameRenamer run(dialogs, saver, names);
    EXPECT_EQ(run.Rename(e), TNameRenamer::TOutcome::Renamed);
    EXPECT_EQ(e.FileName, "Song.mp3") << "the extension is always lower-case .mp3; a change of case is no collision";
    EXPECT_FALSE(Exists("song.MP3"));
    EXPECT_EQ(test::ReadFile(e.FullPath()), before);
    EXPECT_EQ(MTime("Song.mp3"), kThen);
    ASSERT_EQ(saver.Undo().Count(), 1u);
    const TRueckgaengig& record = *saver.Undo().Top();
    EXPECT_EQ(record.Kind, TRueckgaengig::Renamed);
    EXPECT_EQ(record.Path, dir.Path() + "/Song.mp3");
    EXPECT_EQ(record.OldPath, dir.Path() + "/song.MP3");
    EXPECT_EQ(record.FileTime, FileTimeFromUnix(kThen, 0));
    EXPECT_TRUE(dialogs.calls.empty());

    // Already right: nothing renamed, nothing recorded.
    EXPECT_EQ(TNameRenamer(dialogs, saver, names).Rename(e), TNameRenamer::TOutcome::Kept);
    EXPECT_EQ(saver.Undo().Count(), 1u);
}

TEST_F(NameRenamer, AnotherFileIsNeverReplacedAndStopsTheRun)
{
    TEintragDaten& a = Put("a.mp3", "Same");
    Put("Same.mp3", "Other");
    const test::Bytes other = test::ReadFile(dir.Path() + "/Same.mp3");
    // Only the case differs, but here that is another file.
    Put("same.mp3", "Same");
    const TNameStructure names = Names(3, 0, 0);
    TNameRenamer run(dialogs, saver, names);
    EXPECT_EQ(run.Rename(a), TNameRenamer::TOutcome::Stopped);
    EXPECT_EQ(dialogs.beeps, 1);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Text,
        QString::fromUtf8("Es gibt bereits eine andere Datei mit dem Namen \"Same.mp3\".\rDie Datei kann nicht umbenant werden."));
    EXPECT_TRUE(Exists("a.mp3"));
    EXPECT_EQ(test::ReadFile(dir.Path() + "/Same.mp3"), other);
    EXPECT_EQ(TNameRenamer(dialogs, saver, names).Rename(*entries[2]), TNameRenamer::TOutcome::Stopped);
    EXPECT_TRUE(saver.Undo().Empty());

    // The file system's own refusal is the last line of defence.
    EXPECT_NE(TFileLayer::Posix().RenameNoReplace(dir.Path() + "/a.mp3", dir.Path() + "/Same.mp3"), 0);
    EXPECT_EQ(test::ReadFile(dir.Path() + "/Same.mp3"), other);
    fs::create_symlink(dir.Path() + "/a.mp3", dir.Path() + "/link.mp3");
    EXPECT_NE(TFileLayer::Posix().RenameNoReplace(dir.Path() + "/a.mp3", dir.Path() + "/link.mp3"), 0)
        << "a link to the file is another entry";
    EXPECT_TRUE(fs::is_symlink(dir.Path() + "/link.mp3"));
}

TEST_F(NameRenamer, QuestionsAboutEmptyFieldsAndTheirRememberedAnswers)
{
    const TNameStructure names = Names(2, 3, 0, " - ", "");
    Put("1.mp3", "", "A");
    Put("2.mp3", "", "B");
    Put("3.mp3", "C", "");
    Put("4.mp3", "D", "");
    dialogs.QueueResult(Result::YesToAll); // no title in 1
    dialogs.QueueResult(Result::NoToAll);  // no artist in 3
    TNameRenamer run(dialogs, saver, names);
    EXPECT_EQ(run.Rename(*entries[0]), TNameRenamer::TOutcome::Renamed);
    EXPECT_EQ(run.Rename(*entries[1]), TNameRenamer::TOutcome::Renamed) << "Yes to all: no more title questions";
    EXPECT_EQ(run.Rename(*entries[2]), TNameRenamer::TOutcome::Skipped);
    EXPECT_EQ(run.Rename(*entries[3]), TNameRenamer::TOutcome::Skipped) << "No to all: skipped silently";
    EXPECT_EQ(entries[0]->FileName, "A.mp3");
    EXPECT_EQ(entries[1]->FileName, "B.mp3");
    EXPECT_EQ(entries[3]->FileName, "4.mp3");
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[0].Text,
        QString::fromUtf8("Sie haben keinen Titel angegeben.\rWollen Sie die Datei \"1.mp3\" trotzdem umbenennen?"));
    EXPECT_EQ(dialogs.calls[0].Buttons,
        unsigned(TDialogs::Yes | TDialogs::No | TDialogs::Cancel | TDialogs::NoToAll | TDialogs::YesToAll));
    EXPECT_EQ(dialogs.calls[1].Text,
        QString::fromUtf8("Sie haben keinen Interpreten angegeben.\rWollen Sie die Datei \"3.mp3\" trotzdem umbenennen?"));

    // Cancel stops the run; a plain No skips only this file and asks again next time.
    Put("5.mp3", "", "E");
    Put("6.mp3", "", "F");
    dialogs.calls.clear();
    dialogs.QueueResult(Result::No);
    dialogs.QueueResult(Result::Cancel);
    TNameRenamer second(dialogs, saver, names);
    EXPECT_EQ(second.Rename(*entries[4]), TNameRenamer::TOutcome::Skipped);
    EXPECT_EQ(second.Rename(*entries[5]), TNameRenamer::TOutcome::Stopped);
    EXPECT_EQ(dialogs.calls.size(), 2u);
    EXPECT_TRUE(Exists("6.mp3"));
}

TEST_F(NameRenamer, AllEmptyMessageOncePerRunAndNamesOfRemovedCharactersOnly)
{
    const TNameStructure names = Names(1, 2, 3);
    Put("x.mp3", "", "", "1999", 4);
    Put("y.mp3", "", "", "", 0);
    Put("z.mp3", "???", "", "", 0);
    dialogs.QueueResult(Result::Ok);
    dialogs.QueueResult(Result::YesToAll); // z has no artist
    TNameRenamer run(dialogs, saver, names);
    EXPECT_EQ(run.Rename(*entries[0]), TNameRenamer::TOutcome::Skipped) << "the track number and unused fields do not count";
    EXPECT_EQ(run.Rename(*entries[1]), TNameRenamer::TOutcome::Skipped);
    EXPECT_EQ(run.Rename(*entries[2]), TNameRenamer::TOutcome::NoName) << "a name of \".mp3\" alone would hide the file";
    EXPECT_TRUE(Exists("z.mp3"));
    ASSERT_EQ(dialogs.TextsOf("Message").size(), 2);
    EXPECT_EQ(dialogs.calls[0].Text,
        QString::fromUtf8("Alle benötigten Felder (Titelnr., Interpret, Titel) sind leer.\rDie Datei \"x.mp3\" kann nicht umbenannt werden."));
    EXPECT_EQ(dialogs.calls[0].Buttons, unsigned(TDialogs::Ok | TDialogs::Cancel | TDialogs::All));
    EXPECT_TRUE(saver.Undo().Empty());
}

TEST_F(NameRenamer, FailedRenameAsksAgainAndYearMovesIntoTheFileDate)
{
    TNoRenames readOnly;
    saver.SetFileLayer(readOnly);
    TNameStructure names = Names(3, 0, 0);
    names.JahrVonDatei = true;
    TEintragDaten& e = Put("old.mp3", "New", "", "1999");
    dialogs.QueueResult(Result::Yes);
    dialogs.QueueResult(Result::No);
    TNameRenamer run(dialogs, saver, names);
    EXPECT_EQ(run.Rename(e), TNameRenamer::TOutcome::Failed);
    EXPECT_EQ(dialogs.TextsOf("Message"),
        QStringList(2, QString::fromUtf8("Die Datei \"old.mp3\" konnte nicht umbenannt werden.\rWollen Sie es erneut versuchen?")));
    EXPECT_EQ(e.FileName, "old.mp3");
    EXPECT_TRUE(saver.Undo().Empty());
    // Not renamed, yet the year still goes into the date.
    const QDateTime was = QDateTime::fromSecsSinceEpoch(kThen, Qt::LocalTime);
    const QDateTime now = QDateTime::fromSecsSinceEpoch(MTime("old.mp3"), Qt::LocalTime);
    EXPECT_EQ(now.date(), QDate(1999, was.date().month(), was.date().day()));
    EXPECT_EQ(now.time(), was.time());
    EXPECT_EQ(e.FileTime, FileTimeFromUnix(MTime("old.mp3"), 0)) << "the list shows the new date";

    // No name from the fields: the file keeps its own, yet takes the year.
    TEintragDaten& q = Put("q.mp3", "???", "", "1999");
    EXPECT_EQ(TNameRenamer(dialogs, saver, names).Rename(q), TNameRenamer::TOutcome::NoName);
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(MTime("q.mp3"), Qt::LocalTime).date().year(), 1999);

    // Without DatumBeibehalten the date stays.
    saver.SetFileLayer(TFileLayer::Posix());
    names.DatumBeibehalten = false;
    TEintragDaten& f = Put("f.mp3", "F", "", "1999");
    EXPECT_EQ(TNameRenamer(dialogs, saver, names).Rename(f), TNameRenamer::TOutcome::Renamed);
    EXPECT_EQ(MTime("F.mp3"), kThen);
}

TEST_F(NameRenamer, RenameByHand)
{
    TEintragDaten& e = Put("Old.mp3", "x");
    dialogs.QueueInput(true, QStringLiteral("New"));
    EXPECT_EQ(AskAndRename(dialogs, saver, e.Folder, "Old.mp3"), "New.mp3");
    EXPECT_EQ(dialogs.calls[0].Value, "Old") << "offered without its extension";
    EXPECT_EQ(dialogs.calls[0].Caption, "Datei umbenennen");
    EXPECT_EQ(dialogs.calls[0].Text, "Bitte geben sie den neuen Dateinamen an:");
    EXPECT_EQ(MTime("New.mp3"), kThen);
    dialogs.QueueInput(true, QStringLiteral("New.mp3"));
    EXPECT_EQ(AskAndRename(dialogs, saver, e.Folder, "New.mp3"), "New.mp3.mp3");

    // Refused: nothing renamed, and the user is told why.
    const std::pair<QString, QString> refused[] = {
        {QString(), QStringLiteral("Bitte geben Sie einen Dateinamen an.")},
        {QStringLiteral("   "), QStringLiteral("Bitte geben Sie einen Dateinamen an.")},
        {QStringLiteral("../weg"), QStringLiteral("Ein Dateiname darf keinen Schrägstrich (/) enthalten.")},
        {QStringLiteral("a/b"), QStringLiteral("Ein Dateiname darf keinen Schrägstrich (/) enthalten.")},
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), QStringLiteral("Ein Dateiname darf kein Nullzeichen enthalten.")},
    };
    for (const auto& [typed, told] : refused) {
        dialogs.calls.clear();
        dialogs.QueueInput(true, typed);
        EXPECT_EQ(AskAndRename(dialogs, saver, e.Folder, "New.mp3.mp3"), "New.mp3.mp3") << typed.toStdString();
        EXPECT_EQ(dialogs.TextsOf("Message"), QStringList {told + "\rDie Datei wurde nicht umbenannt."});
    }
    EXPECT_TRUE(Exists("New.mp3.mp3"));
    dialogs.QueueInput(false, QString());
    EXPECT_EQ(AskAndRename(dialogs, saver, e.Folder, "New.mp3.mp3"), "New.mp3.mp3") << "cancelled";
    // Blanks at the ends of a typed name go.
    dialogs.QueueInput(true, QStringLiteral("  Neu "));
    EXPECT_EQ(AskAndRename(dialogs, saver, e.Folder, "New.mp3.mp3"), "Neu.mp3");

    // Text left as offered renames nothing: the bytes that are no UTF-8, the
    // extension's case and blanks at the ends stay.
    for (const char* name : {"Caf\xe9.MP3", " blank .mp3"}) {
        TEintragDaten& kept = Put(name, "x");
        const std::string stem = std::string(name).substr(0, std::string(name).rfind('.'));
        dialogs.calls.clear();
        dialogs.QueueInput(true, QFile::decodeName(QByteArray::fromStdString(stem)));
        EXPECT_EQ(AskAndRename(dialogs, saver, kept.Folder, kept.FileName), name);
        EXPECT_TRUE(Exists(name));
        EXPECT_TRUE(dialogs.TextsOf("Message").isEmpty());
    }

    // An existing target: refused, and the retry offers the name just tried.
    Put("Taken.mp3", "other");
    const test::Bytes taken = test::ReadFile(dir.Path() + "/Taken.mp3");
    dialogs.calls.clear();
    dialogs.QueueInput(true, QStringLiteral("Taken"));
    dialogs.QueueResult(Result::Yes);
    dialogs.QueueInput(true, QStringLiteral("Frei"));
    EXPECT_EQ(AskAndRename(dialogs, saver, e.Folder, "Neu.mp3"), "Frei.mp3");
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[2].Value, "Taken");
    EXPECT_EQ(test::ReadFile(dir.Path() + "/Taken.mp3"), taken);
}

} // namespace
} // namespace km

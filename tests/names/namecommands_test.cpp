#include "support/editfixture.h"

#include "model/settings.h"
#include "platform/charset.h"
#include "platform/registry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDialog>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

namespace km {
namespace {

using test::Song;
using Result = TDialogs::Result;

class NameCommands : public test::EditTest {
protected:
    // The file-name structure as the user stored it last time.
    void StoreStructure(std::array<std::uint8_t, 3> parts, const char* tz1, const char* tz2)
    {
        TSettings s = DefaultSettings();
        s.LastDir = QString::fromStdString(music);
        s.DNAufbau = parts;
        s.TZ1 = QString::fromUtf8(tz1);
        s.TZ2 = QString::fromUtf8(tz2);
        TRegistry registry;
        ASSERT_TRUE(WriteSettings(registry, s));
    }
    QString Shown(int row) const { return Model().data(Model().index(row, 1), Qt::DisplayRole).toString(); }
    bool Exists(const std::string& name) const { return std::filesystem::exists(music + name); }

};

TEST_F(NameCommands, TagsFromOneNameWaitInThePanel)
{
    StoreStructure({1, 2, 3}, " - ", " - ");
    Put("musik/07 - Artist - Song.mp3", Song("alt", "alt", "Platte", "1999", 1));
    Put("musik/x.mp3", Song("x"));
    Start({});
    SelectRows({RowOf("07 - Artist - Song.mp3")});
    Trigger("ActVonDateinamen");
    EXPECT_EQ(Edit("ETitel")->text(), "Song");
    EXPECT_EQ(Edit("ESaenger")->text(), "Artist");
    EXPECT_EQ(Edit("ETitelnr")->text(), "7");
    EXPECT_TRUE(Edit("ETitel")->isModified());
    EXPECT_FALSE(Edit("EAlbum")->isModified()) << "the album is not part of the name";
    EXPECT_EQ(OnDisk("07 - Artist - Song.mp3").Title, "alt") << "nothing written yet";
    SelectRows({RowOf("x.mp3")});
    const TID3v1Infos now = OnDisk("07 - Artist - Song.mp3");
    EXPECT_EQ(now.Title, "Song");
    EXPECT_EQ(now.Artist, "Artist");
    EXPECT_EQ(now.Track, 7);
    EXPECT_EQ(now.Album, "Platte");
    EXPECT_EQ(now.Year, "1999");
}

TEST_F(NameCommands, TagsFromSeveralNamesKeepWhatWasTyped)
{
    StoreStructure({2, 3, 0}, " - ", "");
    Put("musik/A - Eins.mp3", Song("alt", "alt"));
    Put("musik/B - Zwei.mp3", Song("alt", "alt"));
    Start({});
    SelectRows({0, 1});
    Type(Edit("EAlbum"), "Sammlung"); // pending for both
    dialogs.QueueResult(Result::Yes);
    Trigger("ActVonDateinamen");
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Text,
        QString::fromUtf8("Sie haben mehrere Dateien markiert.\rWollen Sie wirklich bei allen markierten Dateien den Titel "
                          "und Interpreten aus dem Dateinamen übernehemen?"));
    EXPECT_EQ(OnDisk("A - Eins.mp3").Artist, "A");
    EXPECT_EQ(OnDisk("B - Zwei.mp3").Title, "Zwei");
    EXPECT_EQ(OnDisk("B - Zwei.mp3").Album, "Sammlung") << "the typed album was stored, not dropped";
    EXPECT_EQ(window->Saver().Undo().Count(), 4u) << "the album, then the names, one record a file each";
    EXPECT_EQ(Edit("ESaenger")->text(), "") << "the panel shows the new, differing values";

    // No: nothing happens.
    dialogs.QueueResult(Result::No);
    Trigger("ActVonDateinamen");
    EXPECT_EQ(window->Saver().Undo().Count(), 4u);
}

TEST_F(NameCommands, NamesFromTagsRenameRowsAndUndoGoesBackStepByStep)
{
    StoreStructure({2, 3, 0}, " - ", "");
    Put("musik/a.mp3", Song("Song", "", "", "", 1));
    Put("musik/b.mp3", Song("Lied", "Band", "", "", 2));
    Start({});
    SelectRows({0, 1});
    Idle();
    Type(Edit("ESaenger"), "Neu"); // pending for both: the names are built from it
    dialogs.QueueResult(Result::Yes); // several files
    Trigger("ActDateinameAusID3");
    EXPECT_TRUE(Exists("Neu - Song.mp3"));
    EXPECT_TRUE(Exists("Neu - Lied.mp3"));
    EXPECT_FALSE(Exists("a.mp3"));
    EXPECT_EQ(Shown(0), "Neu - Song.mp3") << "the row shows the new name, in its old place";
    EXPECT_EQ(window->Saver().Undo().Count(), 4u) << "two tags, then two renames";

    Trigger("ActRueckgaengig");
    WaitScans(2);
    EXPECT_TRUE(Exists("b.mp3"));
    EXPECT_TRUE(Exists("Neu - Song.mp3"));
    Trigger("ActRueckgaengig");
    WaitScans(3);
    EXPECT_TRUE(Exists("a.mp3"));
    Trigger("ActRueckgaengig");
    WaitScans(4);
    Trigger("ActRueckgaengig");
    WaitScans(5);
    EXPECT_EQ(OnDisk("a.mp3").Artist, "") << "the tag as it was before the rename";
    EXPECT_EQ(OnDisk("b.mp3").Artist, "Band");
}

TEST_F(NameCommands, TagsThatGiveNoNameAreToldOncePerRun)
{
    StoreStructure({3, 0, 0}, " - ", "");
    Put("musik/a.mp3", Song("???"));
    Put("musik/b.mp3", Song("Lied"));
    Put("musik/c.mp3", Song("*/:"));
    Start({});
    SelectRows({0, 1, 2});
    dialogs.QueueResult(Result::Yes); // several files
    dialogs.QueueResult(Result::Ok);
    Trigger("ActDateinameAusID3");
    EXPECT_TRUE(Exists("Lied.mp3"));
    EXPECT_TRUE(Exists("a.mp3"));
    EXPECT_EQ(dialogs.TextsOf("Message").last(),
        "2 Dateien haben Titelinformationen, die keinen Dateinamen ergeben, darunter \"a.mp3\"; die Namen bleiben.");
    EXPECT_EQ(dialogs.TextsOf("Message").size(), 2);

    SelectRows({RowOf("c.mp3")});
    dialogs.QueueResult(Result::Ok);
    Trigger("ActDateinameAusID3");
    EXPECT_EQ(dialogs.TextsOf("Message").last(),
        "Die Titelinformationen von \"c.mp3\" ergeben keinen Dateinamen; der Name bleibt.");
}

TEST_F(NameCommands, RenameByHandTakesTheFirstSelectedFileOnly)
{
    Put("musik/Old.mp3", Song("x"));
    Put("musik/Other.mp3", Song("y"));
    SetMTime(music + "Old.mp3", 1'300'000'000);
    Start({QString::fromStdString(music)});
    SelectRows({RowOf("Old.mp3"), RowOf("Other.mp3")});
    Type(Edit("ETitel"), "getippt");
    dialogs.QueueInput(true, QStringLiteral("New"));
    Trigger("ActRename");
    EXPECT_TRUE(Exists("New.mp3"));
    EXPECT_TRUE(Exists("Other.mp3"));
    EXPECT_EQ(MTime(music + "New.mp3"), 1'300'000'000'000'000'000LL);
    EXPECT_EQ(Shown(RowOf("New.mp3")), "New.mp3");
    EXPECT_EQ(OnDisk("New.mp3").Title, "x") << "the panel is not stored first";
    EXPECT_EQ(Edit("ETitel")->text(), "getippt");
    ASSERT_EQ(window->Saver().Undo().Count(), 1u);
    EXPECT_EQ(window->Saver().UndoCaption(), "Rückgängig: Umbenennen");

    // One file selected: the status bar names it by its new name.
    SelectRows({RowOf("New.mp3")});
    dialogs.QueueInput(true, QStringLiteral("Newer"));
    Trigger("ActRename");
    EXPECT_TRUE(Text("StatusPanel1").startsWith("1 Datei: \"Newer.mp3\"")) << Text("StatusPanel1").toStdString();
}

TEST_F(NameCommands, SettingsDialogTakesOverOnOkAndResetStopsTheSave)
{
    Put("musik/a.mp3", Song("x"));
    Start({QString::fromStdString(music)});
    ASSERT_TRUE(window->Saver().DatumBeibehalten());
    WhenDialogShows([](QDialog* form) {
        EXPECT_EQ(form->windowTitle(), "Einstellungen");
        form->findChild<QCheckBox*>(QStringLiteral("CDDatumBeibehalten"))->setChecked(false);
        form->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    });
    Trigger("ActEinstellungen");
    EXPECT_FALSE(window->Saver().DatumBeibehalten()) << "a tag write now changes the file date";

    dialogs.QueueResult(Result::Yes);
    WhenDialogShows([](QDialog* form) {
        form->findChild<QPushButton*>(QStringLiteral("BitBtn2"))->click();
        form->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    Trigger("ActEinstellungen");
    window->close();
    window.reset();
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKey(kSettingsKey, false) && registry.ValueExists(QStringLiteral("DatumBeibehalten")))
        << "after the reset nothing is written back";
}

// The set of the ID3v1 texts: the preview shows the first selected file in the
// set chosen; OK stores what was typed in the old set, then reads the folder
// in the new one, and the next start keeps it.
TEST_F(NameCommands, AnotherCharsetIsPreviewedStoresPendingEditsFirstAndRescans)
{
    Put("musik/a.mp3", Song("Eins", "Band"));
    Put("musik/b.mp3", Song("\xcf\xf0\xe8\xe2\xe5\xf2", "\xcc\xe8\xf0")); // Привет, Мир in Windows-1251
    Start({QString::fromStdString(music)});
    SelectRows({1});
    Activate();
    Type(Edit("EAlbum"), QString::fromUtf8("Grüße"));
    WhenDialogShows([](QDialog* form) {
        auto* box = form->findChild<QComboBox*>(QStringLiteral("CBZeichensatz"));
        auto* preview = form->findChild<QLabel*>(QStringLiteral("LVorschau"));
        EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("Label5"))->text(), "Zeichensatz der ID3v1-Tags");
        ASSERT_EQ(box->count(), 15);
        EXPECT_EQ(box->itemText(0), "Westeuropäisch (Windows-1252)");
        EXPECT_EQ(box->itemText(11), "Japanisch (Shift_JIS, Windows)");
        EXPECT_EQ(box->currentIndex(), 0);
        EXPECT_EQ(preview->text(), QString::fromUtf8("Titel: Ïðèâåò\nInterpret: Ìèð"));
        box->setCurrentIndex(box->findData(QStringLiteral("windows-1251")));
        EXPECT_EQ(preview->text(), QString::fromUtf8("Titel: Привет\nInterpret: Мир"));
        form->findChild<QPushButton*>(QStringLiteral("Button2"))->click();
    });
    Trigger("ActEinstellungen");
    WaitScans(2);
    EXPECT_EQ(OnDisk("b.mp3").Album, "Gr\xfc\xdf" "e") << "typed before the change: stored in Windows-1252";
    EXPECT_EQ(OnDisk("b.mp3").Title, "\xcf\xf0\xe8\xe2\xe5\xf2");
    EXPECT_EQ(window->Saver().Undo().Count(), 1u) << "the change of set itself writes nothing";
    EXPECT_EQ(Model().data(Model().index(RowOf("b.mp3"), 2), Qt::DisplayRole).toString(), QString::fromUtf8("Привет"));
    SelectRows({RowOf("b.mp3")});
    EXPECT_EQ(Edit("ESaenger")->text(), QString::fromUtf8("Мир"));
    EXPECT_EQ(Edit("EAlbum")->text(), QString::fromUtf8("GrьЯe")) << "the same bytes, read in the new set";

    // Without a file the preview says so; the setting outlives the window.
    window->close();
    window.reset();
    SetID3v1Charset(Charsets[0]);
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKey(kSettingsKey, false));
    EXPECT_EQ(registry.ReadString(QStringLiteral("ID3v1Zeichensatz")), "windows-1251");
    registry.CloseKey();
    std::filesystem::remove(music + "a.mp3");
    std::filesystem::remove(music + "b.mp3");
    Start({QString::fromStdString(music)});
    EXPECT_STREQ(ID3v1Charset().Info().Name, "windows-1251");
    WhenDialogShows([](QDialog* form) {
        EXPECT_EQ(form->findChild<QComboBox*>(QStringLiteral("CBZeichensatz"))->currentData().toString(), "windows-1251");
        EXPECT_EQ(form->findChild<QLabel*>(QStringLiteral("LVorschau"))->text(), "Keine Datei für die Vorschau");
        form->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    Trigger("ActEinstellungen");
}

} // namespace
} // namespace km

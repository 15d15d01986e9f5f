#include "model/settings.h"
#include "support/editfixture.h"

#include <QAction>
#include <QApplication>

#include <fstream>

namespace km {
namespace {

using test::Song;

class Undo : public test::EditTest {
protected:
    void StartWithoutKeepingDates()
    {
        TSettings s = DefaultSettings();
        s.LastDir = QString::fromStdString(music);
        s.DatumBeibehalten = false;
        TRegistry registry;
        ASSERT_TRUE(WriteSettings(registry, s));
        Start({});
    }
    QString Caption()
    {
        window->Commands().Refresh();
        return Action("ActRueckgaengig")->text();
    }
};

TEST_F(Undo, UnsavedEditsGoFirstAndLeaveTheRecords)
{
    Put("musik/a.mp3", Song("Alt"));
    Put("musik/b.mp3", Song("B"));
    Start({QString::fromStdString(music)});
    Activate();
    EXPECT_EQ(Caption(), "Rückgängig");
    EXPECT_FALSE(Action("ActRueckgaengig")->isEnabled());

    Type(Edit("ETitel"), "Neu");
    EXPECT_EQ(Caption(), "Rückgängig: Titelinformationen ändern");
    // Ctrl+Z inside the field reaches the command, not the field's own undo.
    Idle();
    QTest::keyClick(Edit("ETitel"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Edit("ETitel")->text(), "Alt");
    EXPECT_FALSE(Edit("ETitel")->isModified());
    EXPECT_TRUE(window->Saver().Undo().Empty());

    // The genre counts as an edit too.
    Child<QComboBox>("EMusikrichtung")->setCurrentIndex(5);
    EXPECT_EQ(Caption(), "Rückgängig: Titelinformationen ändern");
    Trigger("ActRueckgaengig");
    EXPECT_EQ(Child<QComboBox>("EMusikrichtung")->currentIndex(), 0);

    const int beeps = dialogs.beeps;
    Idle();
    QTest::keyClick(Edit("ETitel"), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(dialogs.beeps, beeps) << "disabled: the shortcut does nothing";
}

TEST_F(Undo, SavedTagsComeBackWithTheirDates)
{
    const std::string path = Put("musik/a.mp3", Song("Alt", "Wer"));
    Put("musik/b.mp3", Song("B"));
    SetMTime(path, 1'400'000'000);
    const test::Bytes original = test::ReadFile(path);
    const std::int64_t originalTime = MTime(path);
    StartWithoutKeepingDates();
    Activate();

    Type(Edit("ETitel"), "Eins");
    SelectRows({1});
    SelectRows({0});
    Type(Edit("ETitel"), "Zwei");
    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").Title, "Zwei");
    EXPECT_NE(MTime(path), originalTime) << "dates are not kept in this setup";
    ASSERT_EQ(window->Saver().Undo().Count(), 2u) << "two saves, two records";
    EXPECT_EQ(Caption(), "Rückgängig: Titelinformationen speichern (a.mp3)");

    Idle();
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(OnDisk("a.mp3").Title, "Eins");
    Idle();
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(test::ReadFile(path), original);
    EXPECT_EQ(MTime(path) / 100, originalTime / 100) << "the date from before the first save";
    EXPECT_EQ(Caption(), "Rückgängig");
    EXPECT_FALSE(Action("ActRueckgaengig")->isEnabled());
    EXPECT_EQ(Model().rowCount(), 2) << "the folder was scanned again";
}

TEST_F(Undo, AnAmpersandIsAnAccessKeyOnlyInTheMenuCaption)
{
    Put("musik/a & b.mp3", Song("Alt"));
    Put("musik/c.mp3", Song("C"));
    Start({QString::fromStdString(music)});
    Type(Edit("ETitel"), "Neu");
    SelectRows({1});
    EXPECT_EQ(Caption(), "Rückgängig: Titelinformationen speichern (a && b.mp3)");
    EXPECT_EQ(Action("ActRueckgaengig")->toolTip(), "Rückgängig: Titelinformationen speichern (a & b.mp3)");
    EXPECT_EQ(Action("ActRueckgaengig")->statusTip(), "Rückgängig: Titelinformationen speichern (a & b.mp3)");
}

TEST_F(Undo, RenamesGoBackWithoutReplacingAnything)
{
    const std::string now = Put("musik/neu.mp3", Song("N"));
    const std::string old = music + "alt.mp3";
    Start({QString::fromStdString(music)});
    Activate();
    window->Saver().PushRenamed(now, old, FileTimeFromUnix(1'300'000'000, 0));
    EXPECT_EQ(Caption(), "Rückgängig: Umbenennen");
    Trigger("ActRueckgaengig");
    EXPECT_TRUE(std::filesystem::exists(old));
    EXPECT_FALSE(std::filesystem::exists(now));
    EXPECT_EQ(MTime(old), 1'300'000'000ll * 1'000'000'000);
    EXPECT_TRUE(window->Saver().Undo().Empty());
    EXPECT_EQ(Rows(), (std::vector<std::string> {"alt.mp3"}));

    // The old name is taken meanwhile: nothing is replaced, the user is asked.
    Put("musik/zweit.mp3", Song("Z"));
    window->Saver().PushRenamed(music + "zweit.mp3", old, 0);
    dialogs.QueueResult(TDialogs::Result::Yes);
    dialogs.QueueResult(TDialogs::Result::No);
    Trigger("ActRueckgaengig");
    const QString retry = QStringLiteral(
        "Der Dateiname konnte nicht geändert werden. Wahrscheinlich ist die Datei oder der Datenträger schreibgeschützt."
        "\rWollen Sie es nocheinmal versuchen, die Datei umzubenennen?");
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList({retry, retry}));
    EXPECT_EQ(OnDisk("alt.mp3").Title, "N") << "the other file is untouched";
    EXPECT_TRUE(std::filesystem::exists(music + "zweit.mp3"));
    EXPECT_TRUE(window->Saver().Undo().Empty()) << "popped once the user stops";

    // A file that is gone: a message, then the rename fails too.
    window->Saver().PushRenamed(music + "weg.mp3", music + "wieder.mp3", 0);
    dialogs.QueueResult(TDialogs::Result::Ok);
    dialogs.QueueResult(TDialogs::Result::No);
    Trigger("ActRueckgaengig");
    EXPECT_EQ(dialogs.TextsOf("Message")[2], "Die Datei \"weg.mp3\" konnte nicht mehr gefunden werden.");
    EXPECT_TRUE(window->Saver().Undo().Empty());
}

} // namespace
} // namespace km

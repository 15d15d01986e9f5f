#include "names/form3.h"

#include "model/settings.h"
#include "names/launcher.h"
#include "support/scripteddialogs.h"
#include "tags/mp3bytes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace km {
namespace {

// Sets an environment variable for the life of the object.
struct TEnv {
    TEnv(const char* name, const std::string& value)
        : Name(name)
        , Had(qEnvironmentVariableIsSet(name))
        , Old(qgetenv(name))
    {
        qputenv(name, QByteArray::fromStdString(value));
    }
    ~TEnv() { Had ? qputenv(Name, Old) : qunsetenv(Name); }
    const char* Name;
    bool Had;
    QByteArray Old;
};

struct TDialog {
    explicit TDialog(TNameStructure& names)
        : Form(names, Dialogs)
    {
        Form.show();
    }
    template <typename W = QPushButton> W* Get(const char* name)
    {
        return Form.findChild<W*>(QString::fromLatin1(name));
    }
    QCheckBox* Check(const char* name) { return Get<QCheckBox>(name); }
    // Parts and separators as shown, in their order on screen.
    QStringList Parts()
    {
        return {Get<QComboBox>("ET1")->currentText(), Get<QLineEdit>("ETrennzeichen1")->text(),
            Get<QComboBox>("ET2")->currentText(), Get<QLineEdit>("ETrennzeichen2")->text(),
            Get<QComboBox>("ET3")->currentText()};
    }
    test::TScriptedDialogs Dialogs;
    TForm3 Form;
};

TEST(Einstellungen, ShowsTheStructureAndOkTakesEveryControlAsItStands)
{
    TNameStructure names;
    {
        TDialog d(names);
        EXPECT_EQ(d.Parts(), QStringList({"Interpret", " - ", "Titel", "", "(nichts)"}));
        EXPECT_FALSE(d.Check("CBOrdner")->isChecked() || d.Check("CBDatum")->isChecked());
        EXPECT_TRUE(d.Check("CBTitel0")->isChecked() && d.Check("CDDatumBeibehalten")->isChecked());
    }
    // A kind the list does not know shows no choice and comes back as 255.
    names.DNAufbau = {9, 4, 5};
    TDialog d(names);
    EXPECT_EQ(d.Parts(), QStringList({"", " - ", "Album", "", "Jahr"}));
    d.Get<QLineEdit>("ETrennzeichen2")->setText(QStringLiteral("  _ "));
    d.Get<QComboBox>("ET3")->setCurrentIndex(1);
    for (const char* box : {"CBOrdner", "CBTitel0", "CDDatumBeibehalten"})
        d.Check(box)->click();
    QTest::keyClick(&d.Form, Qt::Key_Return);

    EXPECT_EQ(d.Form.result(), QDialog::Accepted);
    EXPECT_EQ(names.DNAufbau, (std::array<std::uint8_t, 3> {255, 4, 1}));
    EXPECT_EQ(names.TZ2, QStringLiteral("  _ "));
    EXPECT_TRUE(names.DirAlbum && !names.keinTitel0 && !names.DatumBeibehalten && !names.JahrVonDatei);
}

TEST(Einstellungen, YearFromFileDateForcesKeepingTheDateAndGivesBackTheOldCheck)
{
    TNameStructure names;
    names.DatumBeibehalten = false;
    {
        TDialog d(names);
        QCheckBox* keep = d.Check("CDDatumBeibehalten");
        d.Check("CBDatum")->click();
        EXPECT_TRUE(keep->isChecked() && !keep->isEnabled());
        d.Check("CBDatum")->click();
        EXPECT_TRUE(!keep->isChecked() && keep->isEnabled());
    }
    // Opened with both on, the box remembers its state from before the stored check: off.
    names.JahrVonDatei = names.DatumBeibehalten = true;
    TDialog d(names);
    QCheckBox* keep = d.Check("CDDatumBeibehalten");
    EXPECT_TRUE(keep->isChecked() && !keep->isEnabled());
    d.Check("CBDatum")->click();
    EXPECT_TRUE(!keep->isChecked() && keep->isEnabled());
}

TEST(Einstellungen, PresetsFillTheControlsOnlyAndAbbrechenDropsThem)
{
    TNameStructure names;
    TDialog d(names);
    auto* menu = d.Get<QMenu>("PMVorgaben");
    QPushButton* opener = d.Get("BitBtn1");
    // The wide menu fits right of the button only with the dialog at the screen's left edge.
    d.Form.move(-opener->mapTo(&d.Form, QPoint()).x(), 0);
    opener->click();
    EXPECT_EQ(menu->pos(), opener->mapToGlobal(QPoint(0, opener->height())));
    const QList<QAction*> items = menu->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[2]->text(),
        QStringLiteral("mit Titelnummer (nur durch Leerzeichen abgetrennt): \"Titelnr. Interpret - Titel\""));

    items[2]->trigger();
    EXPECT_EQ(d.Parts(), QStringList({"Titelnr.", " ", "Interpret", " - ", "Titel"}));
    items[0]->trigger();
    EXPECT_EQ(d.Parts(), QStringList({"Interpret", " - ", "Titel", "", "(nichts)"}));
    QAction* unknown = menu->addAction(QStringLiteral("?"));
    unknown->setProperty("Tag", 7);
    unknown->trigger();
    EXPECT_EQ(d.Parts(), QStringList({"(nichts)", "", "(nichts)", "", "(nichts)"}));

    menu->hide();
    d.Get("Button1")->click();
    EXPECT_EQ(d.Form.result(), QDialog::Rejected);
    EXPECT_EQ(names.DNAufbau, (std::array<std::uint8_t, 3> {2, 3, 0}));
    EXPECT_EQ(names.TZ1, QStringLiteral(" - "));
}

TEST(Einstellungen, ResetAsksThenDeletesTheProgramsValuesOnlyAndSwitchesOffTheSave)
{
    test::TempDir dir;
    const TEnv config("XDG_CONFIG_HOME", dir.Path());
    const QString sub = kSettingsKey + QStringLiteral("\\Unter");
    {
        TRegistry r;
        ASSERT_TRUE(r.OpenKey(kSettingsKey, true));
        r.WriteString(QStringLiteral("LastDir"), QStringLiteral("/musik/"));
        r.WriteBool(QStringLiteral("DirAlbum"), true);
        ASSERT_TRUE(r.OpenKey(sub, true));
        r.WriteInteger(QStringLiteral("Tief"), 3);
    }
    auto valuesOf = [](const QString& key) {
        TRegistry r;
        return r.OpenKey(key, false) ? r.GetValueNames() : QStringList {QStringLiteral("<fehlt>")};
    };
    TNameStructure names;
    TDialog d(names);
    int resets = 0;
    d.Form.OnReset = [&resets] { ++resets; };

    d.Dialogs.QueueResult(TDialogs::Result::No);
    d.Get("BitBtn2")->click();
    EXPECT_EQ(d.Dialogs.TextsOf(QStringLiteral("Message")),
        QStringList({"Wollen Sie wirklich alle Einstellungen zurücksetzen?\rHinweis: Die ursprünglichen "
                     "Einstellungen werden erst nach einem Neustart des Programms aktiv."}));
    EXPECT_EQ(d.Dialogs.calls[0].Kind, TDialogs::Kind::Warning);
    EXPECT_EQ(d.Dialogs.calls[0].Buttons, unsigned {TDialogs::Yes | TDialogs::No});
    EXPECT_EQ(d.Dialogs.calls[0].DefaultButton, unsigned {TDialogs::No}) << "Enter destroys nothing";
    EXPECT_EQ(valuesOf(kSettingsKey).size(), 2);
    EXPECT_EQ(resets, 0);

    d.Dialogs.QueueResult(TDialogs::Result::Yes);
    d.Get("BitBtn2")->click();
    EXPECT_EQ(valuesOf(kSettingsKey), QStringList());
    EXPECT_EQ(valuesOf(sub), QStringList({"Tief"}));
    EXPECT_EQ(resets, 1);
    EXPECT_TRUE(d.Form.isVisible());

    ASSERT_TRUE(QFile::remove(TRegistry::DefaultPath()));
    d.Dialogs.QueueResult(TDialogs::Result::Yes);
    d.Get("BitBtn2")->click();
    EXPECT_EQ(resets, 2);
}

TEST(Einstellungen, LaunchersStartThisProgramAndAFailureIsReported)
{
    test::TempDir dir;
    const std::string home = dir.Path() + "/home";
    const std::string blocker = dir.Path() + "/datei";
    std::ofstream(blocker) << "x";
    // No user-dirs.dirs: the desktop is the home's "Desktop".
    const TEnv config("XDG_CONFIG_HOME", dir.Path() + "/config");
    const TEnv data("XDG_DATA_HOME", dir.Path() + "/data");
    std::filesystem::create_directories(home + "/Desktop");
    std::ofstream(home + "/Desktop/Klangmappe.desktop") << "alt";
    TNameStructure names;
    TDialog d(names);
    {
        const TEnv env("HOME", home);
        d.Get("Button3")->click();
        d.Get("Button4")->click();
    }
    EXPECT_TRUE(d.Dialogs.calls.empty());
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.Path() + "/data/applications/Klangmappe.desktop"));
    QFile written(QString::fromStdString(home + "/Desktop/Klangmappe.desktop"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.permissions().testFlag(QFileDevice::ExeOther));
    const QStringList lines = QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'));
    EXPECT_TRUE(lines.contains("Exec=" + QCoreApplication::applicationFilePath() + " %f"))
        << lines.join('|').toStdString();
    EXPECT_TRUE(lines.contains("Path=" + QCoreApplication::applicationDirPath()));
    EXPECT_TRUE(lines.contains(QStringLiteral("MimeType=audio/mpeg;")));

    // Blanks need quotes, "%" is no field code, and the value escapes its backslashes once more.
    EXPECT_TRUE(LauncherEntry(QStringLiteral("/opt/Mein $Programm/klang%mappe"))
                    .contains(QStringLiteral(
                        "\nExec=\"/opt/Mein \\\\$Programm/klang%%mappe\" %f\nPath=/opt/Mein $Programm\n")));

    {
        const TEnv env("HOME", blocker);
        d.Get("Button3")->click();
    }
    EXPECT_EQ(
        d.Dialogs.TextsOf(QStringLiteral("Message")), QStringList({"Es konnte keine Verknüpfung erstellt werden."}));
    EXPECT_EQ(d.Dialogs.calls.at(0).Kind, TDialogs::Kind::Information);
    EXPECT_EQ(d.Dialogs.calls.at(0).Buttons, unsigned {TDialogs::Ok});
}

} // namespace
} // namespace km

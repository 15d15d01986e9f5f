#include "model/settings.h"
#include "model/addresses.h"
#include "browse/dirbox.h"
#include "edit/editpanel.h"
#include "edit/tagsaver.h"
#include "support/windowfixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>
#include <QDialog>
#include <QTimer>
#include <QProgressBar>

namespace km {
namespace {

using test::Song;

// A menu as names: action object names, "-" for separators, "[Title]" for submenus.
QStringList Names(const QMenu* menu)
{
    QStringList names;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            names << "-";
        else if (a->menu() && a->objectName().isEmpty())
            names << "[" + a->text() + "]";
        else
            names << a->objectName();
    }
    return names;
}

class Commands : public test::WindowTest {
protected:
    void ThreeSongs()
    {
        Put("musik/a.mp3", Song("a"));
        Put("musik/b.mp3", Song("b"));
        Put("musik/c.mp3", Song("c"));
    }
    QMenu* MainMenu(const QString& title) const
    {
        for (QAction* a : window->menuBar()->actions())
            if (a->text() == title)
                return a->menu();
        ADD_FAILURE() << title.toStdString();
        return nullptr;
    }
    QMenu* Submenu(const QMenu* menu, const QString& title) const
    {
        for (QAction* a : menu->actions())
            if (a->menu() && a->text() == title)
                return a->menu();
        ADD_FAILURE() << title.toStdString();
        return nullptr;
    }
};

TEST_F(Commands, TheTableNamesCaptionsHintsAndShortcuts)
{
    Start({QString::fromStdString(music)});
    struct Row {
        const char* name;
        const char* category;
        const char* caption;
        const char* hint;
        QKeySequence shortcut;
    };
    const Row rows[] = {
        {"ActAktuallisiern", "Ansicht", "&Aktuallisiern", "Aktuallisiern", QKeySequence(Qt::Key_F5)},
        {"ActOrdnerAnzeigen", "Ansicht", "&Browserleiste", "Browserleiste anzeigen/ausblenden", QKeySequence(Qt::Key_F10)},
        {"ActEingabefeldPin", "Ansicht", "", "Eingabefeld anheften", {}},
        {"ActSpalten2", "Spalten", "&Mehr...", "", {}},
        {"sortInterpret", "Sortierung", "&Interpret", "", {}},
        {"ActVorheriges", "Extras", "&Voheriges Lied", "", QKeySequence(Qt::CTRL | Qt::Key_B)},
        {"EditDelete1", "Bearbeiten", "&Löschen", "", QKeySequence(Qt::Key_Delete)},
        {"ActAllesUebernehmen", "Extras", "&Alles von Vorgabe übernehmen", "Alles von Vorgabe übernehmen", QKeySequence(Qt::CTRL | Qt::Key_U)},
        {"ActDateinameAusID3", "Extras", "&Dateiname aus Titelinformationen", "Datei nach Titelinformationen umbenennen", QKeySequence(Qt::CTRL | Qt::Key_D)},
        {"ActRename", "Datei", "&Umbenennen", "", QKeySequence(Qt::Key_F2)},
        // Its update handler sets the caption, without the access key.
        {"ActShelMove2", "Datei", "Verschieben nach (leer)", "", {}},
        {"ActPlay", "Datei", "&Wiedergabe", "Wiedergeben", QKeySequence(Qt::CTRL | Qt::Key_P)},
        {"ActWendmark", "Hilfe", "mehr &Freeware", "", {}},
        {"ActUpdate", "Datei", "auf &Update prüfen...", "", {}},
    };
    for (const Row& r : rows) {
        QAction* a = Action(r.name);
        ASSERT_NE(a, nullptr) << r.name;
        EXPECT_EQ(a->property("category").toString(), QString::fromUtf8(r.category)) << r.name;
        EXPECT_EQ(a->text(), QString::fromUtf8(r.caption)) << r.name;
        EXPECT_EQ(a->statusTip(), QString::fromUtf8(r.hint)) << r.name;
        EXPECT_EQ(a->shortcut(), r.shortcut) << r.name;
    }
    int commands = 0;
    for (const QAction* a : window->findChildren<QAction*>())
        commands += a->property("category").isValid();
    EXPECT_EQ(commands, 73) << "every command of the table, once";
    // Without a file and without a saved change these stand disabled; the exports are always offered.
    window->Commands().Refresh();
    EXPECT_TRUE(Action("ActExportHTML")->isEnabled());
    for (const char* name : {"ActRueckgaengig", "ActVonDateinamen", "ActShellDelete"}) {
        window->Commands().Refresh();
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    }
}

TEST_F(Commands, MenusInTheirOrder)
{
    Start({QString::fromStdString(music)});
    QStringList titles;
    for (QAction* a : window->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&Datei", "&Bearbeiten", "&Extras", "&Ansicht", "&?"}));

    EXPECT_EQ(Names(MainMenu("&Datei")), QStringList({"ActRename", "-", "ActShellCopy", "ActShellCopy2", "ActShelMove",
                                              "ActShelMove2", "ActShellDelete", "-", "[&Liste exportieren...]", "-",
                                              "ActEinstellungen", "-", "ActBeenden"}));
    EXPECT_EQ(Names(Submenu(MainMenu("&Datei"), "&Liste exportieren...")),
        QStringList({"ActExportHTML", "ActExportExcel", "ActExportPlaylist"}));
    EXPECT_EQ(Names(MainMenu("&Bearbeiten")),
        QStringList({"ActRueckgaengig", "-", "ActAussschneiden", "ActKopieren", "actEinfuegen", "-", "EditSelectAll1"}));
    EXPECT_EQ(Names(MainMenu("&Extras")),
        QStringList({"ActFeldUebernehmen", "ActAllesUebernehmen", "-", "ActVonDateinamen", "ActDateinameAusID3",
            "ActGrossKlein", "-", "ActAlleFelderloeschen", "-", "ActPlay", "-", "ActNaechstes", "ActVorheriges"}));
    EXPECT_EQ(Names(Action("ActGrossKlein")->menu()),
        QStringList({"ActGrossKlein_GrossKlein", "-", "ActGrossKlein_GrossGross", "ActGrossKlein_KleinKlein"}));
    EXPECT_EQ(Names(MainMenu("&Ansicht")), QStringList({"ActAktuallisiern", "ActUnterordner", "-", "ActSpalten",
                                               "[&Sortieren nach]", "-", "[&Eingabefeld]", "ActOrdnerAnzeigen"}));
    EXPECT_EQ(Names(Submenu(MainMenu("&Ansicht"), "&Sortieren nach")),
        QStringList({"SortDateiname", "SortTitel", "sortInterpret", "SortAlbum", "SortTitelNr", "SortJahr",
            "SortBemerkung", "SortMusikrichtung", "-", "SortAufsteigend", "SortAbsteigend"}));
    EXPECT_EQ(Names(Submenu(MainMenu("&Ansicht"), "&Eingabefeld")),
        QStringList({"ActEingabefeldOben", "ActEingabeFeldUnten", "-", "ActEingabefeldAusblenden"}));
    EXPECT_EQ(Names(MainMenu("&?")), QStringList({"ActHomepage", "ActWendmark", "-", "ActUpdate", "-", "ActInfo"}));

    EXPECT_EQ(Names(Child<QMenu>("PopListView")),
        QStringList({"ActPlay", "-", "ActAllesUebernehmen", "-", "ActVonDateinamen", "ActDateinameAusID3",
            "ActGrossKlein", "-", "ActAlleFelderloeschen", "-", "ActDateioperationen"}));
    EXPECT_EQ(Names(Action("ActDateioperationen")->menu()),
        QStringList({"ActRename", "-", "ActShellCopy", "ActShellCopy2", "ActShelMove", "ActShelMove2", "-", "ActShellDelete"}));
    EXPECT_EQ(Names(Child<QMenu>("PopEdit")),
        QStringList({"ActFeldUebernehmen", "-", "ActEditUndo1", "-", "ActAussschneiden", "ActKopieren", "actEinfuegen",
            "EditDelete1", "-", "EditSelectAll1"}));

    QStringList tools;
    for (QAction* a : Child<QToolBar>("ToolBar1")->actions())
        tools << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    EXPECT_EQ(tools, QStringList({"ActZurueck", "ActVorwaerts", "ActAufwaerts", "|", "ActUnterordner", "|", "ActPlay", "|",
                         "ActRueckgaengig", "|", "ActAussschneiden", "ActKopieren", "actEinfuegen", "|",
                         "ActFeldUebernehmen", "ActAllesUebernehmen", "ActVonDateinamen", "ActDateinameAusID3",
                         "ActGrossKlein", "|", "ActAlleFelderloeschen"}));
    auto* back = qobject_cast<QToolButton*>(Child<QToolBar>("ToolBar1")->widgetForAction(Action("ActZurueck")));
    EXPECT_EQ(back->popupMode(), QToolButton::MenuButtonPopup);
    EXPECT_EQ(back->menu(), Child<QMenu>("PopDirZurueck"));

}

TEST_F(Commands, PlayOpensTheFirstSelectedFileAndTheCaseButtonItsMenu)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    List()->selectionModel()->select(Model().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window->Commands().Refresh();
    EXPECT_TRUE(Action("ActPlay")->isEnabled());
    Action("ActPlay")->trigger();
    EXPECT_EQ(shell.documents, QStringList({QString::fromStdString(music + "a.mp3")}));
    EXPECT_EQ(shell.folders, QStringList({QString::fromStdString(music)}));
    EXPECT_TRUE(dialogs.calls.empty());

    // A double click plays even while the command is disabled.
    List()->clearSelection();
    window->Commands().Refresh();
    EXPECT_FALSE(Action("ActPlay")->isEnabled());
    const QRect row = List()->visualRect(Model().index(2, 1));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, row.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(shell.documents.size(), 2);
    EXPECT_EQ(shell.documents.last(), QString::fromStdString(music + "c.mp3"));

    Action("ActHomepage")->trigger();
    Action("ActWendmark")->trigger();
    EXPECT_EQ(shell.addresses, QStringList({kHomepageAddress, kFreewareAddress}));

    // The case button opens its menu wherever it is clicked.
    window->Commands().Refresh();
    auto* cases = qobject_cast<QToolButton*>(Child<QToolBar>("ToolBar1")->widgetForAction(Action("ActGrossKlein")));
    ASSERT_TRUE(cases->isEnabled());
    QMenu* shown = nullptr;
    QTimer::singleShot(0, [&shown] {
        shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (shown)
            shown->close();
    });
    QTest::mouseClick(cases, Qt::LeftButton, {}, QPoint(4, cases->height() / 2));
    EXPECT_EQ(shown, Child<QMenu>("PopGrossKlein"));

    // No program for MP3 files on this desktop: the user is told.
    shell.opens = false;
    Action("ActPlay")->trigger();
    EXPECT_EQ(dialogs.TextsOf("Message"), QStringList {"Für MP3-Dateien ist kein Programm zum Abspielen eingerichtet."});
}

TEST_F(Commands, FolderBarDockedFloatingHidden)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    QWidget* bar = Child<QWidget>("Panel1");
    const auto states = [&] {
        window->Commands().Refresh();
        return QStringList {Action("ActOrdnerAnzeigen")->isChecked() ? "checked" : "-",
            Action("ActOrdnerAnzeigen2")->isVisible() ? "show2" : "-",
            Action("ActOrdnerAnzeigen2")->isChecked() ? "show2checked" : "-",
            Action("ActOrderAnzeigenPin")->isVisible() ? "pin" : "-",
            Action("ActOrdnerAusblenden")->isVisible() ? "hide" : "-"};
    };
    EXPECT_EQ(states(), QStringList({"checked", "-", "-", "-", "hide"}));
    const int beeps = dialogs.beeps;
    Action("ActOrdnerAnzeigen2")->trigger();
    EXPECT_EQ(dialogs.beeps, beeps + 1) << "docked: nothing to show";

    Action("ActOrdnerAusblenden")->trigger();
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Hidden);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(states(), QStringList({"-", "show2", "-", "pin", "-"}));

    QApplication::setActiveWindow(window.get());
    Action("ActOrdnerAnzeigen2")->trigger();
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Floating);
    EXPECT_TRUE(bar->isVisible());
    QWidget* caption = Child<QWidget>("Panel4P");
    EXPECT_EQ(bar->mapTo(window.get(), QPoint(0, 0)), caption->mapTo(window.get(), QPoint(0, caption->height())));
    EXPECT_EQ(bar->height(), Child<QWidget>("PClientBereich")->height() - caption->height());
    EXPECT_EQ(states(), QStringList({"-", "show2", "show2checked", "pin", "-"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == Child<QWidget>("DirBox1"); }, 1000));

    // Floating, it goes away as soon as the focus leaves it.
    List()->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->isVisible(); }, 1000));
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Hidden);

    // And when a folder is chosen in it.
    Action("ActOrdnerAnzeigen2")->trigger();
    Child<TDirBox>("DirBox1")->SelectPath(QString::fromStdString(dir.Path() + "/"));
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Hidden);

    Action("ActOrdnerAnzeigen2")->trigger();
    Action("ActOrderAnzeigenPin")->trigger();
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Docked);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(states(), QStringList({"checked", "-", "-", "-", "hide"}));

    QTest::keyClick(window.get(), Qt::Key_F10);
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Hidden);
    QTest::keyClick(window.get(), Qt::Key_F10);
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Docked);
}

TEST_F(Commands, EditPanelPlacesAndTheirUpdateRules)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    QWidget* panel = Child<QWidget>("Panel5");
    const auto states = [&] {
        window->Commands().Refresh();
        QStringList s;
        for (const char* name : {"ActEingabefeldOben", "ActEingabeFeldUnten", "ActEingabefeldAusblenden"})
            s << (Action(name)->isChecked() ? "x" : "-");
        for (const char* name : {"ActEingabefeldOben2", "ActEingabeFeldUnten2", "ActEingabefeldAusblenden2",
                 "ActEingabefeldPin", "ActEingabefeldAnzeigen"})
            s << (Action(name)->isVisible() ? "v" : "-");
        s << (Action("ActEingabefeldAnzeigen")->isChecked() ? "x" : "-");
        return s.join("");
    };
    EXPECT_EQ(states(), "-x-v-v---") << "bottom";
    Action("ActEingabefeldOben2")->trigger();
    EXPECT_TRUE(window->EditPanelTop());
    EXPECT_LT(panel->y(), List()->y());
    EXPECT_EQ(states(), "x---vv---");
    Action("ActEingabeFeldUnten2")->trigger();
    EXPECT_GT(panel->y(), List()->y());
    Action("ActEingabefeldAusblenden2")->trigger();
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(states(), "--x---vv-");

    // Shown again floating, over the list below its caption, as wide as the caption.
    QApplication::setActiveWindow(window.get());
    Action("ActEingabefeldAnzeigen")->trigger();
    EXPECT_EQ(window->EditPanelState(), TForm1::TPlacement::Floating);
    QWidget* caption = Child<QWidget>("Panel4P");
    EXPECT_EQ(panel->mapTo(window.get(), QPoint(0, 0)), caption->mapTo(window.get(), QPoint(0, caption->height())));
    EXPECT_EQ(panel->width(), caption->width());
    EXPECT_EQ(states(), "------vvx");

    // Esc: first a floating folder bar, then the floating edit panel.
    Action("ActOrdnerAnzeigen")->trigger();
    Action("ActOrdnerAnzeigen2")->trigger();
    ASSERT_EQ(window->FolderBarState(), TForm1::TPlacement::Floating);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(), Qt::Key_Escape);
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Hidden);
    if (window->EditPanelState() == TForm1::TPlacement::Hidden)
        Action("ActEingabefeldAnzeigen")->trigger(); // the focus moving off it hid it already
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window.get(), Qt::Key_Escape);
    EXPECT_EQ(window->EditPanelState(), TForm1::TPlacement::Hidden);

    // Without a selected row there are no fields to show.
    List()->clearSelection();
    const int beeps = dialogs.beeps;
    Action("ActEingabefeldAnzeigen")->trigger();
    EXPECT_EQ(dialogs.beeps, beeps + 1);
    EXPECT_EQ(window->EditPanelState(), TForm1::TPlacement::Hidden);
    window->Commands().Refresh();
    EXPECT_FALSE(Action("ActEingabefeldAnzeigen")->isEnabled());

    Action("ActEingabefeldPin")->trigger();
    EXPECT_EQ(window->EditPanelState(), TForm1::TPlacement::Docked);
    EXPECT_TRUE(window->EditPanelTop());
    List()->selectionModel()->select(Model().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window->Commands().Refresh();
    Action("ActEingabefeldAnzeigen")->trigger();
    EXPECT_EQ(dialogs.beeps, beeps + 2) << "docked and shown: nothing to do";
}

TEST_F(Commands, AnEditPanelThatFloatedIsNoLongerAtTheTop)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    QApplication::setActiveWindow(window.get());
    Action("ActEingabefeldOben")->trigger();
    Action("ActEingabefeldAusblenden")->trigger();
    EXPECT_TRUE(window->EditPanelTop()) << "hidden, it keeps its place";
    Action("ActEingabefeldAnzeigen")->trigger();
    ASSERT_EQ(window->EditPanelState(), TForm1::TPlacement::Floating);
    // The menu bar taking the focus for the keyboard is no leaving.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Child<QWidget>("ETitel")->hasFocus(); }, 1000));
    window->menuBar()->setFocus(Qt::MenuBarFocusReason);
    EXPECT_EQ(window->EditPanelState(), TForm1::TPlacement::Floating);
    Child<QWidget>("ETitel")->setFocus(Qt::MenuBarFocusReason);
    Action("ActEingabefeldAnzeigen")->trigger();
    ASSERT_EQ(window->EditPanelState(), TForm1::TPlacement::Hidden);
    window->close();
    TRegistry registry;
    TSettings s = DefaultSettings();
    s.ET = true;
    ASSERT_TRUE(ReadSettings(registry, s));
    EXPECT_FALSE(s.ET);
}

// During a scan the window serves its events: every command it offers then
// runs on what is listed (nothing, until the rows stand), writes only what it
// is meant to, and the list is whole afterwards. Exports wait for the list.
TEST_F(Commands, EveryCommandOfferedDuringAScanRuns)
{
    ThreeSongs();
    Put("musik/d.mp3", Song("d"));
    Start({QString::fromStdString(music)});
    // One tag written before, so that undo is offered.
    const test::Bytes before = test::ReadFile(music + "b.mp3");
    TID3v1Tag tag = Model().Entry(1)->Tag;
    StoreField(tag.Titel, std::string("neu"));
    ASSERT_TRUE(window->Panel().SaveRow(1, tag));
    ASSERT_EQ(window->Saver().Undo().Count(), 1u);
    QStringList offered;
    // Dialogs of their own are closed as soon as they show.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    closer.start(5);
    bool ran = false;
    auto c = QObject::connect(Child<QProgressBar>("PBWarten"), &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value != 1 || ran)
            return;
        ran = true;
        window->Commands().Refresh();
        for (QAction* action : window->findChildren<QAction*>())
            if (!action->objectName().isEmpty() && action->isEnabled() && !action->menu())
                offered << action->objectName();
        offered.sort();
        for (const QString& name : offered)
            if (name != "ActBeenden") // closing during a scan has tests of its own
                window->Commands().Action(name)->trigger();
    });
    window->ScanFolder();
    QObject::disconnect(c);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->ScanRunning(); }, 10000));
    Idle();
    ASSERT_TRUE(ran);
    for (const char* name : {"ActRueckgaengig", "ActAktuallisiern", "ActUnterordner", "ActEinstellungen", "ActSpalten",
             "SortTitel", "ActSpalteTitel"})
        EXPECT_TRUE(offered.contains(name)) << name;
    for (const char* name : {"ActExportHTML", "ActExportExcel", "ActExportPlaylist", "ActShellDelete", "ActRename"})
        EXPECT_FALSE(offered.contains(name)) << name;
    EXPECT_EQ(test::ReadFile(music + "b.mp3"), before) << "undone";
    EXPECT_EQ(window->Saver().Undo().Count(), 0u);
    EXPECT_EQ(Model().rowCount(), 4) << "the list stands whole, the subfolder toggled off again or not";
    EXPECT_FALSE(window->ScanRunning());
    EXPECT_TRUE(Action("ActExportHTML")->isEnabled()) << "offered again once the list stands";
}

} // namespace
} // namespace km

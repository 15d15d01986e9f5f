#include "ui/icons.h"
#include "app/startform.h"
#include "browse/dirbox.h"
#include "browse/formspalten.h"
#include "model/settings.h"
#include "support/nodac.h"
#include "support/palettes.h"
#include "support/stalledfile.h"
#include "support/windowfixture.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <sys/stat.h>

namespace km {
namespace {

using test::Song;

class Window : public test::WindowTest {
protected:
    void ThreeSongs()
    {
        Put("musik/b.mp3", Song("Zebra", "Band", "Alpha", "1999", 2));
        Put("musik/a.MP3", Song("Apfel", "Chor", "Beta", "abc", 1));
        Put("musik/c.mp3", Song("Mitte", "Duo", "Gamma", "2001", 3));
        Put("musik/notiz.txt", test::Fill(10));
        Put("musik/unter/d.mp3", Song("Tief"));
    }

    TSettings Stored() const
    {
        TRegistry registry;
        TSettings s = DefaultSettings();
        EXPECT_TRUE(ReadSettings(registry, s));
        return s;
    }

    void Store(const TSettings& s) const
    {
        TRegistry registry;
        ASSERT_TRUE(WriteSettings(registry, s));
    }
};

TEST_F(Window, FirstStartListsTheFolderAndClosingStoresEverything)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    EXPECT_EQ(window->windowTitle(), "Klangmappe 2.06");
    EXPECT_EQ(Text("Panel4"), QString::fromStdString("MP3-Dateien in " + music));
    EXPECT_EQ(Text("StatusPanel0"), "3 Dateien gesamt");
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.MP3", "b.mp3", "c.mp3"}));
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0}));
    EXPECT_TRUE(List()->isEnabled());
    EXPECT_FALSE(Child<QWidget>("PWarten")->isVisible());
    EXPECT_EQ(Model().columnCount(), 10) << "icon column and the nine default columns";
    EXPECT_EQ(Model().headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), "Dateiname");
    EXPECT_EQ(Model().headerData(9, Qt::Horizontal, Qt::DisplayRole).toString(), "Länge");
    EXPECT_EQ(List()->header()->sectionSize(0), 20);
    EXPECT_EQ(List()->header()->sectionSize(1), 150);
    EXPECT_EQ(Model().data(Model().index(1, 2), Qt::DisplayRole).toString(), "Zebra");
    EXPECT_EQ(Model().data(Model().index(0, 5), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
        Qt::AlignRight) << "Titelnr is right-aligned";
    EXPECT_FALSE(Model().headerData(1, Qt::Horizontal, Qt::DecorationRole).isNull()) << "arrow on Dateiname";
    EXPECT_TRUE(Model().headerData(2, Qt::Horizontal, Qt::DecorationRole).isNull());

    window->close();
    EXPECT_FALSE(window->isVisible());
    const TSettings s = Stored();
    EXPECT_EQ(s.LastDir.toStdString(), music);
    EXPECT_EQ(s.Sort, 1);
    EXPECT_EQ(s.Spalten, DefaultColumnLayout());
    EXPECT_FALSE(s.ET);
    EXPECT_FALSE(s.Unterordner);
    ASSERT_TRUE(s.Placement.has_value());
    EXPECT_EQ(s.Placement->ShowCmd, kShowNormal);
    EXPECT_EQ(s.Placement->NormalRect().size(), window->geometry().size());
    EXPECT_EQ(dialogs.unanswered, 0);
}

TEST_F(Window, StoredSettingsComeBack)
{
    ThreeSongs();
    TSettings s = DefaultSettings();
    s.LastDir = QString::fromStdString(music);
    s.Sort = -2;
    s.Unterordner = true;
    s.ET = true;
    s.BW = 222;
    s.TZ1 = "#";
    s.Spalten = {{1, 130}, {0, 3}, {18, 50}, {16, 900}};
    Store(s);

    Start({});
    EXPECT_EQ(Text("Panel4"), QString::fromStdString("MP3-Dateien in " + music + " (mit Unterordnern)"));
    EXPECT_EQ(Rows(), (std::vector<std::string> {"b.mp3", "d.mp3", "c.mp3", "a.MP3"})) << "title descending";
    EXPECT_EQ(window->SortKey(), -2);
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {1, 0, 16}));
    EXPECT_EQ(List()->header()->sectionSize(2), 10) << "widths are held to 10..500";
    EXPECT_EQ(List()->header()->sectionSize(3), 500);
    QWidget* edit = Child<QWidget>("Panel5");
    EXPECT_LT(edit->y(), List()->y()) << "edit panel at the top";
    EXPECT_EQ(Child<QWidget>("Panel1")->width(), 222);

    List()->header()->resizeSection(1, 140);
    window->close();
    const TSettings back = Stored();
    EXPECT_EQ(back.Sort, -2);
    EXPECT_TRUE(back.Unterordner);
    EXPECT_TRUE(back.ET);
    EXPECT_EQ(back.BW, 222);
    EXPECT_EQ(back.TZ1, "#") << "values this window does not use survive";
    EXPECT_EQ(back.Spalten, (std::vector<TColumnPair> {{1, 140}, {0, 10}, {16, 500}}));
}

TEST_F(Window, ShortSpaltenValuesAndSortWithoutKey)
{
    ThreeSongs();
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kSettingsKey, true));
        registry.WriteString("LastDir", QString::fromStdString(music));
        registry.WriteBinaryData("Spalten", QByteArray(4, 2));
        registry.WriteInteger("Sort", 0);
    }
    Start({});
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {0, 1, 2, 3, 4, 5, 6, 7, 15}));
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.MP3", "b.mp3", "c.mp3"})) << "ordered by the shown columns";
    for (int c = 0; c < Model().columnCount(); ++c)
        EXPECT_TRUE(Model().headerData(c, Qt::Horizontal, Qt::DecorationRole).isNull()) << "no arrow, column " << c;
    window->close();
    window.reset();

    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKey(kSettingsKey, true));
        registry.WriteBinaryData("Spalten", QByteArray("\x02\x00\x00\x00\x50\x00\x00\x00\x07\x07\x07\x07", 12));
    }
    Start({});
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {2}));
    EXPECT_EQ(List()->header()->sectionSize(1), 80);
}

TEST_F(Window, CommandLineNamesAFolderOrAFile)
{
    ThreeSongs();
    Start({QString::fromStdString(music + "c.mp3")});
    EXPECT_EQ(Text("Panel4"), QString::fromStdString("MP3-Dateien in " + music));
    ASSERT_EQ(SelectedRows().size(), 1u);
    EXPECT_EQ(Model().Entry(SelectedRows()[0])->FileName, "c.mp3");
    EXPECT_TRUE(window->SelectAfterScan().isEmpty());
    window.reset();

    // The case of a letter makes another file here: no match, the first row.
    Start({QString::fromStdString(music + "C.mp3")});
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0}));
    window.reset();

    // A folder without its trailing "/", given relative to the working folder.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.Path()));
    Start({QStringLiteral("musik/unter")});
    QDir::setCurrent(cwd);
    EXPECT_EQ(Text("Panel4"), QString::fromStdString("MP3-Dateien in " + music + "unter/"));
    EXPECT_EQ(Rows(), (std::vector<std::string> {"d.mp3"}));
    window.reset();

    // Nothing that exists: the stored folder stays.
    TSettings s = DefaultSettings();
    s.LastDir = QString::fromStdString(music + "unter/");
    Store(s);
    Start({QStringLiteral("/gibt/es/nicht.mp3")});
    EXPECT_EQ(Text("Panel4"), QString::fromStdString("MP3-Dateien in " + music + "unter/"));
}

TEST_F(Window, AStartFolderThatIsGoneListsTheRoot)
{
    TSettings s = DefaultSettings();
    s.LastDir = QString::fromStdString(music + "weg/");
    s.Spalten = {{0, 100}};
    Store(s);
    // Keep the root scan short: subfolders off, and "/" holds no MP3 files here.
    Start({});
    EXPECT_EQ(Text("Panel4"), "MP3-Dateien in /");
}

TEST_F(Window, CancelWhileCollecting)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    // The click is served by the scan's first round of events.
    QTimer::singleShot(0, window.get(), [this] { QTest::mouseClick(Child<QToolButton>("SpeedButton2"), Qt::LeftButton); });
    window->ScanFolder();
    EXPECT_EQ(Text("Panel4"), QString::fromStdString("MP3-Dateien in " + music + " (Abgebrochen!)"));
    EXPECT_EQ(Model().rowCount(), 0);
    EXPECT_EQ(Text("StatusPanel0"), "0 Dateien gesamt");
    EXPECT_FALSE(Child<QWidget>("PWarten")->isVisible());
}

TEST_F(Window, CancelWhileReadingKeepsTheRowsRead)
{
    for (int k = 0; k < 8; ++k)
        Put("musik/f" + std::to_string(k) + ".mp3", Song("T" + std::to_string(7 - k)));
    Start({QString::fromStdString(music)});
    QProgressBar* bar = Child<QProgressBar>("PBWarten");
    QStringList phases;
    auto c = QObject::connect(bar, &QProgressBar::valueChanged, window.get(), [&](int value) {
        phases << Text("LWarten");
        if (value == 2)
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : List(), Qt::Key_Escape);
    });
    window->ScanFolder();
    QObject::disconnect(c);
    EXPECT_EQ(Model().rowCount(), 3) << "the third file was being read when Esc came";
    EXPECT_TRUE(Text("Panel4").endsWith(" (Abgebrochen!)"));
    EXPECT_EQ(Text("StatusPanel0"), "3 Dateien gesamt");
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0}));
    EXPECT_TRUE(phases.contains("Lese Titelinformationen..."));
    // The rows read are in order.
    const auto rows = Rows();
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end()));
}

TEST_F(Window, AnotherFolderDuringAScanStartsOverThere)
{
    ThreeSongs();
    Put("anders/x.mp3", Song("X"));
    Start({QString::fromStdString(music)});
    const QString other = QString::fromStdString(dir.Path() + "/anders/");
    QStringList captions;
    auto done = QObject::connect(window.get(), &TForm1::ScanFinished, window.get(), [&] { captions << Text("Panel4"); });
    auto c = QObject::connect(Child<QProgressBar>("PBWarten"), &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value == 1)
            Child<TDirBox>("DirBox1")->SelectPath(other);
    });
    window->ScanFolder();
    QObject::disconnect(c);
    QObject::disconnect(done);
    ASSERT_EQ(captions.size(), 2);
    EXPECT_EQ(captions[0], QString::fromStdString("MP3-Dateien in " + music + " (Abgebrochen!)"));
    EXPECT_EQ(captions[1], "MP3-Dateien in " + other);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"x.mp3"}));

    // F5 during a scan: the same folder again, in full.
    auto f5 = QObject::connect(Child<QProgressBar>("PBWarten"), &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value == 1 && finished->count() < 6)
            Action("ActAktuallisiern")->trigger();
    });
    window->ScanFolder();
    QObject::disconnect(f5);
    EXPECT_EQ(Text("Panel4"), "MP3-Dateien in " + other);
    EXPECT_EQ(Model().rowCount(), 1);
}

TEST_F(Window, ClosingDuringAScanWaitsForIt)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    bool refused = false;
    auto c = QObject::connect(Child<QProgressBar>("PBWarten"), &QProgressBar::valueChanged, window.get(), [&](int value) {
        if (value == 1)
            refused = !window->close();
    });
    window->ScanFolder();
    QObject::disconnect(c);
    EXPECT_TRUE(refused) << "the close waits";
    EXPECT_FALSE(window->isVisible()) << "and comes when the scan has stopped";
    EXPECT_TRUE(Text("Panel4").endsWith(" (Abgebrochen!)"));
    EXPECT_EQ(Stored().LastDir.toStdString(), music);
}

// A read that hangs (a share gone away) keeps the window served, and a close
// takes it off the screen at once; it closes for good when the read returns.
class THideWatch : public QObject {
public:
    explicit THideWatch(std::atomic<bool>& hidden) : m_hidden(hidden) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Hide)
            m_hidden = true;
        return false;
    }

private:
    std::atomic<bool>& m_hidden;
};

TEST_F(Window, AHangingReadNeitherFreezesTheWindowNorKeepsItOnScreen)
{
    ThreeSongs();
    // A file's read hangs, then the walk into a subfolder.
    for (const bool folder : {false, true}) {
        SCOPED_TRACE(folder ? "folder" : "file");
        Start({QString::fromStdString(music)});
        if (folder)
            Action("ActUnterordner")->trigger();
        test::TStalledFile layer;
        (folder ? layer.stalledFolder : layer.stalled) = folder ? "unter" : window->EntryList()[1]->FullPath();
        window->SetFileLayer(layer);
        // The read returns only once the window is off the screen (or after 5 s, failing).
        std::atomic<bool> hidden {false};
        bool hiddenFirst = false;
        std::thread release([&] {
            for (int ms = 0; ms < 5000 && !hidden; ++ms)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            hiddenFirst = hidden;
            layer.released = true;
        });
        QTimer timer;
        int ticks = 0;
        QObject::connect(&timer, &QTimer::timeout, window.get(), [&] {
            // The event loop turns while the read hangs.
            if (!layer.reached || ++ticks != 5)
                return;
            EXPECT_TRUE(window->ScanRunning());
            EXPECT_FALSE(window->close()) << "the close waits for the scan";
        });
        THideWatch hides(hidden);
        window->installEventFilter(&hides);
        timer.start(5);
        window->ScanFolder();
        timer.stop();
        release.join();
        window->SetFileLayer(TFileLayer::Posix());
        EXPECT_TRUE(hiddenFirst) << "off the screen before the read returned";
        EXPECT_GE(ticks, 5) << "served while the read hung";
        EXPECT_FALSE(window->isVisible());
        EXPECT_EQ(Stored().LastDir.toStdString(), music) << "closed for good: the settings are written";
        window->removeEventFilter(&hides);
        window.reset();
    }

    // "Abbrechen" while a read hangs: the window goes on serving until the read returns.
    Start({QString::fromStdString(music)});
    test::TStalledFile layer;
    layer.stalled = window->EntryList()[1]->FullPath();
    window->SetFileLayer(layer);
    std::thread deadline([&] {
        for (int ms = 0; ms < 5000 && !layer.released; ++ms)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        layer.released = true;
    });
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, window.get(), [&] {
        if (!layer.reached)
            return;
        if (++ticks == 5)
            Child<QToolButton>("SpeedButton2")->click();
        if (ticks == 15) {
            EXPECT_TRUE(window->ScanRunning()) << "the scan ends when the read returns";
            layer.released = true;
        }
    });
    timer.start(5);
    window->ScanFolder();
    timer.stop();
    deadline.join();
    window->SetFileLayer(TFileLayer::Posix());
    EXPECT_GE(ticks, 15) << "served after the cancel";
    EXPECT_TRUE(Text("Panel4").endsWith(" (Abgebrochen!)"));
    EXPECT_TRUE(window->isVisible());
}

// Fails the open of one file, as a file locked by another program would.
class TLockedFile : public TFileLayer {
public:
    std::string locked;
    bool threads = false;
    bool ManyThreads() const override { return threads; }
    int Open(const std::string& path, int flags) override
    {
        return path == locked ? -EACCES : TFileLayer::Open(path, flags);
    }
};

TEST_F(Window, AnUnreadableFileEndsTheScanWithTheRowsSoFar)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    // Read on the window's thread, and by the reading threads.
    for (const bool threads : {false, true}) {
        TLockedFile layer;
        layer.threads = threads;
        const std::string first = window->EntryList().front()->FullPath();
        layer.locked = window->EntryList()[1]->FullPath();
        window->SetFileLayer(layer);
        window->ScanFolder();
        window->SetFileLayer(TFileLayer::Posix());
        EXPECT_EQ(dialogs.TextsOf("ShowError"),
            QStringList {QString::fromStdString("Datei " + layer.locked + " kann nicht geöffnet werden")});
        EXPECT_EQ(Rows(), (std::vector<std::string> {std::filesystem::path(first).filename().string()}));
        EXPECT_EQ(Text("StatusPanel0"), "1 Dateien gesamt");
        EXPECT_FALSE(Text("Panel4").contains("Abgebrochen"));
        dialogs.calls.clear();
    }
}

TEST_F(Window, EmptyFolderDisablesTheList)
{
    Start({QString::fromStdString(music)});
    EXPECT_EQ(Text("StatusPanel0"), "0 Dateien gesamt");
    EXPECT_FALSE(List()->isEnabled());
    EXPECT_TRUE(SelectedRows().empty());
}

TEST_F(Window, HeaderClicksAndSortMenu)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    QHeaderView* header = List()->header();
    const auto click = [header](int section) {
        const int x = header->sectionViewportPosition(section) + header->sectionSize(section) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    click(2); // Titel
    EXPECT_EQ(window->SortKey(), 2);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.MP3", "c.mp3", "b.mp3"}));
    click(2);
    EXPECT_EQ(window->SortKey(), -2);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"b.mp3", "c.mp3", "a.MP3"}));
    EXPECT_FALSE(Model().headerData(2, Qt::Horizontal, Qt::DecorationRole).isNull());
    click(4); // Album
    EXPECT_EQ(window->SortKey(), 4);
    EXPECT_TRUE(Model().headerData(2, Qt::Horizontal, Qt::DecorationRole).isNull());
    click(0); // the icon column
    EXPECT_EQ(window->SortKey(), 4);
    click(6); // Jahr: "abc" counts as 0
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.MP3", "b.mp3", "c.mp3"}));

    // The selection follows its row through a sort.
    List()->selectionModel()->setCurrentIndex(Model().index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    Action("SortAbsteigend")->trigger();
    EXPECT_EQ(window->SortKey(), -6);
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0}));
    EXPECT_EQ(Model().Entry(0)->FileName, "c.mp3");
    EXPECT_TRUE(Action("SortAbsteigend")->isChecked());
    EXPECT_FALSE(Action("SortAufsteigend")->isChecked());

    Action("SortTitel")->trigger();
    EXPECT_EQ(window->SortKey(), -2) << "a field keeps the direction";
    EXPECT_TRUE(Action("SortTitel")->isChecked());
    EXPECT_FALSE(Action("SortJahr")->isChecked());
    Action("SortAufsteigend")->trigger();
    EXPECT_EQ(window->SortKey(), 2);

    // A sort column that is not shown sorts, without an arrow anywhere.
    Action("ActSpalteTitel")->trigger();
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.MP3", "c.mp3", "b.mp3"}));
    for (int c = 0; c < Model().columnCount(); ++c)
        EXPECT_TRUE(Model().headerData(c, Qt::Horizontal, Qt::DecorationRole).isNull());
}

TEST_F(Window, ColumnTogglesAndTheHeaderMenu)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    QMenu* menu = Child<QMenu>("PopListViewHead");
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, QStringList({"&Dateiname", "&Titel", "&Interpret", "&Album", "Titel&nummer", "&Jahr", "&Bemerkung",
                         "&Musikrichtung", "&Ordner", "-", "&Mehr..."}));

    List()->selectionModel()->setCurrentIndex(Model().index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    emit menu->aboutToShow();
    EXPECT_TRUE(Action("ActSpalteTitelNr")->isChecked());
    EXPECT_FALSE(Action("ActSpalteOrdner")->isChecked());

    Action("ActSpalteOrdner")->trigger();
    EXPECT_EQ(Model().ColumnIds().back(), 8);
    EXPECT_EQ(List()->header()->sectionSize(10), 150);
    EXPECT_EQ(Model().data(Model().index(0, 10), Qt::DisplayRole).toString().toStdString(), music);
    EXPECT_TRUE(Action("ActSpalteOrdner")->isChecked());
    EXPECT_EQ(SelectedRows(), (std::vector<int> {1})) << "the selection survives a new column";

    Action("ActSpalteTitelNr")->trigger();
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {0, 1, 2, 3, 5, 6, 7, 15, 8}));
    Action("ActSpalteTitelNr")->trigger();
    const int last = Model().columnCount() - 1;
    EXPECT_EQ(Model().IdOfColumn(last), 4);
    EXPECT_EQ(Model().data(Model().index(0, last), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
        Qt::AlignLeft) << "a toggled column is left-aligned until the next layout";

    // The toggles take off every column they know; a layout without columns keeps the icon column.
    const char* names[] = {"ActSpalteDateiname", "ActSpalteTitel", "ActSpalteInterpret", "ActSpalteAlbum",
        "ActSpalteTitelNr", "ActSpalteJahr", "ActSpalteBemerkung", "ActSpalteMusikrichtung", "ActSpalteOrdner"};
    for (const int id : Model().ColumnIds())
        if (id < 9)
            Action(names[id])->trigger();
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {15}));
    window->ApplyColumnLayout({});
    EXPECT_EQ(Model().columnCount(), 1);
    EXPECT_EQ(Model().rowCount(), 3);
}

TEST_F(Window, ColumnChooserAppliesItsLayout)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    bool seen = false;
    QTimer::singleShot(0, window.get(), [&] {
        auto* chooser = qobject_cast<TFormSpalten*>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        seen = true;
        auto* list = chooser->findChild<QListWidget*>("CheckListBox1");
        // Uncheck everything but "Länge", which stands ninth.
        for (int k = 0; k < list->count(); ++k)
            list->item(k)->setCheckState(k == 8 ? Qt::Checked : Qt::Unchecked);
        chooser->findChild<QPushButton*>("BtnOK")->click();
    });
    Action("ActSpalten")->trigger();
    EXPECT_TRUE(seen);
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {15}));

    // "Abbrechen" changes nothing.
    QTimer::singleShot(0, window.get(), [&] {
        if (auto* chooser = qobject_cast<TFormSpalten*>(QApplication::activeModalWidget()))
            chooser->findChild<QPushButton*>("BtnAbbrechen")->click();
    });
    Action("ActSpalten2")->trigger();
    EXPECT_EQ(Model().ColumnIds(), (std::vector<int> {15}));
}

TEST_F(Window, SplashTimerAndWindowOnTheScreen)
{
    TSettings s = DefaultSettings();
    s.LastDir = QString::fromStdString(music);
    TWindowPlacement p;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    p.SetNormalRect(QRect(-30, 40, screen.width() + 200, 400));
    s.Placement = p;
    Store(s);

    {
        // Where creation puts the window, before the platform adds its frame.
        TForm1 created(dialogs, shell, {});
        EXPECT_EQ(created.geometry().left(), 0) << "a negative left edge becomes 0";
        EXPECT_EQ(created.geometry().top(), 40);
        EXPECT_EQ(created.geometry().right(), screen.right()) << "the width shrinks to the screen";
        EXPECT_EQ(created.geometry().height(), 400);
    }

    auto* splash = new QWidget;
    splash->setAttribute(Qt::WA_DeleteOnClose);
    splash->show();
    QPointer<QWidget> alive(splash);
    Start({});
    window->SetSplash(splash);

    auto* timer = Child<QTimer>("Timer1");
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 2500);
    timer->start(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return alive.isNull(); }, 2000)) << "the timer closes the splash";
}

TEST_F(Window, AfterASettingsResetClosingWritesNothing)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    window->SetSaveSettingsOnClose(false);
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(QFile::exists(TRegistry::DefaultPath()));
}

TEST_F(Window, AMaximizedWindowComesBackMaximized)
{
    TSettings s = DefaultSettings();
    s.LastDir = QString::fromStdString(music);
    TWindowPlacement p;
    p.ShowCmd = kShowMaximized;
    p.SetNormalRect(QRect(50, 60, 600, 420));
    s.Placement = p;
    Store(s);
    Start({});
    EXPECT_TRUE(window->isMaximized());
    window->close();
    const TSettings back = Stored();
    ASSERT_TRUE(back.Placement.has_value());
    EXPECT_EQ(back.Placement->ShowCmd, kShowMaximized);
    EXPECT_EQ(back.Placement->NormalRect().size(), QSize(600, 420)) << "the normal size is kept for later";
}

TEST(StartForm, AClickClosesIt)
{
    QPointer<TStartForm> splash = new TStartForm;
    splash->show();
    EXPECT_EQ(splash->size(), QSize(350, 250));
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    QTest::mouseClick(splash.data(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 1000)) << "closed and gone";
}

TEST_F(Window, EnterMovesTheFocusAndEscPassesWhenIdle)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    List()->setFocus();
    QApplication::setActiveWindow(window.get());
    QWidget* before = QApplication::focusWidget();
    QTest::keyClick(before, Qt::Key_Return);
    EXPECT_NE(QApplication::focusWidget(), before);
    const int scans = finished->count();
    QTest::keyClick(List(), Qt::Key_Escape);
    EXPECT_EQ(finished->count(), scans);
    EXPECT_FALSE(window->ScanRunning());
}

TEST_F(Window, SubfolderToggleRescans)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    EXPECT_EQ(Model().rowCount(), 3);
    Action("ActUnterordner")->trigger();
    EXPECT_TRUE(window->Unterordner());
    EXPECT_TRUE(Action("ActUnterordner")->isChecked());
    EXPECT_EQ(Model().rowCount(), 4);
    EXPECT_TRUE(Text("Panel4").endsWith(" (mit Unterordnern)"));
    const auto rows = Rows();
    const auto* deep = Model().Entry(static_cast<int>(std::find(rows.begin(), rows.end(), "d.mp3") - rows.begin()));
    EXPECT_EQ(deep->Folder, music + "unter/");
}

TEST_F(Window, UnreadableSubfoldersAreToldAfterTheScan)
{
    ThreeSongs();
    Put("musik/zu/x.mp3", Song("Zu"));
    Put("musik/zu2/y.mp3", Song("Zu"));
    Start({QString::fromStdString(music)});
    EXPECT_TRUE(dialogs.calls.empty());
    ::chmod((music + "zu").c_str(), 0);
    ::chmod((music + "zu2").c_str(), 0);
    {
        test::TWithoutDacOverride asUser;
        Action("ActUnterordner")->trigger();
    }
    ::chmod((music + "zu").c_str(), 0755);
    ::chmod((music + "zu2").c_str(), 0755);
    EXPECT_EQ(Model().rowCount(), 4);
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Kind, TDialogs::Kind::Warning);
    // The first met in the folder's own order.
    const auto text = [](const std::string& first) {
        return QString::fromStdString("2 Ordner konnten nicht gelesen werden, darunter \"" + first
            + "\".\rDie MP3-Dateien darin fehlen in der Liste.");
    };
    EXPECT_TRUE(dialogs.calls[0].Text == text(music + "zu") || dialogs.calls[0].Text == text(music + "zu2"))
        << dialogs.calls[0].Text.toStdString();
}

TEST_F(Window, WithoutAStoredPlaceTheWindowSystemPlacesTheWindow)
{
    Start({QString::fromStdString(music)});
    // A position set by the program puts the client area there, the title bar above the screen.
    EXPECT_FALSE(window->testAttribute(Qt::WA_Moved));
    EXPECT_GE(window->width(), 707);
    EXPECT_GE(window->height(), 567);
}

// Room for text inside a line edit: its width less the frame and the margins around the text.
int TextRoom(const QLineEdit* edit)
{
    return edit->width() - (edit->minimumSizeHint().width() - edit->fontMetrics().maxWidth()) - 4;
}

TEST_F(Window, TextsFitAtTheFirstStartSize)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});

    auto* count = Child<QLabel>("StatusPanel0");
    count->setText(QStringLiteral("20000 Dateien gesamt"));
    EXPECT_LE(count->sizeHint().width(), count->width());

    const QFontMetrics fm = window->fontMetrics();
    const int thirty = 30 * fm.averageCharWidth();
    EXPECT_GE(TextRoom(Child<QLineEdit>("EAlbum")), thirty);
    EXPECT_GE(TextRoom(Child<QLineEdit>("ESaenger")), thirty);
    EXPECT_GE(TextRoom(Child<QLineEdit>("ETitelnr")), fm.horizontalAdvance(QStringLiteral("255")));
    EXPECT_GE(TextRoom(Child<QLineEdit>("EJahr")), fm.horizontalAdvance(QStringLiteral("2024")));

    QWidget* fields = Child<QWidget>("Panel6");
    int captions = 0;
    for (const QWidget* w : fields->findChildren<QWidget*>()) {
        if (!w->isVisible())
            continue;
        const std::string name = w->objectName().isEmpty() ? w->property("text").toString().toStdString()
                                                           : w->objectName().toStdString();
        if (qobject_cast<const QLabel*>(w) || qobject_cast<const QCheckBox*>(w)) {
            ++captions;
            EXPECT_LE(w->sizeHint().width(), w->width()) << name;
        }
        // The up-down arrows are small by design.
        if (!qobject_cast<const QToolButton*>(w)) {
            EXPECT_LE(w->sizeHint().height(), w->height()) << name;
        }
        EXPECT_TRUE(fields->rect().contains(QRect(w->mapTo(fields, QPoint(0, 0)), w->size()))) << name;
    }
    EXPECT_EQ(captions, 8) << "seven captions and the check box";
}

TEST_F(Window, TheProgressStripHidesTheFileLine)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    auto* line = Child<QLabel>("StatusPanel1");
    QPalette red = line->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    line->setPalette(red);
    line->setText(QString(120, QChar(0x2588)));

    // Looked at while the scan collects, with the strip shown over the line.
    int redPixels = -1;
    QTimer::singleShot(0, window.get(), [&] {
        QWidget* strip = Child<QWidget>("PWarten");
        ASSERT_TRUE(strip->isVisible());
        const QImage shot = window->statusBar()->grab().toImage().scaled(window->statusBar()->size());
        const QRect covered = strip->geometry().intersected(line->geometry());
        ASSERT_FALSE(covered.isEmpty());
        redPixels = 0;
        for (int y = covered.top(); y <= covered.bottom(); ++y)
            for (int x = covered.left(); x <= covered.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                redPixels += c.red() > 180 && c.green() < 90 && c.blue() < 90;
            }
    });
    window->ScanFolder();
    EXPECT_EQ(redPixels, 0);
}

TEST_F(Window, ToolBarPicturesComeFromTheIconTheme)
{
    Start({QString::fromStdString(music)});
    if (QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("icons/breeze/index.theme")).isEmpty())
        GTEST_SKIP() << "the icon theme is not installed";

    const std::pair<const char*, const char*> expected[] = {
        {"ActZurueck", "go-previous"}, {"ActVorwaerts", "go-next"}, {"ActAufwaerts", "go-up"},
        {"ActPlay", "media-playback-start"}, {"ActRueckgaengig", "edit-undo"}, {"ActAussschneiden", "edit-cut"},
        {"ActKopieren", "edit-copy"}, {"actEinfuegen", "edit-paste"}, {"ActAktuallisiern", "view-refresh"},
        {"ActShellDelete", "user-trash"}, {"ActAlleFelderloeschen", "edit-clear"}};
    for (const auto& [action, name] : expected) {
        const QIcon icon = Action(action)->icon();
        EXPECT_EQ(icon.name(), QLatin1String(name)) << action;
        EXPECT_FALSE(icon.pixmap(20).isNull()) << action;
    }
    for (QAction* a : Child<QToolBar>("ToolBar1")->actions())
        EXPECT_TRUE(a->isSeparator() || !a->icon().pixmap(20).isNull()) << a->objectName().toStdString();
}

TEST_F(Window, TheListAndThePanelButtonsAreNamedAndTheLetteredPicturesReadable)
{
    Start({QString::fromStdString(music)});
    const auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    EXPECT_EQ(name(List()), "Dateiliste");
    EXPECT_EQ(name(Child<TDirBox>("DirBox1")), "Ordner");
    // The small picture buttons beside the captions: named by what they do, and
    // out of the Tab order, so a stray Space hides no panel.
    int small = 0;
    for (QToolButton* b : window->findChildren<QToolButton*>()) {
        if (!b->objectName().startsWith("Btn"))
            continue;
        ++small;
        EXPECT_FALSE(name(b).isEmpty()) << b->objectName().toStdString();
        EXPECT_EQ(name(b), b->defaultAction()->toolTip());
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->objectName().toStdString();
    }
    EXPECT_EQ(small, 8);

    // Drawn at the screen's pixel ratio, and readable on the tool bar in light and dark palettes.
    for (const char* action : {"ActFeldUebernehmen", "ActAllesUebernehmen", "ActVonDateinamen", "ActDateinameAusID3"}) {
        const QIcon icon = Action(action)->icon();
        const QPixmap sharp = icon.pixmap(QSize(20, 20), 2.0);
        EXPECT_EQ(sharp.devicePixelRatio(), 2.0) << action;
        EXPECT_EQ(sharp.size(), QSize(40, 40)) << action;
        for (const QPalette& palette : {test::LightPalette(), test::DarkPalette()}) {
            const test::TPaletteScope scope(palette);
            const QColor bar = palette.color(QPalette::Window);
            EXPECT_GE(test::StrongestContrast(icon.pixmap(QSize(20, 20), 1.0).toImage(), bar), 3.0)
                << action << " on " << bar.name().toStdString();
        }
    }
}

} // namespace
} // namespace km

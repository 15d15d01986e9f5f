#include "browse/dirbox.h"
#include "platform/soon.h"
#include "tags/fileio.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace km {
namespace {

namespace fs = std::filesystem;

class DirBox : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int counter = 0;
        const fs::path dir = fs::temp_directory_path()
            / ("klangmappe-dirbox-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(dir);
        // The tree shows real folders; a linked temp folder would not match.
        m_base = fs::canonical(dir);
    }
    void TearDown() override { fs::remove_all(m_base); }

    void Mkdir(const std::string& rel) { fs::create_directories(m_base / rel); }
    void Touch(const std::string& rel) { std::ofstream(m_base / rel) << "x"; }
    QString Path(const std::string& rel = {}) const
    {
        return QString::fromStdString(m_base.string()) + QLatin1Char('/') + QString::fromStdString(rel);
    }
    static QStringList Received(const QSignalSpy& spy)
    {
        QStringList out;
        for (const auto& args : spy)
            out << args.at(0).toString();
        return out;
    }
    static QStringList Captions(const QTreeWidgetItem* node)
    {
        QStringList out;
        for (int i = 0; i < node->childCount(); ++i)
            out << node->child(i)->text(0);
        return out;
    }
    static QTreeWidgetItem* Child(const QTreeWidgetItem* node, const QString& caption)
    {
        for (int i = 0; i < node->childCount(); ++i)
            if (node->child(i)->text(0) == caption)
                return node->child(i);
        return nullptr;
    }
    static int CountNodes(const QTreeWidgetItem* node)
    {
        int n = 1;
        for (int i = 0; i < node->childCount(); ++i)
            n += CountNodes(node->child(i));
        return n;
    }

    fs::path m_base;
};

TEST_F(DirBox, RootDeepSelectionAndIgnoredTail)
{
    Mkdir("a/b/c");
    TDirBox box;
    ASSERT_EQ(box.topLevelItemCount(), 1);
    EXPECT_EQ(box.topLevelItem(0)->text(0), "/");
    EXPECT_EQ(box.Directory(), "/");
    EXPECT_TRUE(box.Notify());
    EXPECT_TRUE(box.isHeaderHidden());
    EXPECT_EQ(box.selectionMode(), QAbstractItemView::SingleSelection);

    QSignalSpy spy(&box, &TDirBox::DirChange);
    EXPECT_TRUE(box.SelectPath(Path("a/b/c/")));
    EXPECT_EQ(box.Directory(), Path("a/b/c/"));
    EXPECT_EQ(box.currentItem()->text(0), "c");
    EXPECT_TRUE(box.currentItem()->parent()->isExpanded());
    EXPECT_EQ(Received(spy), QStringList{Path("a/b/c/")});

    // The same node again raises nothing.
    EXPECT_TRUE(box.SelectPath(Path("a/b/c/")));
    EXPECT_EQ(spy.count(), 1);

    // A file name (or any text) after the last "/" does not count.
    EXPECT_TRUE(box.SelectPath(Path("a/b/Lied.mp3")));
    EXPECT_EQ(box.Directory(), Path("a/b/"));
    EXPECT_TRUE(box.SelectPath(Path("a/b")));
    EXPECT_EQ(box.Directory(), Path("a/"));
    EXPECT_EQ(Received(spy), (QStringList{Path("a/b/c/"), Path("a/b/"), Path("a/")}));

    // Repeated slashes name the same folder.
    EXPECT_TRUE(box.SelectPath(Path("/a//b/")));
    EXPECT_EQ(box.Directory(), Path("a/b/"));

    EXPECT_TRUE(box.SelectPath("/"));
    EXPECT_EQ(box.Directory(), "/");
}

// A folder that hangs (a share gone away) never holds up the tree: its node
// says it is being read (or keeps its nodes when read again), the window goes
// on, and a selection on the way goes on when the folder answers, unless the
// user went elsewhere meanwhile.
class TStalledFolders : public TFileLayer {
public:
    std::string stalled; // the folder, ending in "/"
    std::atomic<bool> released {false};
    bool ManyThreads() const override { return true; }
    int Open(const std::string& path, int flags) override
    {
        while (path == stalled && !released)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return TFileLayer::Open(path, flags);
    }
};

TEST_F(DirBox, AFolderThatHangsShowsItIsReadAndTheSelectionFollowsItsAnswer)
{
    Mkdir("a/b/c");
    Mkdir("x");
    // Whatever happens, the tests after this one get their long wait back.
    const std::unique_ptr<void, void (*)(void*)> restore(
        reinterpret_cast<void*>(1), [](void*) { SetQuickWait(std::chrono::seconds(10)); });
    TDirBox box;
    EXPECT_TRUE(box.SelectPath(Path()));
    QTreeWidgetItem* base = box.currentItem();
    box.expandItem(base); // listed while every folder may take its time
    QSignalSpy spy(&box, &TDirBox::DirChange);
    for (const bool userGoesElsewhere : {false, true}) {
        SCOPED_TRACE(userGoesElsewhere ? "the user goes elsewhere" : "waiting");
        TStalledFolders layer;
        layer.stalled = Path(userGoesElsewhere ? "a/b/" : "a/").toStdString();
        box.SetFileLayer(layer);
        spy.clear();
        SetQuickWait(std::chrono::milliseconds(20));
        EXPECT_TRUE(box.SelectPath(Path("a/b/c/"))) << "on its way";
        EXPECT_EQ(box.Listing(), 1);
        EXPECT_EQ(box.Directory(), Path()) << "the selection stays until the folder answers";
        const QTreeWidgetItem* waiting = userGoesElsewhere ? Child(Child(base, "a"), "b") : Child(base, "a");
        ASSERT_NE(waiting, nullptr);
        // Read for the first time it says so; read again it keeps what it showed.
        ASSERT_EQ(Captions(waiting), QStringList {userGoesElsewhere ? "c" : "wird gelesen..."});
        EXPECT_EQ(!(waiting->child(0)->flags() & Qt::ItemIsSelectable), !userGoesElsewhere);
        QTest::qWait(30); // the window is served meanwhile
        if (userGoesElsewhere)
            box.setCurrentItem(Child(base, "x"));
        layer.released = true;
        ASSERT_TRUE(QTest::qWaitFor([&] { return box.Listing() == 0; }, 5000));
        SetQuickWait(std::chrono::seconds(10));
        QCoreApplication::processEvents();
        EXPECT_EQ(Captions(waiting), QStringList {userGoesElsewhere ? "c" : "b"});
        if (userGoesElsewhere) {
            EXPECT_EQ(box.Directory(), Path("x/")) << "where the user went";
            EXPECT_EQ(Received(spy), QStringList {Path("x/")});
        } else {
            EXPECT_EQ(box.Directory(), Path("a/b/c/"));
            EXPECT_EQ(Received(spy), QStringList {Path("a/b/c/")});
        }
        box.SetFileLayer(TFileLayer::Posix());
        EXPECT_TRUE(box.SelectPath(Path()));
        Child(Child(base, "a"), "b")->setExpanded(false); // opened again, it is read again
    }
}

TEST_F(DirBox, ScreenReadersHearItsCaptionNotAColumnNumber)
{
    TDirBox box;
    box.show();
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&box);
    EXPECT_EQ(tree->text(QAccessible::Name), "Ordner");
    // Hidden, the header is still the first thing a screen reader reads.
    ASSERT_GT(tree->childCount(), 0);
    EXPECT_EQ(tree->child(0)->role(), QAccessible::ColumnHeader);
    EXPECT_EQ(tree->child(0)->text(QAccessible::Name), "Ordner");
}

TEST_F(DirBox, NotFoundRebuildsOnRoot)
{
    Mkdir("Musik/Rock");
    TDirBox box;
    QSignalSpy spy(&box, &TDirBox::DirChange);

    ASSERT_TRUE(box.SelectPath(Path("Musik/Rock/")));
    spy.clear();
    // Letter case must match.
    EXPECT_FALSE(box.SelectPath(Path("musik/Rock/")));
    EXPECT_EQ(box.Directory(), "/");
    EXPECT_EQ(Received(spy), QStringList{"/"});
    ASSERT_EQ(box.topLevelItemCount(), 1);
    EXPECT_EQ(box.currentItem(), box.topLevelItem(0));

    // The rebuild raises the root again, even though it was already shown.
    spy.clear();
    EXPECT_FALSE(box.SelectPath(Path("Musik/Jazz/Alt/")));
    EXPECT_EQ(Received(spy), QStringList{"/"});

    // Relative and empty paths name nothing.
    spy.clear();
    EXPECT_FALSE(box.SelectPath("Musik/"));
    EXPECT_FALSE(box.SelectPath(""));
    EXPECT_EQ(spy.count(), 2);

    // A folder removed after it was listed is not found either.
    ASSERT_TRUE(box.SelectPath(Path("Musik/Rock/")));
    ASSERT_TRUE(box.SelectPath(Path("Musik/")));
    fs::remove(m_base / "Musik/Rock");
    spy.clear();
    EXPECT_FALSE(box.SelectPath(Path("Musik/Rock/")));
    EXPECT_EQ(Received(spy), QStringList{"/"});

    // A folder made after its parent was listed is found.
    ASSERT_TRUE(box.SelectPath(Path("Musik/")));
    box.currentItem()->setExpanded(true);
    Mkdir("Musik/Neu");
    ASSERT_TRUE(box.SelectPath(Path("Musik/Neu/")));
    EXPECT_EQ(Captions(box.currentItem()->parent()), QStringList{"Neu"});
}

TEST_F(DirBox, QuietWhileNotificationsOff)
{
    Mkdir("x");
    TDirBox box;
    QSignalSpy spy(&box, &TDirBox::DirChange);
    box.SetNotify(false);
    EXPECT_FALSE(box.Notify());
    EXPECT_TRUE(box.SelectPath(Path("x/")));
    EXPECT_EQ(box.Directory(), Path("x/"));
    EXPECT_FALSE(box.SelectPath(Path("y/")));
    box.Rebuild();
    EXPECT_TRUE(box.SelectPath(Path("x/")));
    box.SetNotify(true);
    EXPECT_EQ(spy.count(), 0);
    // Switching on reports nothing by itself; the selection it kept counts as shown.
    EXPECT_TRUE(box.SelectPath(Path("x/")));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_TRUE(box.SelectPath(Path()));
    EXPECT_EQ(Received(spy), QStringList{Path()});
}

TEST_F(DirBox, ChildrenHiddenSortedWithIndicators)
{
    for (const char* d : {"b", "B", "Zeta", "_x", "10", "9", ".versteckt", "a/sub", "leer"})
        Mkdir(d);
    Touch("datei.mp3");
    Touch("leer/nur-datei.mp3");
    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path()));
    QTreeWidgetItem* base = box.currentItem();
    EXPECT_EQ(base->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    base->setExpanded(true);
    EXPECT_EQ(Captions(base), (QStringList{".versteckt", "10", "9", "_x", "a", "B", "b", "leer", "Zeta"}));
    EXPECT_EQ(Child(base, "a")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(Child(base, "b")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(Child(base, "leer")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);

    // A folder that lost its last subfolder loses its indicator when opened.
    fs::remove(m_base / "a/sub");
    Child(base, "a")->setExpanded(true);
    EXPECT_EQ(Child(base, "a")->childCount(), 0);
    EXPECT_EQ(Child(base, "a")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TEST_F(DirBox, LinksShownNeverFollowed)
{
    Mkdir("echt/innen");
    Touch("datei.mp3");
    fs::create_directory_symlink(m_base / "echt", m_base / "verweis");
    fs::create_directory_symlink(m_base, m_base / "schleife");
    fs::create_symlink(m_base / "selbst", m_base / "selbst");
    fs::create_symlink(m_base / "fehlt", m_base / "tot");
    fs::create_symlink(m_base / "datei.mp3", m_base / "dateiverweis");
    Mkdir("echt/innen/leer");

    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path()));
    QTreeWidgetItem* base = box.currentItem();
    base->setExpanded(true);
    EXPECT_EQ(Captions(base), (QStringList{"echt", "schleife", "verweis"}));
    EXPECT_EQ(Child(base, "verweis")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    // Listing a node never lists what its links lead to.
    EXPECT_EQ(Child(base, "schleife")->childCount(), 0);
    EXPECT_EQ(Child(base, "verweis")->childCount(), 0);

    // The user may still walk through the links, one level at a time.
    EXPECT_TRUE(box.SelectPath(Path("schleife/schleife/verweis/innen/")));
    EXPECT_EQ(box.Directory(), Path("schleife/schleife/verweis/innen/"));
    EXPECT_LT(CountNodes(base), 30);
}

TEST_F(DirBox, UserSelectsWithKeyboardAndMouse)
{
    Mkdir("a/s");
    Mkdir("b");
    TDirBox box;
    box.resize(400, 600);
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    ASSERT_TRUE(box.SelectPath(Path("a/")));
    box.setFocus();
    QSignalSpy spy(&box, &TDirBox::DirChange);

    // Right opens the node without moving the selection.
    QTest::keyClick(&box, Qt::Key_Right);
    EXPECT_TRUE(box.currentItem()->isExpanded());
    EXPECT_EQ(spy.count(), 0);

    QTest::keyClick(&box, Qt::Key_Down);
    EXPECT_EQ(Received(spy), QStringList{Path("a/s/")});
    QTest::keyClick(&box, Qt::Key_Down);
    EXPECT_EQ(Received(spy), (QStringList{Path("a/s/"), Path("b/")}));
    EXPECT_EQ(box.Directory(), Path("b/"));

    spy.clear();
    QTreeWidgetItem* a = box.currentItem()->parent()->child(0);
    ASSERT_EQ(a->text(0), "a");
    box.scrollToItem(a);
    const QPoint at = box.visualItemRect(a).center();
    QTest::mouseClick(box.viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(Received(spy), QStringList{Path("a/")});
    // Ctrl+click or Ctrl+Space on the selected node keeps it selected.
    QTest::mouseClick(box.viewport(), Qt::LeftButton, Qt::ControlModifier, at);
    EXPECT_EQ(box.selectedItems(), QList<QTreeWidgetItem*>{a});
    QTest::keyClick(&box, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(box.selectedItems(), QList<QTreeWidgetItem*>{a});
    EXPECT_EQ(box.Directory(), Path("a/"));
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(DirBox, ExpandsALargeFolder)
{
    for (int i = 0; i < 2000; ++i)
        Mkdir(i % 2 ? "d" + std::to_string(i) : "d" + std::to_string(i) + "/s");
    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path()));
    box.currentItem()->setExpanded(true);
    EXPECT_EQ(box.currentItem()->childCount(), 2000);
}

TEST_F(DirBox, LargeFoldersGetTheirMarkersLater)
{
    // Too many entries to be checked at once: their answers come from the worker.
    for (const char* d : {"dateien", "echt/innen", "offen", "verweis", "ziel/x"})
        Mkdir(d);
    for (int i = 0; i < 4000; ++i) {
        for (const char* d : {"dateien/", "echt/", "offen/", "verweis/"})
            std::ofstream(m_base / (d + std::to_string(i)));
    }
    fs::create_directory_symlink(m_base / "ziel", m_base / "verweis/zum-ziel");

    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path("ziel/")));
    QTreeWidgetItem* base = box.currentItem()->parent();
    const auto markerOf = [&](const char* name) { return Child(base, name)->childIndicatorPolicy(); };
    // Long enough for a slow machine; an answer normally takes milliseconds.
    const auto waitFor = [&](const char* name, QTreeWidgetItem::ChildIndicatorPolicy marker) {
        return QTest::qWaitFor([&] { return markerOf(name) == marker; }, 60000);
    };
    // Opened before its answer is in: listed as always, and the answer leaves it alone.
    Mkdir("offen/neu");
    QTreeWidgetItem* offen = Child(base, "offen");
    offen->setExpanded(true);
    EXPECT_EQ(Captions(offen), QStringList{"neu"});
    EXPECT_TRUE(waitFor("verweis", QTreeWidgetItem::ShowIndicator));
    EXPECT_TRUE(waitFor("echt", QTreeWidgetItem::ShowIndicator));
    EXPECT_EQ(Child(base, "verweis")->childCount(), 0);

    // The marker shown stays until the new answer takes it away. A closed
    // listed node whose listed folders are all gone is read again at once.
    fs::remove(m_base / "echt/innen");
    offen->setExpanded(false);
    fs::remove(m_base / "offen/neu");
    box.RereadFolder(Path());
    EXPECT_EQ(offen->childCount(), 0);
    ASSERT_TRUE(waitFor("echt", QTreeWidgetItem::DontShowIndicator));
    // Answers come in the order asked: those for the folders before it are in too.
    EXPECT_EQ(markerOf("dateien"), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(offen->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    // Rebuilding or closing with answers pending drops them safely.
    auto other = std::make_unique<TDirBox>();
    ASSERT_TRUE(other->SelectPath(Path("ziel/")));
    other->Rebuild();
    ASSERT_TRUE(other->SelectPath(Path("ziel/")));
    other.reset();
    QCoreApplication::processEvents();
}

TEST_F(DirBox, CollapseAndExpandReadsAgain)
{
    for (const char* d : {"b/innen/tief", "d", "f/alt", "g"})
        Mkdir(d);
    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path("b/innen/")));
    QTreeWidgetItem* innen = box.currentItem();
    QTreeWidgetItem* b = innen->parent();
    QTreeWidgetItem* base = b->parent();
    innen->setExpanded(true);
    Child(base, "f")->setExpanded(true);
    Child(base, "f")->setExpanded(false);
    QSignalSpy spy(&box, &TDirBox::DirChange);

    for (const char* d : {"a", "c/x", "d/neu"})
        Mkdir(d);
    fs::remove(m_base / "f/alt");
    fs::remove(m_base / "g");
    base->setExpanded(false);
    base->setExpanded(true);
    ASSERT_EQ(Captions(base), (QStringList{"a", "b", "c", "d", "f"}));
    EXPECT_EQ(Child(base, "a")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    EXPECT_EQ(Child(base, "c")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    EXPECT_EQ(Child(base, "d")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    // A listed child that lost its subfolders loses its expander too.
    EXPECT_EQ(Child(base, "f")->childCount(), 0);
    // The surviving nodes are the same ones, still open and selected.
    EXPECT_EQ(Child(base, "b"), b);
    EXPECT_TRUE(b->isExpanded());
    EXPECT_TRUE(innen->isExpanded());
    EXPECT_EQ(Captions(innen), QStringList{"tief"});
    EXPECT_EQ(box.currentItem(), innen);
    EXPECT_EQ(box.Directory(), Path("b/innen/"));
    EXPECT_EQ(spy.count(), 0);
}

TEST_F(DirBox, ExpandingTellsTheMovedSelectionOnlyAfterwards)
{
    // The selection lies in a branch deleted meanwhile; the DirChange that
    // follows starts a scan, which may reread the tree while serving events.
    Mkdir("a/b/c");
    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path("a/b/c/")));
    QTreeWidgetItem* b = box.currentItem()->parent();
    b->setExpanded(false);
    fs::remove_all(m_base / "a/b");
    QStringList told;
    QObject::connect(&box, &TDirBox::DirChange, &box, [&](const QString& folder) {
        told << folder;
        box.RereadFolder(Path("a/"));
    });
    QTreeWidgetItem* a = b->parent();
    a->setExpanded(false);
    a->setExpanded(true);
    EXPECT_TRUE(told.isEmpty()) << "not from inside the expanding";
    ASSERT_TRUE(QTest::qWaitFor([&] { return !told.isEmpty(); }, 1000));
    EXPECT_EQ(told, QStringList{Path("a/")});
    EXPECT_EQ(a->childCount(), 0);
    EXPECT_EQ(box.Directory(), Path("a/"));
}

TEST_F(DirBox, RereadFolderOfShownFolder)
{
    for (const char* d : {"m/a/x", "m/b", "m/leer"})
        Mkdir(d);
    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path("m/")));
    QTreeWidgetItem* m = box.currentItem();
    m->setExpanded(true);
    QTreeWidgetItem* a = Child(m, "a");
    a->setExpanded(true);
    QSignalSpy spy(&box, &TDirBox::DirChange);

    // F5 on the shown folder: new and deleted subfolders, down through opened nodes.
    Mkdir("m/neu");
    Mkdir("m/a/y");
    fs::remove(m_base / "m/b");
    box.RereadFolder(Path("m/"));
    EXPECT_EQ(Captions(m), (QStringList{"a", "leer", "neu"}));
    EXPECT_EQ(Child(m, "a"), a);
    EXPECT_TRUE(a->isExpanded());
    EXPECT_EQ(Captions(a), (QStringList{"x", "y"}));
    EXPECT_EQ(box.currentItem(), m);
    EXPECT_EQ(spy.count(), 0);

    // A folder never opened only gets its expander right.
    ASSERT_TRUE(box.SelectPath(Path("m/leer/")));
    EXPECT_EQ(box.currentItem()->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    Mkdir("m/leer/sub");
    spy.clear();
    box.RereadFolder(Path("m/leer/"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return box.currentItem()->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator; }))
        << "when the folder answers";
    EXPECT_EQ(box.currentItem()->childCount(), 0);
    EXPECT_EQ(spy.count(), 0);

    // The shown folder itself was deleted: its nearest existing ancestor is selected.
    ASSERT_TRUE(box.SelectPath(Path("m/a/x/")));
    spy.clear();
    fs::remove_all(m_base / "m/a");
    box.RereadFolder(Path("m/a/x/"));
    EXPECT_EQ(box.Directory(), Path("m/"));
    EXPECT_EQ(box.currentItem(), m);
    EXPECT_EQ(Received(spy), QStringList{Path("m/")});
    EXPECT_EQ(Captions(m), (QStringList{"leer", "neu"}));
}

TEST_F(DirBox, RereadsALargeFolderInOrder)
{
    for (int i = 0; i < 3000; ++i)
        Mkdir("d" + std::to_string(i));
    TDirBox box;
    ASSERT_TRUE(box.SelectPath(Path("d1500/")));
    QTreeWidgetItem* shown = box.currentItem();
    QTreeWidgetItem* base = shown->parent();
    for (int i = 0; i < 3000; i += 2)
        fs::remove(m_base / ("d" + std::to_string(i)));
    for (int i = 0; i < 1000; ++i)
        Mkdir("n" + std::to_string(i));
    QSignalSpy spy(&box, &TDirBox::DirChange);
    box.RereadFolder(Path());
    ASSERT_EQ(base->childCount(), 2500);
    EXPECT_EQ(base->child(0)->text(0), "d1");
    EXPECT_EQ(base->child(1499)->text(0), "d999");
    EXPECT_EQ(base->child(1500)->text(0), "n0");
    // d1500 was deleted with the other even ones.
    EXPECT_EQ(box.Directory(), Path());
    EXPECT_EQ(Received(spy), QStringList{Path()});
}

} // namespace
} // namespace km

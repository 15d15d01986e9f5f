#include "browse/dirbox.h"
#include "model/history.h"
#include "support/windowfixture.h"

#include <filesystem>

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace km {
namespace {

using test::Song;

TEST(History, CaptionsParentsAndTheRecord)
{
    EXPECT_EQ(THistory::Caption("/musik/Rock/"), "Rock");
    EXPECT_EQ(THistory::Caption("/a/"), "a");
    EXPECT_EQ(THistory::Caption("/"), "/");
    EXPECT_EQ(THistory::Parent("/musik/Rock/"), "/musik/");
    EXPECT_EQ(THistory::Parent("/musik/"), "/");
    EXPECT_EQ(THistory::Parent("/"), "/");

    THistory h;
    EXPECT_FALSE(h.Add("/a/"));
    EXPECT_FALSE(h.Add("/a/")) << "the folder shown is not recorded twice";
    h.Add("/A/");
    EXPECT_EQ(h.Back, QStringList({"/a/", "/A/"})) << "names differing in case are two folders";
    h.Forward = {"/x/"};
    h.Navigating = true;
    EXPECT_FALSE(h.Add("/b/"));
    EXPECT_EQ(h.Forward, QStringList({"/x/"})) << "a move through the history keeps the forward list";
    EXPECT_FALSE(h.Navigating);
    EXPECT_TRUE(h.Add("/c/")) << "a new way empties it";
    EXPECT_TRUE(h.Forward.isEmpty());

    THistory many;
    for (int k = 0; k < 12; ++k)
        many.Add(QStringLiteral("/f%1/").arg(k));
    const auto items = many.BackItems();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[0].Caption, "f10");
    EXPECT_EQ(items[0].Steps, -1);
    EXPECT_EQ(items[8].Caption, "f2");
    EXPECT_EQ(items[8].Steps, -9);
    many.Forward = {"/", "/g/"};
    const auto forward = many.ForwardItems();
    ASSERT_EQ(forward.size(), 2u);
    EXPECT_EQ(forward[0].Caption, "g");
    EXPECT_EQ(forward[0].Steps, 1);
    EXPECT_EQ(forward[1].Caption, "/");
    EXPECT_EQ(forward[1].Steps, 2);
}

class Navigation : public test::WindowTest {
protected:
    QString Folder(const char* name)
    {
        const std::string path = dir.Path() + "/" + name + "/";
        std::filesystem::create_directories(path);
        return QString::fromStdString(path);
    }
    TDirBox* Tree() const { return Child<TDirBox>("DirBox1"); }
    QStringList Back() const { return window->History().Back; }
    QStringList Forward() const { return window->History().Forward; }
};

TEST_F(Navigation, BackAndForwardThroughTheVisitedFolders)
{
    const QString a = Folder("A"), b = Folder("B"), c = Folder("C"), d = Folder("D");
    Put("B/lied.mp3", Song("b"));
    Start({a});
    Tree()->SelectPath(b);
    Tree()->SelectPath(c);
    EXPECT_EQ(Back(), QStringList({a, b, c}));

    window->Commands().Refresh();
    EXPECT_TRUE(Action("ActZurueck")->isEnabled());
    EXPECT_FALSE(Action("ActVorwaerts")->isEnabled());
    Action("ActZurueck")->trigger();
    EXPECT_EQ(Tree()->Directory(), b);
    EXPECT_EQ(Text("Panel4"), "MP3-Dateien in " + b);
    EXPECT_EQ(Model().rowCount(), 1);
    EXPECT_EQ(Forward(), QStringList({c}));
    Action("ActZurueck")->trigger();
    EXPECT_EQ(Tree()->Directory(), a);
    EXPECT_EQ(Back(), QStringList({a}));
    EXPECT_EQ(Forward(), QStringList({c, b}));
    window->Commands().Refresh();
    EXPECT_FALSE(Action("ActZurueck")->isEnabled());
    QMenu* backMenu = Child<QMenu>("PopDirZurueck");
    emit backMenu->aboutToShow();
    EXPECT_TRUE(backMenu->actions().isEmpty());

    Action("ActVorwaerts")->trigger();
    EXPECT_EQ(Tree()->Directory(), b);
    EXPECT_EQ(Back(), QStringList({a, b}));
    EXPECT_EQ(Forward(), QStringList({c}));

    // A folder chosen in the tree is a new way: the forward list goes.
    Tree()->SelectPath(d);
    EXPECT_EQ(Back(), QStringList({a, b, d}));
    EXPECT_TRUE(Forward().isEmpty());

    // Going back further than the history reaches, or forward with nothing ahead: a beep.
    const int beeps = dialogs.beeps;
    window->GoHistory(-3);
    window->GoHistory(1);
    EXPECT_EQ(dialogs.beeps, beeps + 2);
    EXPECT_EQ(Tree()->Directory(), d);
}

TEST_F(Navigation, DropDownMenusGoSeveralStepsAtOnce)
{
    QStringList folders;
    for (const char* name : {"eins", "zwei", "drei", "vier", "fuenf"})
        folders << Folder(name);
    Start({folders[0]});
    for (int k = 1; k < folders.size(); ++k)
        Tree()->SelectPath(folders[k]);
    QMenu* menu = Child<QMenu>("PopDirZurueck");
    emit menu->aboutToShow();
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << a->text();
    EXPECT_EQ(captions, QStringList({"vier", "drei", "zwei", "eins"}));
    menu->actions()[2]->trigger();
    EXPECT_EQ(Tree()->Directory(), folders[1]);
    EXPECT_EQ(Forward(), QStringList({folders[4], folders[3], folders[2]}));

    QMenu* ahead = Child<QMenu>("PopDirVorwaerts");
    emit ahead->aboutToShow();
    ASSERT_EQ(ahead->actions().size(), 3);
    EXPECT_EQ(ahead->actions()[0]->text(), "drei");
    ahead->actions()[1]->trigger();
    EXPECT_EQ(Tree()->Directory(), folders[3]);
    EXPECT_EQ(Back(), QStringList({folders[0], folders[1], folders[2], folders[3]}));
    EXPECT_EQ(Forward(), QStringList({folders[4]}));
}

TEST_F(Navigation, AGoneHistoryFolderEndsAtTheRootKeepingTheWayAhead)
{
    const QString a = Folder("A"), b = Folder("B");
    Start({a});
    Tree()->SelectPath(b);
    std::filesystem::remove_all(a.toStdString());
    Action("ActZurueck")->trigger();
    EXPECT_EQ(Tree()->Directory(), "/");
    EXPECT_EQ(Text("Panel4"), "MP3-Dateien in /");
    EXPECT_EQ(Back(), QStringList({a, "/"}));
    EXPECT_EQ(Forward(), QStringList({b}));
}

TEST_F(Navigation, RescanAndUpAddNoStrayHistory)
{
    Put("musik/unter/d.mp3", Song("Tief"));
    const QString music = QString::fromStdString(this->music);
    Start({music + "unter/"});
    const int scans = finished->count();
    Action("ActAktuallisiern")->trigger();
    EXPECT_EQ(finished->count(), scans + 1);
    EXPECT_EQ(Back().size(), 1);

    Action("ActAufwaerts")->trigger();
    EXPECT_EQ(Tree()->Directory(), music);
    EXPECT_EQ(Back(), QStringList({music + "unter/", music}));

    Tree()->SelectPath("/");
    const int atRoot = finished->count();
    Action("ActAufwaerts")->trigger();
    EXPECT_EQ(finished->count(), atRoot) << "nothing above the root";
    EXPECT_EQ(Tree()->Directory(), "/");

    // The subfolder switch rescans without a new history item.
    Tree()->SelectPath(music);
    const int before = Back().size();
    Action("ActUnterordner")->trigger();
    EXPECT_EQ(Back().size(), before);
    EXPECT_EQ(Model().rowCount(), 1);
}

TEST_F(Navigation, NextAndPreviousKeepTheFocusAndBeepAtTheEnds)
{
    Put("musik/a.mp3", Song("a"));
    Put("musik/b.mp3", Song("b"));
    Put("musik/c.mp3", Song("c"));
    Start({QString::fromStdString(music)});
    QApplication::setActiveWindow(window.get());
    Tree()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == Tree(); }, 1000));

    window->Commands().Refresh();
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), (std::vector<int> {1}));
    EXPECT_EQ(List()->currentIndex().row(), 1);
    EXPECT_EQ(QApplication::focusWidget(), Tree()) << "the focus stays where it was";
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), (std::vector<int> {2}));
    const int beeps = dialogs.beeps;
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(dialogs.beeps, beeps + 1) << "the last row";
    EXPECT_EQ(SelectedRows(), (std::vector<int> {2}));

    // From several selected rows, the first one counts and one row stays selected.
    List()->selectionModel()->select(Model().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(window.get(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(dialogs.beeps, beeps + 2) << "the first selected row is the first row";
    List()->selectionModel()->select(Model().index(0, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    List()->selectionModel()->select(Model().index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClick(window.get(), Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0}));

    // With nothing selected, next takes the first row and previous the last.
    List()->clearSelection();
    Action("ActNaechstes")->trigger();
    EXPECT_EQ(SelectedRows(), (std::vector<int> {0}));
    List()->clearSelection();
    Action("ActVorheriges")->trigger();
    EXPECT_EQ(SelectedRows(), (std::vector<int> {2}));
}

TEST_F(Navigation, F5ShowsFoldersMadeMeanwhileAndLeavesAGoneOne)
{
    Put("musik/a.mp3", Song("a"));
    std::filesystem::create_directories(music + "alt");
    Start({QString::fromStdString(music + "alt/")});
    QTreeWidgetItem* node = Tree()->currentItem();
    ASSERT_EQ(node->text(0), "alt");
    EXPECT_EQ(node->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
    std::filesystem::create_directories(music + "alt/neu");
    Trigger("ActAktuallisiern");
    WaitScans(2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator; }))
        << "a subfolder came";

    // The shown folder is gone: its parent is shown and scanned, once.
    std::filesystem::remove_all(music + "alt");
    Trigger("ActAktuallisiern");
    WaitScans(3);
    EXPECT_EQ(Tree()->Directory().toStdString(), music);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.mp3"}));
    QTest::qWait(50);
    EXPECT_EQ(finished->count(), 3);
}

// Dropped on the window: a folder is listed as if chosen in the tree; MP3
// files list their folder with them selected (other files and folders left
// out), or only select them when listed already. Rows drag out as their files.
TEST_F(Navigation, DropsListFoldersAndSelectFilesAndRowsDragOutAsFiles)
{
    const QString other = Folder("andere");
    Put("andere/d.mp3", Song("d"));
    Put("musik/a.mp3", Song("a"));
    Put("musik/b.mp3", Song("b"));
    Put("musik/notiz.txt", test::Fill(10));
    Put("musik/\xe4.mp3", Song("ae"));
    const QString musik = QString::fromStdString(music);
    Start({musik});
    const auto url = [](const QString& path) { return QUrl::fromLocalFile(path); };
    const auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        QDragEnterEvent enter(QPoint(5, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        EXPECT_NE(enter.dropAction(), Qt::MoveAction) << "a drop never moves a file";
        QDropEvent dropped(QPointF(5, 5), actions, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return dropped.isAccepted();
    };
    const auto selected = [&] {
        std::vector<std::string> names;
        for (const int row : SelectedRows())
            names.push_back(Model().Entry(row)->FileName);
        return names;
    };

    // A pending edit is stored before the list changes.
    QLineEdit* title = Child<QLineEdit>("ETitel");
    title->setFocus();
    title->selectAll();
    QTest::keyClicks(title, "Neu");
    const auto titleOnDisk = [](const std::string& path) {
        const test::Bytes bytes = test::ReadFile(path);
        const std::string field(bytes.end() - 125, bytes.end() - 95);
        return field.substr(0, field.find('\0'));
    };
    ASSERT_TRUE(drop({url(other)}));
    WaitScans(2);
    EXPECT_EQ(Tree()->Directory(), other);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"d.mp3"}));
    EXPECT_EQ(Back(), QStringList({musik, other}));
    EXPECT_EQ(titleOnDisk(music + "a.mp3"), "Neu");

    ASSERT_TRUE(drop({url(musik + "b.mp3"), url(musik + "notiz.txt"), url(other + "d.mp3"), url(musik + "a.mp3")}));
    WaitScans(3);
    EXPECT_EQ(Tree()->Directory(), musik);
    EXPECT_EQ(selected(), (std::vector<std::string> {"a.mp3", "b.mp3"})) << "the other folder's file left out";

    // Listed already: selected without a scan.
    ASSERT_TRUE(drop({url(musik + "a.mp3")}));
    QTest::qWait(20);
    EXPECT_EQ(finished->count(), 3);
    EXPECT_EQ(selected(), (std::vector<std::string> {"a.mp3"}));

    // Nothing left to list: refused, without a message.
    EXPECT_FALSE(drop({url(musik + "notiz.txt")}));
    EXPECT_FALSE(drop({QUrl("https://example.org/lied.mp3")}));
    EXPECT_TRUE(dialogs.calls.empty());

    // Out: the selected rows' files, to be copied or linked; a name that is no UTF-8 keeps its bytes.
    QItemSelection rows;
    for (const int row : {0, 2})
        rows.select(Model().index(row, 0), Model().index(row, Model().columnCount() - 1));
    List()->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    const QModelIndexList cells = List()->selectionModel()->selectedIndexes();
    std::unique_ptr<QMimeData> mime(Model().mimeData(cells));
    ASSERT_NE(mime, nullptr);
    const QByteArray folder = QByteArray::fromStdString(music).toPercentEncoding("/");
    EXPECT_EQ(mime->data("text/uri-list").toStdString(), ("file://" + folder + "a.mp3\r\nfile://" + folder + "%E4.mp3\r\n").toStdString());
    EXPECT_EQ(Model().supportedDragActions(), Qt::CopyAction | Qt::LinkAction);
    EXPECT_EQ(List()->dragDropMode(), QAbstractItemView::DragOnly);
}

TEST_F(Navigation, DisabledCommandsIgnoreTheirShortcuts)
{
    Start({QString::fromStdString(music)});
    QApplication::setActiveWindow(window.get());
    window->Commands().Refresh();
    EXPECT_FALSE(Action("ActNaechstes")->isEnabled()) << "no rows";
    const int beeps = dialogs.beeps;
    QTest::keyClick(window.get(), Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(dialogs.beeps, beeps);
    EXPECT_TRUE(shell.documents.isEmpty());
}

} // namespace
} // namespace km

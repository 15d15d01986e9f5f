#include "support/editfixture.h"

#include "model/settings.h"
#include "edit/template.h"
#include "files/filecommands.h"
#include "platform/registry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QTest>

#include <filesystem>

namespace km {
namespace {

namespace fs = std::filesystem;
using test::Song;
using Result = TDialogs::Result;

class FileCommands : public test::EditTest {
protected:
    void SetUp() override
    {
        EditTest::SetUp();
        // The trash lives in the test's own folder.
        m_home = qgetenv("HOME");
        m_data = qgetenv("XDG_DATA_HOME");
        qputenv("HOME", QByteArray::fromStdString(dir.Path()));
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
    }
    void TearDown() override
    {
        EditTest::TearDown();
        qputenv("HOME", m_home);
        m_data.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", m_data);
    }

    bool Exists(const std::string& relative) const { return fs::exists(dir.Path() + "/" + relative); }
    // A folder as the folder dialog gives it: without the trailing "/".
    QString Folder(const std::string& relative) const
    {
        fs::create_directories(dir.Path() + "/" + relative);
        return QString::fromStdString(dir.Path() + "/" + relative);
    }
    int Scans() const { return static_cast<int>(finished->count()); }
    TFileCommands& Files() const { return *window->findChild<TFileCommands*>(QStringLiteral("FileCommands")); }
    const TTemplate& Template() const { return *window->findChild<TTemplate*>(); }
    void MakeTemplate(const std::string& name)
    {
        SelectRows({RowOf(name)});
        Child<QCheckBox>("CBVorgabe")->click();
        ASSERT_NE(Template().TemplateEntry(), nullptr);
    }
    // Types a title into one file and stores it by selecting another: one undo record.
    void Retitle(const std::string& name, const QString& title, const std::string& next)
    {
        SelectRows({RowOf(name)});
        Type(Edit("ETitel"), title);
        SelectRows({RowOf(next)});
    }
    std::vector<std::string> UndoPaths() const
    {
        std::vector<std::string> paths;
        for (const TRueckgaengig& r : window->Saver().Undo().Records())
            paths.push_back(r.Path);
        return paths;
    }

private:
    QByteArray m_home;
    QByteArray m_data;
};

TEST_F(FileCommands, CopyIntoTheScannedFolderStoresFirstRenamesAndRescans)
{
    Put("musik/a.mp3", Song("alt"));
    Put("musik/b.mp3", Song("b"));
    Start({QString::fromStdString(music)});
    EXPECT_EQ(Action("ActShellCopy2")->text(), "Kopieren nach (leer)");
    EXPECT_FALSE(Action("ActShellCopy2")->isEnabled());
    EXPECT_EQ(Action("ActShelMove2")->text(), "Verschieben nach (leer)");

    SelectRows({RowOf("a.mp3")});
    Type(Edit("ETitel"), "neu"); // still pending when the command starts
    const QString musik = Folder("musik");
    dialogs.QueueFolder(musik);
    Trigger("ActShellCopy");
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].Caption, "Wählen sie das Ziellaufwerk oder den den Zielordner aus:");
    EXPECT_EQ(Scans(), 2);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a - Kopie.mp3", "a.mp3", "b.mp3"}));
    EXPECT_EQ(OnDisk("a - Kopie.mp3").Title, "neu") << "the edit was stored before the copy";

    Idle();
    EXPECT_EQ(Action("ActShellCopy2")->text(), "Kopieren nach \"" + musik + "\"");
    SelectRows({RowOf("a.mp3")});
    Trigger("ActShellCopy2");
    EXPECT_EQ(Scans(), 3);
    EXPECT_TRUE(Exists("musik/a - Kopie (2).mp3"));
    EXPECT_EQ(dialogs.calls.size(), 1u) << "no question: copies beside their files get names of their own";
}

TEST_F(FileCommands, CopyBelowTheScannedFolderRescansOnlyWithSubfolders)
{
    Put("musik/a.mp3", Song("a"));
    Put("musik/b.mp3", Song("b"));
    Start({QString::fromStdString(music)});
    SelectRows({RowOf("a.mp3")});
    dialogs.QueueFolder(Folder("musik/sub"));
    Trigger("ActShellCopy");
    EXPECT_TRUE(Exists("musik/sub/a.mp3"));
    EXPECT_EQ(Scans(), 1);
    EXPECT_EQ(Rows().size(), 2u);

    Trigger("ActUnterordner");
    WaitScans(2);
    SelectRows({RowOf("b.mp3")});
    Trigger("ActShellCopy2");
    EXPECT_EQ(Scans(), 3);
    EXPECT_EQ(Rows().size(), 4u);

    // Into the scanned folder itself, a clash with another file takes a copy name, unasked.
    for (int r = 0; r < Model().rowCount(); ++r)
        if (Model().Entry(r)->FullPath() == music + "sub/a.mp3")
            SelectRows({r});
    dialogs.QueueFolder(Folder("musik"));
    Trigger("ActShellCopy");
    EXPECT_TRUE(Exists("musik/a - Kopie.mp3"));
    EXPECT_TRUE(dialogs.TextsOf("Message").isEmpty());
    EXPECT_EQ(Scans(), 4);

    // A folder whose name only begins like the scanned one lies beside it.
    SelectRows({RowOf("b.mp3")});
    dialogs.QueueFolder(Folder("musikalisch"));
    Trigger("ActShellCopy");
    EXPECT_TRUE(Exists("musikalisch/b.mp3"));
    EXPECT_EQ(Scans(), 4);
}

TEST_F(FileCommands, MoveOutRemovesTheRowsRehomesUndoAndDropsTheTemplate)
{
    Put("musik/a.mp3", Song("a"));
    Put("musik/b.mp3", Song("b"));
    Put("musik/c.mp3", Song("c"));
    Put("anders/c.mp3", Song("fremd"));
    Start({QString::fromStdString(music)});
    Activate();
    Retitle("a.mp3", "neu", "b.mp3");
    Retitle("b.mp3", "neu", "c.mp3");
    MakeTemplate("a.mp3");

    SelectRows({RowOf("a.mp3"), RowOf("c.mp3")});
    dialogs.QueueFolder(Folder("anders"));
    dialogs.QueueResult(Result::No); // c clashes: stays
    Trigger("ActShelMove");
    EXPECT_EQ(Scans(), 1);
    EXPECT_EQ(Rows(), (std::vector<std::string> {"b.mp3", "c.mp3"}));
    EXPECT_TRUE(Exists("anders/a.mp3"));
    EXPECT_EQ(OnDisk("c.mp3").Title, "c");
    EXPECT_EQ(UndoPaths(), (std::vector<std::string> {dir.Path() + "/anders/a.mp3", music + "b.mp3"}));
    EXPECT_EQ(Template().TemplateEntry(), nullptr);
    Idle();
    EXPECT_EQ(Action("ActShelMove2")->text(), QString::fromStdString("Verschieben nach \"" + dir.Path() + "/anders\""));
}

TEST_F(FileCommands, DeleteToTheTrashOrForGoodAndCancelKeepsEveryRow)
{
    Put("musik/a.mp3", Song("a"));
    Put("musik/b.mp3", Song("b"));
    Put("musik/c.mp3", Song("c"));
    Start({QString::fromStdString(music)});
    Activate();
    Retitle("a.mp3", "eins", "c.mp3");
    Retitle("b.mp3", "eins", "c.mp3");
    Retitle("a.mp3", "zwei", "c.mp3");
    MakeTemplate("b.mp3");

    SelectRows({0, 1, 2});
    dialogs.QueueResult(Result::No);
    Trigger("ActShellDelete");
    EXPECT_EQ(dialogs.calls.back().Text, "Wollen Sie die 3 markierten Dateien wirklich in den Papierkorb verschieben?");
    EXPECT_EQ(Rows().size(), 3u);

    bool shift = false;
    Files().ShiftHeld = [&shift] { return shift; };
    SelectRows({RowOf("a.mp3")});
    dialogs.QueueResult(Result::Yes);
    Trigger("ActShellDelete");
    EXPECT_TRUE(Exists("data/Trash/files/a.mp3"));
    EXPECT_EQ(Rows(), (std::vector<std::string> {"b.mp3", "c.mp3"}));
    EXPECT_EQ(UndoPaths(), std::vector<std::string> {music + "b.mp3"}) << "both records of a go, wherever they stood";

    shift = true;
    SelectRows({RowOf("b.mp3")});
    dialogs.QueueResult(Result::Yes);
    Trigger("ActShellDelete");
    EXPECT_TRUE(dialogs.calls.back().Text.contains("endgültig löschen"));
    EXPECT_FALSE(Exists("musik/b.mp3"));
    EXPECT_FALSE(Exists("data/Trash/files/b.mp3"));
    EXPECT_EQ(Rows(), std::vector<std::string> {"c.mp3"});
    EXPECT_TRUE(UndoPaths().empty());
    EXPECT_EQ(Template().TemplateEntry(), nullptr);
    EXPECT_EQ(Scans(), 1);
}

// The progress window never covers a question, however long the user reads.
TEST_F(FileCommands, AQuestionOpenForLongStaysInFrontOfTheProgress)
{
    // The questions here are scripted: any window on screen is the progress.
    const auto progressShown = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && qobject_cast<QDialog*>(w))
                return true;
        return false;
    };
    // The first file takes long enough for the progress to show; the second
    // fails. A trash of the test's own: the desktop's is set once per process.
    struct TSlowLayer : TFileOpsLayer {
        std::function<bool()> Shown;
        std::string Trash;
        bool shownAtB = false;
        bool MoveToTrash(const std::string& path) override
        {
            if (path.ends_with("a.mp3"))
                QTest::qSleep(700);
            if (!path.ends_with("b.mp3"))
                return RenameNoReplace(path, Trash + path.substr(path.rfind('/'))) == 0;
            shownAtB = Shown();
            return false;
        }
    } layer;
    layer.Shown = progressShown;
    layer.Trash = Folder("korb").toStdString();
    Put("musik/a.mp3", Song("a"));
    Put("musik/b.mp3", Song("b"));
    Put("musik/c.mp3", Song("c"));
    Start({QString::fromStdString(music)});
    Files().SetFileLayer(layer);
    // The first question is read for longer than any timer of a progress window.
    std::vector<bool> shownWhileAsked;
    dialogs.WhileAsked = [&] {
        shownWhileAsked.push_back(progressShown());
        QTest::qWait(shownWhileAsked.size() == 1 ? 4500 : 300);
        shownWhileAsked.push_back(progressShown());
    };
    SelectRows({0, 1, 2});
    dialogs.QueueResult(Result::Yes); // delete them
    dialogs.QueueResult(Result::Yes); // go on after b
    Trigger("ActShellDelete");
    EXPECT_TRUE(layer.shownAtB) << "a long operation shows its progress";
    EXPECT_EQ(shownWhileAsked, std::vector<bool>(4, false));
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_TRUE(dialogs.calls[1].Text.endsWith("Mit den übrigen Dateien fortfahren?"));
    EXPECT_TRUE(Exists("korb/a.mp3"));
    EXPECT_TRUE(Exists("musik/b.mp3"));
    EXPECT_TRUE(Exists("korb/c.mp3")) << "the answer was heard";
    EXPECT_FALSE(progressShown());
    // Rows and counts follow without a scan.
    EXPECT_EQ(Rows(), std::vector<std::string> {"b.mp3"});
    EXPECT_EQ(Text("StatusPanel0"), "1 Dateien gesamt");
    EXPECT_EQ(Scans(), 1);
}

TEST_F(FileCommands, RepeatCommandsFollowTheStoredDestinationAndTheSelection)
{
    TSettings s = DefaultSettings();
    s.LastDir = QString::fromStdString(music);
    s.MoveTo = QStringLiteral("/ziel & mehr");
    TRegistry registry;
    ASSERT_TRUE(WriteSettings(registry, s));
    Put("musik/a.mp3", Song("a"));
    Start({});
    Idle();
    QAction* move2 = Action("ActShelMove2");
    EXPECT_TRUE(move2->isEnabled());
    EXPECT_EQ(move2->text(), "Verschieben nach \"/ziel && mehr\"") << "the path's \"&\" is no access key";
    EXPECT_FALSE(Action("ActShellCopy2")->isEnabled());

    List()->selectionModel()->clearSelection();
    Idle();
    for (const char* name : {"ActShellCopy", "ActShelMove", "ActShelMove2", "ActShellDelete", "ActDateioperationen"})
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
}

} // namespace
} // namespace km

#include "support/editfixture.h"

#include "export/exportcommands.h"

#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QCheckBox>

#include <filesystem>

namespace km {
namespace {

using test::Song;
using Result = TDialogs::Result;

class ExportCommands : public test::EditTest {
protected:
    void ThreeSongs()
    {
        Put("musik/b.mp3", Song("Zwei", "Band"));
        Put("musik/a.mp3", Song("<Eins>", "Band"));
        Put("musik/unter/c.mp3", Song("", ""));
    }
    std::string Written(const std::string& path) const
    {
        const test::Bytes bytes = test::ReadFile(path);
        return std::string(bytes.begin(), bytes.end());
    }
    // Answers the playlist dialog.
    void ChoosePlaylist(bool allListed, bool extended)
    {
        WhenDialogShows([allListed, extended](QDialog* form) {
            EXPECT_EQ(form->windowTitle(), "Playlist erstellen");
            EXPECT_TRUE(form->findChild<QRadioButton*>("RadioButton1")->isChecked()) << "the selected rows first";
            EXPECT_TRUE(form->findChild<QCheckBox*>("CheckBox1")->isChecked()) << "the extended form first";
            form->findChild<QRadioButton*>(allListed ? "RadioButton2" : "RadioButton1")->setChecked(true);
            form->findChild<QCheckBox*>("CheckBox1")->setChecked(extended);
            form->findChild<QPushButton*>("Button1")->click();
        });
    }
};

TEST_F(ExportCommands, PageFollowsTheListAndAsksBeforeReplacing)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    window->findChild<TExportCommands*>()->Today = [] { return QDate(2026, 12, 8); };
    Trigger("SortTitel"); // by title: "", "<Eins>", "Zwei"
    const std::string page = dir.Path() + "/liste";
    dialogs.QueuePath(QString::fromStdString(page));
    Trigger("ActExportHTML");
    const std::string text = Written(page + ".htm");
    EXPECT_NE(text.find("\r\nerstellt am 08.12.26\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nVerzeichnis: " + music + "\r\n"), std::string::npos);
    const std::size_t eins = text.find("<td>a.mp3</td>\r\n<td>&lt;Eins&gt;</td>");
    const std::size_t zwei = text.find("<td>b.mp3</td>");
    EXPECT_NE(eins, std::string::npos);
    EXPECT_LT(eins, zwei) << "rows in the order shown";

    // The name is offered again; an existing file is replaced only after Yes.
    dialogs.QueuePath(QString::fromStdString(page + ".htm"));
    dialogs.QueueResult(Result::No);
    Trigger("SortAbsteigend");
    Trigger("ActExportHTML");
    ASSERT_EQ(dialogs.calls.size(), 3u);
    EXPECT_EQ(dialogs.calls[1].Value, QString::fromStdString(page + ".htm"));
    EXPECT_EQ(dialogs.calls[2].Text,
        QString::fromUtf8("Die Datei \"liste.htm\" existsiert bereits.\rWollen Sie diese überschreiben?"));
    EXPECT_EQ(dialogs.calls[2].DefaultButton, TDialogs::No) << "replacing is never the default";
    EXPECT_EQ(Written(page + ".htm"), text);
    dialogs.QueuePath(QString::fromStdString(page + ".htm"));
    dialogs.QueueResult(Result::Yes);
    Trigger("ActExportHTML");
    EXPECT_GT(Written(page + ".htm").find("<td>b.mp3</td>"), 0u);
    EXPECT_LT(Written(page + ".htm").find("<td>b.mp3</td>"), Written(page + ".htm").find("<td>a.mp3</td>"));
}

TEST_F(ExportCommands, PlaylistOfSelectedRowsRelativeInTheShownFolder)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    Trigger("ActUnterordner");
    WaitScans(2);
    SelectRows({RowOf("b.mp3"), RowOf("c.mp3")});
    ChoosePlaylist(false, true);
    dialogs.QueuePath(QString::fromStdString(music + "liste"));
    Trigger("ActExportPlaylist");
    EXPECT_EQ(Written(music + "liste.m3u"),
        "#EXTM3U\r\n#EXTINF:0,Band - Zwei\r\nb.mp3\r\n#EXTINF:0,c\r\nunter/c.mp3\r\n");

    // Elsewhere the paths are absolute; an existing playlist is kept on No.
    ChoosePlaylist(true, false);
    dialogs.QueuePath(QString::fromStdString(dir.Path() + "/p.m3u"));
    Trigger("ActExportPlaylist");
    EXPECT_EQ(Written(dir.Path() + "/p.m3u"), music + "a.mp3\r\n" + music + "b.mp3\r\n" + music + "unter/c.mp3\r\n");
    EXPECT_EQ(dialogs.calls.back().Value, QString::fromStdString(music)) << "the folder shown, without a name";
    ChoosePlaylist(false, false);
    dialogs.QueuePath(QString::fromStdString(dir.Path() + "/p.m3u"));
    dialogs.QueueResult(Result::No);
    Trigger("ActExportPlaylist");
    EXPECT_EQ(dialogs.calls.back().Text,
        QString::fromUtf8("Die Playlist mit dem Namen \"p.m3u\" existiert bereits.\n\rWollen Sie diese überschreiben?"));
    EXPECT_EQ(dialogs.calls.back().DefaultButton, TDialogs::No);
    EXPECT_NE(Written(dir.Path() + "/p.m3u").find("a.mp3"), std::string::npos);

    // Abbrechen in the choice ends it before the save dialog.
    const std::size_t calls = dialogs.calls.size();
    WhenDialogShows([](QDialog* form) { form->findChild<QPushButton*>("Button2")->click(); });
    Trigger("ActExportPlaylist");
    EXPECT_EQ(dialogs.calls.size(), calls);
}

TEST_F(ExportCommands, SpreadsheetOpensWithTheDesktopOrSaysItCannot)
{
    ThreeSongs();
    Start({QString::fromStdString(music)});
    Trigger("ActExportExcel");
    ASSERT_EQ(shell.documents.size(), 1);
    const QString workbook = shell.documents[0];
    EXPECT_TRUE(workbook.endsWith(".xlsx"));
    EXPECT_GT(QFile(workbook).size(), 0);
    EXPECT_TRUE(dialogs.calls.empty());
    std::filesystem::remove_all(std::filesystem::path(workbook.toStdString()).parent_path());

    // Without a program the workbook stays, and the message says where.
    shell.opens = false;
    Trigger("ActExportExcel");
    ASSERT_EQ(dialogs.calls.size(), 1u);
    const QString kept = shell.documents[1];
    EXPECT_EQ(dialogs.calls[0].Text,
        "Microsoft Excel konnte nicht gestartet werden.\rDie Arbeitsmappe wurde unter \"" + kept + "\" gespeichert.");
    EXPECT_GT(QFile(kept).size(), 0);
    std::filesystem::remove_all(std::filesystem::path(kept.toStdString()).parent_path());

    // A workbook that cannot be written is named nowhere: the temporary folder is a file.
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QByteArray::fromStdString(music + "a.mp3"));
    Trigger("ActExportExcel");
    if (tmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmp);
    EXPECT_EQ(shell.documents.size(), 2) << "nothing to open";
    ASSERT_EQ(dialogs.calls.size(), 2u);
    EXPECT_EQ(dialogs.calls[1].Text, "Microsoft Excel konnte nicht gestartet werden.");
}

} // namespace
} // namespace km

#include "support/editfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>

#include <filesystem>

namespace km {
namespace {

using test::Bytes;
using test::Cat;
using test::Fill;

const Bytes kAudio = Cat({test::Header(), Fill(4000, 0x11)});

class Template : public test::EditTest {
protected:
    void Songs()
    {
        Put("musik/a.mp3", Cat({kAudio, test::V1("Vorlage", "Band", "Platte", "1999", "Notiz", 7, 200)}));
        Put("musik/b.mp3", Cat({kAudio, test::V1("B", "Andere", "", "2001", "", 2, 17)}));
        Put("musik/c.mp3", Cat({kAudio, test::V1("C", "Chor", "", "", "", 3, 17)}));
    }
    QCheckBox* Box() const { return Child<QCheckBox>("CBVorgabe"); }
};

TEST_F(Template, MarkedRowLendsItsWholeTag)
{
    Songs();
    Start({QString::fromStdString(music)});
    Activate();
    Idle();
    EXPECT_FALSE(Action("ActAllesUebernehmen")->isEnabled()) << "no template yet";
    ASSERT_TRUE(Box()->isEnabled());
    Box()->click();
    EXPECT_EQ(Model().RowIcon(0), TListModel::TemplateIcon);

    // B gets A's complete tag, title and the unnamed genre byte included, with one undo record.
    SelectRows({1});
    EXPECT_FALSE(Box()->isChecked());
    Edit("ETitel")->setFocus();
    Idle();
    QTest::keyClick(Edit("ETitel"), Qt::Key_U, Qt::ControlModifier);
    EXPECT_EQ(Edit("ETitel")->text(), "Vorlage");
    // A line edit claims some command keys for itself (Ctrl+U too, on X11):
    // in the fields they go to the commands; other keys stay the field's.
    for (const QKeyCombination keys : {Qt::CTRL | Qt::Key_A, Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_U}) {
        QKeyEvent claim(QEvent::ShortcutOverride, keys.key(), keys.keyboardModifiers());
        QApplication::sendEvent(Edit("ETitel"), &claim);
        EXPECT_FALSE(claim.isAccepted()) << keys.toCombined();
    }
    QKeyEvent word(QEvent::ShortcutOverride, Qt::Key_Left, Qt::ControlModifier);
    QApplication::sendEvent(Edit("ETitel"), &word);
    EXPECT_TRUE(word.isAccepted()) << "no command has Ctrl+Left";
    SelectRows({2});
    const TID3v1Infos b = OnDisk("b.mp3");
    EXPECT_EQ(b.Title, "Vorlage");
    EXPECT_EQ(b.Artist, "Band");
    EXPECT_EQ(b.Comment, "Notiz");
    EXPECT_EQ(b.Track, 7);
    EXPECT_EQ(b.GenreIndex, 200);
    EXPECT_EQ(OnDisk("a.mp3").Title, "Vorlage");
    EXPECT_EQ(window->Saver().Undo().Count(), 1u);

    // A on itself: nothing to write.
    SelectRows({0});
    EXPECT_TRUE(Box()->isChecked());
    Trigger("ActAllesUebernehmen");
    SelectRows({2});
    EXPECT_EQ(window->Saver().Undo().Count(), 1u);

    // New columns keep the rows, and so the template.
    Trigger("ActSpalteOrdner");
    Idle();
    EXPECT_EQ(Model().RowIcon(0), TListModel::TemplateIcon);
    EXPECT_TRUE(Action("ActAllesUebernehmen")->isEnabled());

    // The box clicked again on the template row clears it.
    SelectRows({0});
    Box()->click();
    EXPECT_EQ(Model().RowIcon(0), TListModel::FileIcon);
    Idle();
    EXPECT_FALSE(Action("ActAllesUebernehmen")->isEnabled());
}

TEST_F(Template, OneFieldClearingAndRescan)
{
    Songs();
    Start({QString::fromStdString(music)});
    Activate();
    Box()->click();

    // Differing titles: the template's title goes into both; the genre box
    // shows "(keine)" for the unnamed byte, which stores as 255.
    SelectRows({1, 2});
    Edit("ETitel")->setFocus();
    Idle();
    Trigger("ActFeldUebernehmen");
    auto* genre = Child<QComboBox>("EMusikrichtung");
    genre->setFocus();
    Idle();
    Trigger("ActFeldUebernehmen");
    EXPECT_EQ(genre->currentIndex(), 0);
    SelectRows({0});
    EXPECT_EQ(OnDisk("b.mp3").Title, "Vorlage");
    EXPECT_EQ(OnDisk("c.mp3").Title, "Vorlage");
    EXPECT_EQ(OnDisk("b.mp3").Artist, "Andere") << "only the fields taken";
    EXPECT_EQ(OnDisk("c.mp3").GenreIndex, 255);

    // With the focus in the list there is no field to take.
    List()->setFocus();
    Idle();
    EXPECT_FALSE(Action("ActFeldUebernehmen")->isEnabled());

    // Ctrl+L empties every field: the block goes.
    SelectRows({1});
    Trigger("ActAlleFelderloeschen");
    SelectRows({2});
    EXPECT_EQ(std::filesystem::file_size(music + "b.mp3"), kAudio.size());

    Trigger("ActAktuallisiern");
    WaitScans(2);
    SelectRows({0});
    EXPECT_FALSE(Box()->isChecked()) << "a scan drops the template";
    EXPECT_FALSE(Action("ActAllesUebernehmen")->isEnabled());
    EXPECT_EQ(Model().RowIcon(0), TListModel::FileIcon);
}

} // namespace
} // namespace km

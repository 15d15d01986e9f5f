#include "support/editfixture.h"

#include <QAction>

#include <fstream>

namespace km {
namespace {

using test::Song;

class CaseCommands : public test::EditTest {};

TEST_F(CaseCommands, SeveralFilesAreRewrittenAndUnchangedOnesLeftAlone)
{
    Put("musik/a.mp3", Song("don't stop", "ac/dc", "live", "1999", 1));
    const std::string b = Put("musik/b.mp3", Song("Schon Gut", "Band", "Platte", "2001", 2));
    Put("musik/c.mp3", Song("GRAU", "", "", "", 3));
    Start({QString::fromStdString(music)});
    const test::Bytes before = test::ReadFile(b);
    Type(Edit("EJahr"), "2020"); // pending in the panel for a.mp3
    SelectRows({0, 1, 2});
    Idle();
    ASSERT_TRUE(Action("ActGrossKlein")->isEnabled());
    Trigger("ActGrossKlein_GrossKlein");

    EXPECT_EQ(OnDisk("a.mp3").Title, "Don't Stop");
    EXPECT_EQ(OnDisk("a.mp3").Artist, "Ac/Dc");
    EXPECT_EQ(OnDisk("a.mp3").Year, "2020") << "the pending edit was stored first";
    EXPECT_EQ(OnDisk("c.mp3").Title, "Grau");
    EXPECT_EQ(test::ReadFile(b), before) << "already in that case";
    EXPECT_EQ(window->Saver().Undo().Count(), 3u) << "the year, then a and c";
    EXPECT_EQ(Edit("ETitel")->text(), "") << "the titles differ now";
    // Nothing of the panel's is stored afterwards.
    SelectRows({1});
    EXPECT_EQ(window->Saver().Undo().Count(), 3u);
    EXPECT_EQ(OnDisk("a.mp3").Track, 1);
}

TEST_F(CaseCommands, OneFileChangesThePanelOnly)
{
    Put("musik/a.mp3", Song("gruen und blau", "die band", "", "1999", 1));
    Put("musik/b.mp3", Song("B"));
    Start({QString::fromStdString(music)});
    Trigger("ActGrossKlein_GrossGross");
    EXPECT_EQ(Edit("ETitel")->text(), "GRUEN UND BLAU");
    EXPECT_EQ(Edit("ESaenger")->text(), "DIE BAND");
    EXPECT_TRUE(Edit("ETitel")->isModified());
    EXPECT_FALSE(Edit("EAlbum")->isModified()) << "an empty text stays as it was";
    EXPECT_EQ(OnDisk("a.mp3").Title, "gruen und blau") << "not written yet";
    SelectRows({1});
    EXPECT_EQ(OnDisk("a.mp3").Title, "GRUEN UND BLAU");

    List()->clearSelection();
    Idle();
    EXPECT_FALSE(Action("ActGrossKlein_KleinKlein")->isEnabled());
    const int beeps = dialogs.beeps;
    Action("ActGrossKlein_KleinKlein")->setEnabled(true);
    Action("ActGrossKlein_KleinKlein")->trigger();
    EXPECT_EQ(dialogs.beeps, beeps + 1);
}

} // namespace
} // namespace km

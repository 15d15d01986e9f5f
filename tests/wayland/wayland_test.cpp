// The window under a Wayland compositor, run beside a headless weston by
// run.sh: it shows with its menus, a dialog, the floating folder bar and the
// splash, and stores again the position it read, which it cannot know there.
#include "app/startform.h"
#include "help/form4.h"
#include "model/settings.h"
#include "platform/registry.h"
#include "platform/soon.h"
#include "support/windowfixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace km {
namespace {

class Wayland : public test::WindowTest {};

TEST_F(Wayland, TheWindowItsMenusDialogsPanelsAndSplashShow)
{
    ASSERT_EQ(QGuiApplication::platformName(), "wayland");
    {
        TRegistry registry;
        TSettings stored = DefaultSettings();
        TWindowPlacement placement;
        placement.SetNormalRect(QRect(123, 45, 700, 500));
        stored.Placement = placement;
        WriteSettings(registry, stored);
    }
    Put("musik/a.mp3", test::Song("a"));
    Start({QString::fromStdString(music)});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_EQ(window->size(), QSize(700, 500)) << "the size stored";
    EXPECT_EQ(Rows(), (std::vector<std::string> {"a.mp3"}));

    QMenu* menu = window->menuBar()->actions().first()->menu();
    ASSERT_NE(menu, nullptr);
    menu->popup(window->mapToGlobal(QPoint(20, 20)));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(menu));
    menu->hide();

    TForm4 about(shell);
    about.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&about));
    about.close();

    QApplication::setActiveWindow(window.get());
    Trigger("ActOrdnerAusblenden");
    Trigger("ActOrdnerAnzeigen2");
    EXPECT_EQ(window->FolderBarState(), TForm1::TPlacement::Floating);
    EXPECT_TRUE(Child<QWidget>("Panel1")->isVisible());

    TStartForm splash;
    splash.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&splash));
    splash.close();

    window->resize(640, 480);
    EXPECT_TRUE(window->close());
    TRegistry registry;
    TSettings stored = DefaultSettings();
    ASSERT_TRUE(ReadSettings(registry, stored));
    ASSERT_TRUE(stored.Placement);
    EXPECT_EQ(stored.Placement->NormalRect(), QRect(123, 45, 640, 480)) << "the position read, the size of now";
}

} // namespace
} // namespace km

int main(int argc, char** argv)
{
    ::setenv("LANG", "de_DE.UTF-8", 1);
    ::setenv("TZ", "UTC", 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Klangmappe"));
    km::SetQuickWait(std::chrono::seconds(10));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

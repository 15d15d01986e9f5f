#include "ui/commandtable.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QWidget>

#include <gtest/gtest.h>

namespace km {
namespace {

TEST(CommandTable, AnyClassRegistersACommandAndAnUnhandledOneStaysDisabled)
{
    QWidget owner;
    const TActionDef defs[] = {{"ActProbe", "Test", "&Probe", "", {}}};
    TCommandTable table(&owner, defs);
    QMenu menu;
    table.Fill(&menu, {"ActProbe"});
    QAction* probe = table.Action(QStringLiteral("ActProbe"));
    table.Refresh();
    EXPECT_FALSE(probe->isEnabled()) << "nobody handles it yet";
    probe->setEnabled(true);
    table.Refresh();
    EXPECT_FALSE(probe->isEnabled()) << "an update cannot bring an unhandled command to life";

    // A handler and an update rule from any class.
    int runs = 0;
    bool offered = false;
    table.On(QStringLiteral("ActProbe"), [&] { ++runs; });
    table.OnUpdate(QStringLiteral("ActProbe"), [&] { probe->setEnabled(offered); });
    table.Refresh();
    EXPECT_FALSE(probe->isEnabled());
    offered = true;
    emit menu.aboutToShow(); // a menu refreshes before it opens
    EXPECT_TRUE(probe->isEnabled());
    probe->trigger();
    EXPECT_EQ(runs, 1);
}

// A name nobody defined is a programming slip: it stops the program at once,
// in every build, naming the command.
TEST(CommandTableDeathTest, AnUnknownNameStopsTheProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto table = [] {
        static QWidget owner;
        static const TActionDef defs[] = {{"ActProbe", "Test", "&Probe", "", {}}};
        static TCommandTable commands(&owner, defs);
        return &commands;
    };
    EXPECT_DEATH(table()->On(QStringLiteral("ActGibtsNicht"), [] {}), "On: no command is named ActGibtsNicht");
    EXPECT_DEATH(table()->OnUpdate(QStringLiteral("ActGibtsNicht"), [] {}), "OnUpdate: no command is named ActGibtsNicht");
    EXPECT_DEATH(
        {
            QMenu menu;
            table()->Fill(&menu, {"ActProbe", "ActGibtsNicht"});
        },
        "Fill: no command is named ActGibtsNicht");
    EXPECT_DEATH(
        {
            QToolBar bar;
            table()->Fill(&bar, {"ActGibtsNicht"});
        },
        "Fill: no command is named ActGibtsNicht");
    const TActionDef again[] = {{"ActProbe", "Test", "&Noch einmal", "", {}}};
    EXPECT_DEATH(table()->Define(again), "ActProbe is defined twice");
}

} // namespace
} // namespace km

// The console's tray icon through start-up, reloads and the ways out.
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

#include <filesystem>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;

namespace {

class ConsoleTrayTest : public ConsoleTest {};

TEST_F(ConsoleTrayTest, OneIconThroughRestartsAndAFirstRunReload)
{
    writeConfig({.initTime = "2"});
    start();
    EXPECT_EQ(sim.tray.icons, 1);
    EXPECT_EQ(sim.tray.tip, "torv");
    EXPECT_EQ(sim.tray.icon, 42u);
    form->cmdRestart_Click();
    // A reload that finds no settings file takes the first-run path, which sets
    // the tray up again: still the one icon.
    std::filesystem::remove(dir.file("config.ini"));
    editorSavesAndRestarts({.initTime = "2"});
    form->cmdRestart_Click();
    EXPECT_EQ(sim.dialogs.editorOpenings, 1);
    EXPECT_EQ(sim.tray.adds, 1);
    EXPECT_EQ(sim.tray.icons, 1);
}

TEST_F(ConsoleTrayTest, RightClickMenuExitDuringTheCountdownRemovesTheIconAndEnds)
{
    writeConfig({.initTime = "30"});
    sim.tray.menuAnswers.push_back(2);
    sim.events.at(5000, [&] { sim.tray.notify(516); });
    EXPECT_TRUE(start());
    EXPECT_THAT(sim.tray.lastMenu, ElementsAre("&torv", "-", "&Exit"));
    EXPECT_EQ(sim.tray.icons, 0);
    EXPECT_EQ(sim.program.ended, 1);
    EXPECT_EQ(sim.events.now(), 5000);
}

TEST_F(ConsoleTrayTest, HideButtonAndTheMenuBringTheWindowBack)
{
    writeConfig({.initTime = "1"});
    start();
    form->cmdTray_Click();
    EXPECT_FALSE(sim.view.visible);
    sim.tray.notify(514); // a left click opens nothing
    EXPECT_EQ(sim.tray.menusShown, 0);
    sim.tray.menuAnswers.push_back(0);
    sim.tray.notify(516);
    EXPECT_TRUE(sim.view.visible);
    EXPECT_TRUE(sim.view.focused);
}

TEST_F(ConsoleTrayTest, EveryWayOutTakesTheIconAway)
{
    writeConfig({.launchOpt = "EXIT", .initTime = "1"});
    EXPECT_TRUE(start());
    EXPECT_EQ(sim.tray.icons, 0);
}

TEST_F(ConsoleTrayTest, WithoutATrayTheHideButtonMinimises)
{
    sim.tray.hasTray = false;
    writeConfig({.initTime = "1"});
    start();
    form->cmdTray_Click();
    EXPECT_TRUE(sim.view.visible);
    EXPECT_TRUE(sim.view.minimized);
}

} // namespace

// The CPU chart as the console drives it: the component made once, the toggle,
// the ticks inside a running sequence.
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

using namespace torv;
using namespace torv::sim;

namespace {

class ConsoleChartTest : public ConsoleTest {};

TEST_F(ConsoleChartTest, ComponentIsMadeOnceAndTheHistorySurvivesAReload)
{
    writeConfig({.initTime = "3", .checkTime = "1"});
    sim.cpu.samples = {10, 20, 30, 40, 50};
    start();
    form->Chart_UserSet(true);
    sim.events.runFor(6000); // three ticks: 10, 20, 30
    EXPECT_EQ(sim.view.scopeView.value, "30");
    form->cmdRestart_Click();
    EXPECT_EQ(sim.cpu.created, 1);
    // Restart disabled the toggle but left its value: the chart went on ticking
    // during the reloaded countdown, and the history kept its old samples.
    // Slot 3 is the newest sample, each later slot one tick older.
    EXPECT_EQ(form->chart().CpuValue, 40);
    EXPECT_EQ(form->chart().CpuHist[3], 40);
    EXPECT_EQ(form->chart().CpuHist[4], 30);
    EXPECT_EQ(form->chart().CpuHist[6], 10);
    ASSERT_EQ(sim.view.scopeView.lines.size(), 33u);
    EXPECT_TRUE(sim.view.isEnabled(Control::Chart));
}

TEST_F(ConsoleChartTest, NoComponentMeansNoChartButTheConsoleRunsOn)
{
    sim.cpu.fails = true;
    writeConfig({.initTime = "2", .tasks = {{"A", "a"}}});
    EXPECT_FALSE(start());
    EXPECT_FALSE(form->state().CpuMonCreated);
    EXPECT_FALSE(sim.view.isEnabled(Control::Chart));
    EXPECT_EQ(sim.launcher.launches.size(), 1u);
    form->Chart_UserSet(true);
    sim.events.runFor(10000);
    EXPECT_EQ(sim.view.scopeView.value, "000");
}

TEST_F(ConsoleChartTest, ChartOffTakesNoSamples)
{
    writeConfig({.initTime = "1"});
    sim.cpu.samples = {70};
    start();
    sim.events.runFor(20000);
    EXPECT_EQ(sim.view.scopeView.value, "000");
    EXPECT_TRUE(sim.view.scopeView.lines.empty());
}

TEST_F(ConsoleChartTest, ChartKeepsSamplingDuringARestartClickedInsideItsTick)
{
    writeConfig({.initTime = "1", .checkTime = "1"});
    for (int i = 1; i <= 40; ++i)
        sim.cpu.samples.push_back(i);
    start();
    form->Chart_UserSet(true);
    writeConfig({.initTime = "11", .checkTime = "1"}); // the Restart counts down 10 s
    // A click due at the chart's next tick and handled after it: were the tick
    // to process events, the Restart would run inside it.
    const Ms t0 = sim.events.now();
    const Ms nextTick = (t0 / 2000 + 1) * 2000;
    int atClick = -1, later = -1;
    bool clicked = false;
    auto click = sim.events.createTimer(static_cast<int>(nextTick - t0), true, [&] {
        if (clicked)
            return;
        clicked = true;
        atClick = form->chart().CpuValue;
        sim.events.after(9000, [&] { later = form->chart().CpuValue; });
        form->cmdRestart_Click();
    });
    sim.events.runFor(30000);
    ASSERT_TRUE(clicked);
    EXPECT_EQ(sim.events.now() - t0, 30000); // the Restart's sequence is over
    // Four ticks in the 9 s after the click, each with a new sample.
    EXPECT_EQ(later - atClick, 4);
}

} // namespace

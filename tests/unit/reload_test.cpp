// Reloads inside a running sequence: the settings editor's "Ok+&Restart", the
// Restart button, and the settings button pausing the countdown.
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

#include <utility>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;
using ::testing::StartsWith;

namespace {

class ReloadTest : public ConsoleTest {
protected:
    std::vector<std::pair<Ms, std::string>> cutToTwoDuringATaskWait(Ms reloadAt);
    long count(const std::string& line) const
    {
        auto lines = logLines();
        return std::count(lines.begin(), lines.end(), line);
    }
};

TEST_F(ReloadTest, EditorReloadDuringTheCountdownRunsOneSequenceFromTheNewTime)
{
    writeConfig({.tasks = {{"Old", "old"}}});
    editorSavesAndRestarts({.initTime = "5", .checkTime = "3", .tasks = {{"New B", "b"}, {"New C", "c"}}});
    sim.events.at(10000, [&] { form->cmdConfig_Click(); });
    EXPECT_FALSE(start());

    // Timer1 starts afresh at 10 s: 5 -> 1 takes 4 s; then 2 s before each task.
    EXPECT_EQ(launches(), (std::vector<std::pair<Ms, std::string>>{{16000, "b"}, {18000, "c"}}));
    EXPECT_THAT(logLines(), ElementsAre("Seuquence Init", StartsWith("Starting Application Execution:"), "New B",
                                        "New C", "Enabling Command Interface"));
    EXPECT_THAT(sim.sound.names(),
                ElementsAre("START.wav", "START.wav", "done.wav", "complete.wav", "complete.wav", "finished.wav"));
    EXPECT_FALSE(form->state().ReloadInSequence);
    EXPECT_FALSE(form->state().SequenceRunning);
    // The countdown restarted from the new time.
    auto history = statuses();
    auto at10 = std::find_if(history.begin(), history.end(), [](auto& s) { return s.first == 10000; });
    ASSERT_NE(at10, history.end());
    EXPECT_EQ(at10->second, "Seconds Until Execution Start:5");
}

TEST_F(ReloadTest, EditorReloadWithAShortTimeRunsTheNewSequenceInsideTheWait)
{
    writeConfig({.tasks = {{"Old", "old"}}});
    editorSavesAndRestarts({.initTime = "1", .checkTime = "3", .tasks = {{"New", "new"}}});
    sim.events.at(10000, [&] { form->cmdConfig_Click(); });
    start();

    // The nested run announces at once and launches 2 s later; the run it
    // interrupted stands down instead of announcing a second time.
    EXPECT_EQ(launches(), (std::vector<std::pair<Ms, std::string>>{{12000, "new"}}));
    EXPECT_EQ(count("Enabling Command Interface"), 1);
    EXPECT_FALSE(form->state().ReloadInSequence);

    // Nothing is left behind that would swallow the next Restart's countdown.
    writeConfig({.initTime = "3", .checkTime = "1", .tasks = {{"Again", "again"}}});
    form->cmdRestart_Click();
    EXPECT_EQ(launches().back(), (std::pair<Ms, std::string>{sim.events.now(), "again"}));
    EXPECT_EQ(count("Seuquence Init"), 2);
}

// Three tasks 9 s apart (announced at 1 s): a at 10 s, b at 19 s, c at 28 s.
// The editor cuts the list to two with "Ok+&Restart" at `reloadAt`. The loop
// keeps its bound of three, but a slot that holds no task is passed over: no
// box, no log line, no launch, no cue, and no wait.
std::vector<std::pair<Ms, std::string>> ReloadTest::cutToTwoDuringATaskWait(Ms reloadAt)
{
    writeConfig({.initTime = "2", .checkTime = "10", .tasks = {{"A", "a"}, {"B", "b"}, {"C", "c"}}});
    editorSavesAndRestarts({.initTime = "4", .checkTime = "2", .tasks = {{"X", "x"}, {"Y", "y"}}});
    sim.events.at(reloadAt, [&] { form->cmdConfig_Click(); });
    start();
    EXPECT_TRUE(sim.dialogs.messages.empty());
    EXPECT_EQ(count(""), 0);
    EXPECT_EQ(count("Command Failed"), 0);
    EXPECT_EQ(sim.sound.names().back(), "finished.wav");
    EXPECT_FALSE(form->state().Timer1->enabled());
    return launches();
}

TEST_F(ReloadTest, ShorterListDuringTheFirstTaskWaitLaunchesTheNewTasksOnly)
{
    // The interrupted wait goes on from the new InitTime (4 -> 1 in 3 s); then
    // x and y with the new CheckTime, and the empty slot 3 ends the run at once.
    EXPECT_EQ(cutToTwoDuringATaskWait(5000), (std::vector<std::pair<Ms, std::string>>{{8000, "x"}, {9000, "y"}}));
    EXPECT_EQ(sim.sound.cues.back().at, 9000);
}

TEST_F(ReloadTest, ShorterListDuringTheLastTaskWaitLaunchesNothingMore)
{
    // Slot 3 empties while the run waits for it.
    EXPECT_EQ(cutToTwoDuringATaskWait(22000), (std::vector<std::pair<Ms, std::string>>{{10000, "a"}, {19000, "b"}}));
    EXPECT_EQ(sim.sound.cues.back().at, 25000);
}

// A reload that runs a whole sequence inside a waiting run is the only sequence:
// the run it interrupted stands down, with no second announcement, launch or
// end of sequence, and leaves no flag set behind it.
struct NestedCase {
    const char* name;
    ConfigValues first, saved;
    Ms editorAt, restartAt; // restartAt 0: no Restart
    std::vector<std::pair<Ms, std::string>> launches;
    friend void PrintTo(const NestedCase& c, std::ostream* os) { *os << c.name; }
};

class WholeSequenceInsideAWait : public ReloadTest, public ::testing::WithParamInterface<NestedCase> {};

TEST_P(WholeSequenceInsideAWait, IsTheOnlySequence)
{
    const NestedCase& c = GetParam();
    writeConfig(c.first);
    editorSavesAndRestarts(c.saved);
    sim.events.at(c.editorAt, [&] { form->cmdConfig_Click(); });
    if (c.restartAt)
        sim.events.at(c.restartAt, [&] { form->cmdRestart_Click(); });
    EXPECT_FALSE(start());
    EXPECT_EQ(launches(), c.launches);
    auto lines = logLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.starts_with("Starting Application Execution:"); }),
              1);
    EXPECT_EQ(count("Enabling Command Interface"), 1);
    EXPECT_FALSE(form->state().ReloadInSequence);
    EXPECT_FALSE(form->state().SequenceRunning);
    EXPECT_FALSE(form->state().Timer1->enabled());
}

INSTANTIATE_TEST_SUITE_P(Reloads, WholeSequenceInsideAWait,
                         ::testing::Values(
                             // The editor's run hands back to the countdown (SequenceRunning now
                             // clear); a Restart at 12 s counts 5 -> 1 on the ticking timer.
                             NestedCase{"RestartInACountdownThatAnEditorReloadRestarted",
                                        {.tasks = {{"Old", "old"}}},
                                        {.initTime = "5", .checkTime = "3", .tasks = {{"B", "b"}, {"C", "c"}}},
                                        10000,
                                        12000,
                                        {{17000, "b"}, {19000, "c"}}},
                             // Start time 1 during the first task wait: announced at 3 s, then every 2 s.
                             NestedCase{
                                 "EditorReloadWithStartTimeOneDuringATaskWait",
                                 {.initTime = "2", .checkTime = "5", .tasks = {{"A", "a"}, {"B", "b"}, {"C", "c"}}},
                                 {.initTime = "1", .checkTime = "3", .tasks = {{"X", "x"}, {"Y", "y"}, {"Z", "z"}}},
                                 3000,
                                 0,
                                 {{5000, "x"}, {7000, "y"}, {9000, "z"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReloadTest, RestartAfterASequenceAddsBelowTheOldLog)
{
    writeConfig({.initTime = "3", .checkTime = "1", .tasks = {{"A", "a"}}});
    start();
    const std::string firstLog = form->state().DumpString.text();
    sim.events.at(sim.events.now() + 1000, [&] {
        for (Control c : {Control::Chart, Control::cmdEdit, Control::cmdTray, Control::chkRemote, Control::cmdRestart})
            EXPECT_FALSE(sim.view.isEnabled(c));
    });
    form->cmdRestart_Click();
    EXPECT_EQ(form->state().DumpString.text().substr(0, firstLog.size()), firstLog);
    EXPECT_EQ(count("Seuquence Init"), 2);
    EXPECT_EQ(sim.launcher.launches.size(), 2u);
    EXPECT_TRUE(sim.view.isEnabled(Control::cmdRestart));
    EXPECT_FALSE(form->state().Reloading);
}

TEST_F(ReloadTest, RestartWhileAReloadedRunWaitsRunsTheOnlySequenceInsideIt)
{
    writeConfig({.initTime = "2", .checkTime = "1", .tasks = {{"A", "a"}}});
    start(); // first sequence: "a" at 1 s
    // A settings reload starts a new run (SequenceRunning clear: a full run).
    editorSavesAndRestarts({.initTime = "20", .checkTime = "1", .tasks = {{"B", "b"}}});
    const Ms t0 = sim.events.now();
    sim.events.at(t0 + 5500, [&] {
        // Pressed while the reloaded run counts down.
        EXPECT_TRUE(form->state().SequenceRunning);
        form->cmdRestart_Click();
    });
    form->cmdConfig_Click();
    // The Restart's own run counts from 20 on the running timer's next tick
    // (t0 + 6 s) and launches "b"; the interrupted run then stands down.
    ASSERT_EQ(sim.launcher.launches.size(), 2u);
    EXPECT_EQ(sim.launcher.launches[1].at, t0 + 6000 + 18000);
    EXPECT_EQ(sim.launcher.launches[1].commandLine, "b");
    // The editor's reload emptied the log: both starts, one end.
    EXPECT_EQ(count("Seuquence Init"), 2);
    EXPECT_EQ(count("Enabling Command Interface"), 1);
}

TEST_F(ReloadTest, RestartAtTheEndOfASequenceLeavesTheActionToItsOwnRun)
{
    writeConfig({.launchOpt = "MIN", .initTime = "3", .checkTime = "1", .tasks = {{"T", "t"}}});
    // Due with the countdown's last tick and handled after it (its timer was
    // made later): the click waits for the events the ended sequence processes last.
    bool clicked = false;
    auto click = sim.events.createTimer(2000, true, [&] {
        if (!std::exchange(clicked, true))
            form->cmdRestart_Click();
    });
    start();
    EXPECT_EQ(launches(), (std::vector<std::pair<Ms, std::string>>{{2000, "t"}, {4000, "t"}}));
    EXPECT_EQ(count("Enabling Command Interface"), 2);
    // Two sequences, one minimising: the first run stands down after the Restart's.
    EXPECT_EQ(sim.view.minimizations, 1);
}

TEST_F(ReloadTest, RestartClickedAtATimerTickStillCountsDown)
{
    writeConfig({.initTime = "2", .checkTime = "1", .tasks = {{"T", "t"}}});
    start();
    // The editor closed without saving leaves Timer1 ticking while idle.
    sim.dialogs.editorScript.push_back([] {});
    form->cmdConfig_Click();
    const Ms t0 = sim.events.now();
    // A click due at the same instant as the idle Timer1 tick and handled
    // after it (its timer was made later).
    bool clicked = false;
    auto click = sim.events.createTimer(1000, true, [&] {
        if (!clicked) {
            clicked = true;
            form->cmdRestart_Click();
        }
    });
    sim.events.limit = t0 + 60000;
    sim.events.runFor(10000);
    ASSERT_TRUE(clicked);
    ASSERT_EQ(sim.launcher.launches.size(), 2u);
    EXPECT_EQ(sim.launcher.launches[1].at, t0 + 2000);
}

TEST_F(ReloadTest, SettingsButtonPausesTheCountdown)
{
    writeConfig({.initTime = "10", .tasks = {}});
    // Open at 3 s for 30 s, closed with "&Ok" (no reload).
    sim.dialogs.editorScript.push_back([&] {
        EXPECT_FALSE(form->state().Timer1->enabled());
        sim.events.runFor(30000);
    });
    sim.events.at(3000, [&] { form->cmdConfig_Click(); });
    start();
    // Ticks at 1 s and 2 s (the press at 3 s comes before that tick), then
    // 8 -> 1 on a fresh timer after the editor closes at 33 s.
    EXPECT_EQ(sim.sound.cues.back().at, 40000);
    EXPECT_EQ(count("Seuquence Init"), 1);
}

TEST_F(ReloadTest, EditorReloadReleasesThePressedRemoteToggle)
{
    writeConfig({.initTime = "1"});
    start();
    form->chkRemote_UserSet(true);
    EXPECT_EQ(sim.view.status, "Waiting for Remote Commands");
    EXPECT_TRUE(form->state().Timer2->enabled());
    editorSavesAndRestarts({.initTime = "3", .remoteOpt = "REMOTEOFF"});
    sim.events.at(sim.events.now() + 1000, [&] {
        EXPECT_FALSE(form->remoteToggle());
        EXPECT_FALSE(sim.view.toggles[static_cast<int>(Control::chkRemote)]);
        EXPECT_EQ(sim.view.logBox.substr(0, 14), "Seuquence Init");
    });
    form->cmdConfig_Click();
    auto history = statuses();
    EXPECT_NE(
        std::find_if(history.begin(), history.end(), [](auto& s) { return s.second == "Remote Commands Disabled"; }),
        history.end());
    EXPECT_EQ(count("Seuquence Init"), 1);
}

} // namespace

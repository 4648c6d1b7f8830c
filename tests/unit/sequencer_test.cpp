// The sequencer in virtual time: countdown, launches, failures, the result
// file and the action after the sequence.
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

class SequencerTest : public ConsoleTest {};

std::vector<Ms> launchTimes(const RecordingLauncher& l)
{
    std::vector<Ms> t;
    for (const Launch& x : l.launches)
        t.push_back(x.at);
    return t;
}

TEST_F(SequencerTest, CountsDownAnnouncesAndLaunchesNineSecondsApart)
{
    writeConfig({.tasks = {{"First", "prog1"}, {"Second", "prog2 --x"}, {"Third", "prog3"}}});
    EXPECT_FALSE(start());

    // Status 30 .. 2, one per second from the start.
    std::vector<std::pair<Ms, std::string>> expected;
    for (int n = 30; n >= 2; --n)
        expected.emplace_back((30 - n) * 1000, "Seconds Until Execution Start:" + std::to_string(n));
    auto history = statuses();
    ASSERT_GE(history.size(), expected.size());
    EXPECT_EQ(std::vector(history.begin(), history.begin() + expected.size()), expected);

    // The announcement at 29 s, then each task 9 s after the one before.
    EXPECT_THAT(launchTimes(sim.launcher), ElementsAre(38000, 47000, 56000));
    EXPECT_EQ(sim.launcher.launches[1].commandLine, "prog2 --x");
    EXPECT_EQ(sim.launcher.launches[1].style, WindowStyle::Normal);
    EXPECT_THAT(logLines(), ElementsAre("Seuquence Init", "Starting Application Execution:12/7/2026:09:05:29", "First",
                                        "Second", "Third", "Enabling Command Interface"));
    EXPECT_THAT(sim.sound.names(),
                ElementsAre("START.wav", "done.wav", "complete.wav", "complete.wav", "complete.wav", "finished.wav"));
    EXPECT_EQ(sim.sound.cues[1].at, 29000);

    EXPECT_EQ(sim.view.status, "Command Interface Active. Waiting For Remote");
    EXPECT_TRUE(form->state().Timer2->enabled());
    EXPECT_FALSE(form->state().Timer1->enabled());
    EXPECT_FALSE(form->state().SequenceRunning);
    EXPECT_EQ(exchange.read("Result.txt"), form->state().DumpString.text() + "\r\n");
    for (Control c : {Control::cmdEdit, Control::cmdTray, Control::chkRemote, Control::cmdRestart})
        EXPECT_TRUE(sim.view.isEnabled(c));
    EXPECT_TRUE(sim.view.isEnabled(Control::Chart));
    EXPECT_TRUE(sim.view.visible);
    EXPECT_EQ(sim.view.logBox, form->state().DumpString.text());
}

TEST_F(SequencerTest, ShortTimesMeanNoWaitsAndNoStatusChange)
{
    writeConfig({.initTime = "1", .checkTime = "0", .tasks = {{"A", "a"}, {"B", "b"}}});
    start();
    EXPECT_THAT(launchTimes(sim.launcher), ElementsAre(0, 0));
    ASSERT_EQ(statuses().size(), 1u);
    EXPECT_EQ(statuses()[0].second, "Command Interface Active. Waiting For Remote");
}

TEST_F(SequencerTest, NoTasksGoesStraightToTheEnd)
{
    writeConfig({.initTime = "3"});
    start();
    EXPECT_TRUE(sim.launcher.launches.empty());
    EXPECT_THAT(sim.sound.names(), ElementsAre("START.wav", "done.wav", "finished.wav"));
    EXPECT_EQ(sim.sound.cues.back().at, 2000);
}

TEST_F(SequencerTest, FailedLaunchIsReportedLoggedAndTheNextTaskFollows)
{
    writeConfig(
        {.initTime = "2", .checkTime = "3", .tasks = {{"Good", "ok"}, {"Bad", "missing"}, {"Also good", "ok2"}}});
    sim.launcher.failing["missing"] = {53, "File not found"};
    sim.dialogs.messageBoxOpenFor = 5000; // the user takes 5 s to close the box
    start();
    ASSERT_EQ(sim.dialogs.messages.size(), 1u);
    EXPECT_EQ(sim.dialogs.messages[0].text, "53 File not found\nCommand line: missing");
    EXPECT_THAT(logLines(), ElementsAre("Seuquence Init", ::testing::StartsWith("Starting Application Execution:"),
                                        "Good", "Bad", "Command Failed", "Also good", "Enabling Command Interface"));
    EXPECT_THAT(sim.sound.names(),
                ElementsAre("START.wav", "done.wav", "complete.wav", "failure.wav", "complete.wav", "finished.wav"));
    // 1 s countdown, 2 s per wait; the box held the run for 5 s.
    EXPECT_THAT(launchTimes(sim.launcher), ElementsAre(3000, 5000, 12000));
}

// A failure's box holds the run: the next wait counts from its closing, and
// the launch after that keeps the new schedule.
TEST_F(SequencerTest, AFailureBoxStartsTheNextWaitFromItsClosing)
{
    writeConfig({.initTime = "2", .checkTime = "3", .tasks = {{"A", "ok"}, {"B", "missing"}, {"C", "ok2"}, {"D", "ok3"}}});
    sim.launcher.failing["missing"] = {53, "File not found"};
    sim.dialogs.messageBoxOpenFor = 400;
    start();
    EXPECT_THAT(launchTimes(sim.launcher), ElementsAre(3000, 5000, 7400, 9400));
}

TEST_F(SequencerTest, DescriptionEndingInFailedSoundsTheFailureCue)
{
    writeConfig({.initTime = "1", .checkTime = "1", .tasks = {{"Backup Failed", "ok"}}});
    start();
    EXPECT_TRUE(sim.dialogs.messages.empty());
    EXPECT_THAT(sim.sound.names(), ElementsAre("START.wav", "done.wav", "failure.wav", "finished.wav"));
}

TEST_F(SequencerTest, RemoteOffStillWritesTheResultFile)
{
    writeConfig({.initTime = "1", .remoteOpt = "REMOTEOFF", .tasks = {{"A", "a"}}});
    form->state().Timer2->setEnabled(true); // left on by an earlier sequence
    start();
    EXPECT_EQ(logLines().back(), "Command Interface Inactive");
    EXPECT_EQ(sim.view.status, "Command Interface Inactive");
    EXPECT_FALSE(form->state().Timer2->enabled());
    EXPECT_EQ(exchange.read("Result.txt"), form->state().DumpString.text() + "\r\n");
}

TEST_F(SequencerTest, MissingExchangeFolderIsLoggedAndTheRunStillEnds)
{
    writeConfig({.launchOpt = "EXIT", .exchangeDir = exchange.file("nowhere"), .initTime = "1"});
    form->state().Timer2->setEnabled(true); // left on by an earlier sequence: the missing folder stops it
    EXPECT_TRUE(start());
    EXPECT_THAT(logLines(), ElementsAre("Seuquence Init", ::testing::_, "Enabling Command Interface",
                                        "ERROR: Remote Command and Reporting Directory Does Not Exist!"));
    EXPECT_TRUE(sim.dialogs.messages.empty());
    EXPECT_FALSE(form->state().Timer2->enabled());
    EXPECT_FALSE(exchange.exists("nowhere"));
    EXPECT_EQ(sim.view.status, "Command Interface Active. Waiting For Remote");
    EXPECT_TRUE(sim.view.isEnabled(Control::cmdRestart));
    EXPECT_EQ(sim.program.ended, 1);
}

TEST_F(SequencerTest, ExchangeFolderThatIsAFileCountsAsMissing)
{
    // A regular file where the folder should be: the temporary file cannot be made.
    exchange.write("plainfile", "x");
    writeConfig({.exchangeDir = exchange.file("plainfile"), .initTime = "1"});
    start();
    // A path under a regular file is "not found" as a folder: the missing-folder route.
    EXPECT_EQ(logLines().back(), "ERROR: Remote Command and Reporting Directory Does Not Exist!");
}

TEST_F(SequencerTest, ExitEndsTheProgramButLowerCaseDoesNot)
{
    writeConfig({.launchOpt = "EXIT", .initTime = "1"});
    EXPECT_TRUE(start());
    EXPECT_TRUE(exchange.exists("Result.txt"));
    EXPECT_TRUE(sim.view.isEnabled(Control::cmdRestart));

    ConfigValues lower{.launchOpt = "exit", .initTime = "1"};
    writeConfig(lower);
    form->state().Reloading = false;
    EXPECT_FALSE(start());
    EXPECT_EQ(sim.program.ended, 1);
}

TEST_F(SequencerTest, MinMinimisesTheWindow)
{
    writeConfig({.launchOpt = "MIN", .initTime = "1"});
    EXPECT_FALSE(start());
    EXPECT_TRUE(sim.view.minimized);
}

TEST_F(SequencerTest, CounterRestsAtItsLowerLimit)
{
    writeConfig({.initTime = "1"});
    start();
    form->state().Seconds = -32767;
    form->state().Timer1->setEnabled(true);
    sim.events.runFor(5000);
    EXPECT_EQ(form->state().Seconds, -32768);
}

TEST_F(SequencerTest, AHundredTasksAllRunAndLongDescriptionsLogWhole)
{
    // The most a file may hold, each description a long line.
    ConfigValues spec{.initTime = "1", .checkTime = "1"};
    for (int i = 1; i <= 100; ++i)
        spec.tasks.emplace_back("task " + std::to_string(i) + " " + std::string(2000, 'd'), "run" + std::to_string(i));
    writeConfig(spec);
    EXPECT_FALSE(start());
    ASSERT_EQ(sim.launcher.launches.size(), 100u);
    EXPECT_EQ(sim.launcher.launches.back().commandLine, "run100");
    EXPECT_EQ(logLines().size(), 2u + 100 + 1);
    EXPECT_EQ(logLines()[101], "task 100 " + std::string(2000, 'd'));
    EXPECT_EQ(exchange.read("Result.txt"), form->state().DumpString.text() + "\r\n");
}

TEST_F(SequencerTest, TimesAtTheSixteenBitBoundsCountDownOrNotAtAll)
{
    // The longest countdown: 32767 s, the status counting every second.
    writeConfig({.initTime = "32767", .checkTime = "-32768", .tasks = {{"T", "t"}}});
    sim.events.limit = 40000LL * 1000;
    EXPECT_FALSE(start());
    ASSERT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(sim.launcher.launches[0].at, 32766 * 1000);
    const auto history = statuses();
    EXPECT_EQ(history.front(), (std::pair<Ms, std::string>{0, "Seconds Until Execution Start:32767"}));
    EXPECT_EQ(history[32765], (std::pair<Ms, std::string>{32765 * 1000, "Seconds Until Execution Start:2"}));
}

TEST_F(SequencerTest, LogBoxShowsTheLogWhileARunWaits)
{
    writeConfig({.initTime = "3", .checkTime = "5", .tasks = {{"One", "one"}, {"Two", "two"}}});
    std::vector<std::pair<Ms, std::string>> seen;
    for (Ms t : {1000, 2500, 4000, 7500, 9000})
        sim.events.at(t, [&, t] { seen.emplace_back(t, sim.view.logBox); });
    EXPECT_FALSE(start());
    const std::string init = "Seuquence Init\r\n";
    const std::string announced = init + "Starting Application Execution:12/7/2026:09:05:02\r\n";
    EXPECT_EQ(seen, (std::vector<std::pair<Ms, std::string>>{{1000, init},
                                                             {2500, announced},
                                                             {4000, announced},
                                                             {7500, announced + "One\r\n"},
                                                             {9000, announced + "One\r\n"}}));
}

TEST_F(SequencerTest, LogBoxGrowsByAppendsNotReplacements)
{
    writeConfig({.initTime = "2", .checkTime = "1", .tasks = {{"A", "a"}, {"B", "b"}, {"C", "c"}}});
    start();
    EXPECT_EQ(sim.view.logBox, form->state().DumpString.text());
    // One replacement at most (the first showing); every later showing appends.
    EXPECT_LE(sim.view.logReplacements, 1);
    EXPECT_GE(sim.view.logAppends, 4);
}

TEST_F(SequencerTest, ClearDuringTheCountdownStartsAFreshLog)
{
    writeConfig({.initTime = "5", .tasks = {{"A", "a"}}});
    sim.events.at(2000, [&] { form->cmdClear_Click(); });
    sim.events.at(2000, [&] { EXPECT_EQ(sim.view.logBox, ""); });
    start();
    EXPECT_THAT(logLines(), ElementsAre(::testing::StartsWith("Starting Application Execution:"), "A",
                                        "Enabling Command Interface"));
    EXPECT_EQ(sim.view.logBox, form->state().DumpString.text());
    EXPECT_EQ(sim.launcher.launches[0].at, 4000 + 9000);
}

} // namespace

// Keeping tasks running, in virtual time: one table of a kept program's
// state and what happens to it, then the supervisor's order of stopping.
#include "supervisor/Supervisor.h"

#include "support/ConsoleFixture.h"
#include "support/RecordingConsole.h"
#include "support/SimPlatform.h"

#include <gmock/gmock.h>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAreArray;

namespace {

struct Kept {
    SimPlatform sim{"/sim"};
    // The log with each line's virtual second; events with their code and restarts.
    RecordingConsole console{sim.clock, [this] { return std::to_string(sim.events.now() / 1000) + "s "; },
                             [](const ConsoleEvent& e) {
                                 return std::string(eventWord(e.event)) + (e.code.empty() ? "" : " " + e.code) +
                                        (e.restarts ? " #" + std::to_string(e.restarts) : "");
                             }};
    Supervisor supervisor{SupervisorContext{sim.events, sim.clock, sim.launcher, console, nullptr}};

    // Starts `command` as the sequence does and hands it over as task n.
    void launch(int n, const std::string& command, const KeepRunning& policy)
    {
        supervisor.adopt(n, command, "Task " + std::to_string(n), policy,
                         sim.launcher.start(command, WindowStyle::Normal));
    }
    std::vector<Ms> launchTimes() const
    {
        std::vector<Ms> t;
        for (const Launch& l : sim.launcher.launches)
            t.push_back(l.at);
        return t;
    }
};

KeepRunning policy(RestartPolicy restart, int delay = 1, int limit = 5, StopPolicy stop = StopPolicy::No)
{
    KeepRunning k;
    k.restart = restart;
    k.restartDelay = delay;
    k.restartLimit = limit;
    k.restartMaxDelay = 8;
    k.stop = stop;
    return k;
}

TEST(RestartDelay, DoublesFromTheFirstDelayUpToTheLimit)
{
    KeepRunning k;
    k.restartMaxDelay = 60;
    const std::pair<int, std::vector<int>> rows[] = {
        {1, {1, 2, 4, 8, 16, 32, 60, 60}},
        {0, {0, 1, 2, 4, 8, 16, 32, 60}},
        {45, {45, 60, 60, 60, 60, 60, 60, 60}},
    };
    for (const auto& [first, delays] : rows) {
        k.restartDelay = first;
        for (int done = 0; done < static_cast<int>(delays.size()); ++done)
            EXPECT_EQ(restartDelaySeconds(k, done), delays[done]) << "first " << first << ", restarts done " << done;
    }
    k.restartDelay = 3600;
    k.restartMaxDelay = 3600;
    EXPECT_EQ(restartDelaySeconds(k, 1000), 3600) << "no overflow after many restarts";
}

// One row per state and what happens to it: the program's ends come from
// `ends` (every start of it ends after that long with that status), the
// console acts at `actAt`.
struct Row {
    const char* name;
    KeepRunning policy;
    std::optional<std::pair<Ms, int>> ends;
    std::function<void(Kept&)> act;
    Ms actAt;
    Ms runFor;
    std::vector<std::string> lines;
    std::vector<Ms> launches;
    TaskSupervisor::State state;
    bool ignoresStop = false;
};

TEST(TaskSupervisor, EachStateMeetsEachEventAsTheTableSays)
{
    using S = TaskSupervisor::State;
    const auto stop = [](Kept& k) { k.supervisor.stopAll(nullptr); };
    const auto reload = [](Kept& k) {
        TaskTable tasks;
        tasks.TaskLoc[1] = "prog";
        k.supervisor.reconcile(tasks, 1, {}, true);
    };
    const auto renumber = [](Kept& k) { k.supervisor.reconcile(TaskTable{}, 1, {}, false); };
    const Row rows[] = {
        {"up, fails: restarts with a doubling delay, gives up after the limit",
         policy(RestartPolicy::OnFailure, 1, 3),
         std::pair{1000, 3},
         nullptr,
         0,
         60000,
         {"1s Task 1 Ended With Status 3", "1s Restarting Task 1 In 1 Seconds", "3s Task 1 Ended With Status 3",
          "3s Restarting Task 1 In 2 Seconds", "6s Task 1 Ended With Status 3", "6s Restarting Task 1 In 4 Seconds",
          "11s Task 1 Ended With Status 3", "11s Gave Up Restarting Task 1 After 3 Restarts"},
         {0, 2000, 5000, 10000},
         S::GivenUp},
        {"up, ends with 0 under on-failure: left ended",
         policy(RestartPolicy::OnFailure),
         std::pair{2000, 0},
         nullptr,
         0,
         60000,
         {"2s Task 1 Ended With Status 0"},
         {0},
         S::Ended},
        {"up, ends with 0 under always: restarted; a delay of 0 restarts at once",
         policy(RestartPolicy::Always, 0, 2),
         std::pair{1000, 0},
         nullptr,
         0,
         60000,
         {"1s Task 1 Ended With Status 0", "1s Restarting Task 1 In 0 Seconds", "2s Task 1 Ended With Status 0",
          "2s Restarting Task 1 In 1 Seconds", "4s Task 1 Ended With Status 0",
          "4s Gave Up Restarting Task 1 After 2 Restarts"},
         {0, 1000, 3000},
         S::GivenUp},
        {"up, a long run resets the count: a limit of 1 is never reached",
         policy(RestartPolicy::OnFailure, 5, 1),
         std::pair{61000, 9},
         nullptr,
         0,
         200000,
         {"61s Task 1 Ended With Status 9", "61s Restarting Task 1 In 5 Seconds", "127s Task 1 Ended With Status 9",
          "127s Restarting Task 1 In 5 Seconds", "193s Task 1 Ended With Status 9",
          "193s Restarting Task 1 In 5 Seconds"},
         {0, 66000, 132000, 198000},
         S::Up},
        {"up, a limit of 0 never gives up; the delay stops at its maximum",
         policy(RestartPolicy::OnFailure, 4, 0),
         std::pair{0, 1},
         nullptr,
         0,
         31000,
         {"0s Task 1 Ended With Status 1", "0s Restarting Task 1 In 4 Seconds", "4s Task 1 Ended With Status 1",
          "4s Restarting Task 1 In 8 Seconds", "12s Task 1 Ended With Status 1", "12s Restarting Task 1 In 8 Seconds",
          "20s Task 1 Ended With Status 1", "20s Restarting Task 1 In 8 Seconds", "28s Task 1 Ended With Status 1",
          "28s Restarting Task 1 In 8 Seconds"},
         {0, 4000, 12000, 20000, 28000},
         S::BackingOff},
        {"up, stopped: it ends at the polite stop, with no end line and no restart",
         policy(RestartPolicy::Always, 1, 5, StopPolicy::OnExit),
         std::nullopt,
         stop,
         3000,
         60000,
         {"3s Stopping Task 1", "3s Task 1 Stopped"},
         {0},
         S::Stopped},
        {"up, stopped, ignores it: killed at the stop-timeout",
         policy(RestartPolicy::OnFailure, 1, 5, StopPolicy::OnExit),
         std::nullopt,
         stop,
         3000,
         60000,
         {"3s Stopping Task 1", "13s Task 1 Killed After 10 Seconds"},
         {0},
         S::Stopped,
         true},
        {"backing off, the console ends: the restart never comes",
         policy(RestartPolicy::OnFailure, 6, 5, StopPolicy::OnExit),
         std::pair{1000, 2},
         stop,
         5000,
         60000,
         {"1s Task 1 Ended With Status 2", "1s Restarting Task 1 In 6 Seconds"},
         {0},
         S::Stopped},
        {"backing off, a reload: the restart is dropped (the sequence starts it)",
         policy(RestartPolicy::OnFailure, 6),
         std::pair{1000, 2},
         reload,
         5000,
         60000,
         {"1s Task 1 Ended With Status 2", "1s Restarting Task 1 In 6 Seconds"},
         {0},
         S::Released},
        {"up, its task renumbered: let go, still running",
         policy(RestartPolicy::OnFailure),
         std::nullopt,
         renumber,
         5000,
         60000,
         {"5s Task 1 No Longer Watched"},
         {0},
         S::Released},
        {"up, not stop = on-exit, the console ends: left running, never restarted",
         policy(RestartPolicy::Always),
         std::pair{20000, 0},
         stop,
         5000,
         60000,
         {"20s Task 1 Ended With Status 0"},
         {0},
         S::Ended},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Kept k;
        if (row.ends)
            k.sim.launcher.endings["prog"] = *row.ends;
        if (row.ignoresStop)
            k.sim.launcher.ignoringStop.insert("prog");
        k.launch(1, "prog", row.policy);
        std::optional<S> stateAfterAct;
        if (row.act)
            k.sim.events.at(row.actAt, [&] { row.act(k); });
        k.sim.events.runUntil(row.runFor);
        EXPECT_THAT(k.console.lines, ElementsAreArray(row.lines));
        EXPECT_THAT(k.launchTimes(), ElementsAreArray(row.launches));
        const auto& kept = k.supervisor.tasks();
        EXPECT_EQ(kept.empty() ? S::Released : kept.front()->state(), row.state);
    }
}

TEST(Supervisor, StopsInReverseOrderOneAfterTheOtherAndASecondRequestKills)
{
    Kept k;
    const KeepRunning onExit = policy(RestartPolicy::OnFailure, 1, 5, StopPolicy::OnExit);
    k.sim.launcher.ignoringStop = {"db", "web"};
    k.launch(1, "db", onExit);
    k.launch(2, "cache", policy(RestartPolicy::OnFailure)); // not stopped: left running
    k.launch(3, "web", onExit);
    EXPECT_EQ(k.supervisor.watchedCount(), 3);
    EXPECT_TRUE(k.supervisor.runs(3, "web"));
    EXPECT_FALSE(k.supervisor.runs(3, "web --other"));

    bool done = false;
    k.sim.events.at(1000, [&] { k.supervisor.stopAll([&] { done = true; }); });
    // Web is killed at its timeout; db, asked next, is killed by a second request.
    k.sim.events.at(14000, [&] { k.supervisor.killAll(); });
    k.sim.events.runUntil(60000);
    EXPECT_THAT(k.console.lines, ElementsAreArray({"1s Stopping Task 3", "11s Task 3 Killed After 10 Seconds",
                                                   "11s Stopping Task 1", "14s Task 1 Killed After 3 Seconds"}));
    EXPECT_TRUE(done);
    EXPECT_EQ(k.sim.launcher.stopped, 2);
    EXPECT_EQ(k.sim.launcher.ended, 2);
    EXPECT_EQ(k.supervisor.watchedCount(), 1); // cache runs on
    EXPECT_THAT(k.console.events,
                ElementsAreArray({"task-watched", "task-watched", "task-watched", "task-stopping 10", "task-ended 137",
                                  "task-stopped", "task-stopping 10", "task-ended 137", "task-stopped"}));
}

TEST(Supervisor, AFailedEndIsToldAndRestartsAreCounted)
{
    Kept k;
    // Windows' access violation: its status is told unsigned.
    k.sim.launcher.endings["prog"] = {1000, static_cast<int>(0xC0000005u)};
    k.launch(4, "prog", policy(RestartPolicy::OnFailure, 1, 1));
    k.sim.events.runUntil(10000);
    EXPECT_THAT(k.console.events, ElementsAreArray({"task-watched", "task-ended 3221225477", "task-exited 3221225477",
                                                    "task-restarted #1", "task-ended 3221225477",
                                                    "task-exited 3221225477", "task-gave-up 3221225477"}));
    EXPECT_THAT(k.console.attention, ElementsAreArray({"WARNING: Task 4 Ended With Status 3221225477",
                                                       "WARNING: Task 4 Ended With Status 3221225477",
                                                       "ERROR: Gave Up Restarting Task 4 After 1 Restarts"}));
    EXPECT_EQ(k.supervisor.tasks().front()->totalRestarts(), 1);
}

} // namespace

namespace {

class KeptConsoleTest : public ConsoleTest {};

// The whole console: a kept database that crashes is restarted with its ready
// checks tried again, EXIT stays to watch it, a reload does not start a
// second copy, and the end stops it before the program goes.
TEST_F(KeptConsoleTest, StaysToWatchReloadsWithoutASecondCopyAndStopsAtTheEnd)
{
    ConfigValues c;
    c.launchOpt = "EXIT";
    c.initTime = "1";
    c.checkTime = "1";
    c.tasks = {{"Database", "db"}, {"Application", "app"}};
    writeConfig(c);
    dir.write("torv.ini", "[task 1]\nready = tcp:127.0.0.1:5432\nrestart = on-failure\nrestart-delay = 2\n"
                          "stop = on-exit\n");
    sim.probe.holdsFrom("127.0.0.1:5432", 0);
    sim.launcher.endings["db"] = {5000, 1};
    EXPECT_FALSE(start()) << "EXIT ended a console that keeps a program";
    sim.events.runUntil(6000); // the crash at 5 s, the restart 2 s later
    const int triesBefore = sim.probe.triesOf("127.0.0.1:5432");
    sim.events.runUntil(8000);
    EXPECT_GT(sim.probe.triesOf("127.0.0.1:5432"), triesBefore) << "the restart's ready check was not tried";
    form->cmdRestart_Click();
    std::vector<std::string> launched;
    for (const auto& [at, line] : launches())
        launched.push_back(line);
    EXPECT_THAT(launched, ElementsAreArray({"db", "app", "db", "app"}));
    form->requestEnd();
    EXPECT_THROW(sim.events.runFor(1000), ProgramEnded);
    std::vector<std::string> kept;
    for (const std::string& line : logLines())
        if (line.rfind("Task 1", 0) == 0 || line.rfind("Restarting", 0) == 0 || line.rfind("Staying", 0) == 0 ||
            line.rfind("Stopping", 0) == 0)
            kept.push_back(line);
    EXPECT_THAT(kept, ElementsAreArray({"Staying To Watch 1 Tasks", "Task 1 Ended With Status 1",
                                        "Restarting Task 1 In 2 Seconds", "Task 1 Already Running", "Stopping Task 1",
                                        "Task 1 Stopped"}));
    EXPECT_EQ(sim.program.ended, 1);
}

} // namespace

// What the service manager hears, at virtual time, for each way a console run
// as a service can go: start pending, running once start-up has read its
// files, stop pending with its check points, and stopped with the status.
#include "headless/HeadlessConsole.h"
#include "headless/HeadlessDialogs.h"
#include "headless/Inert.h"
#include "headless/ServiceLifecycle.h"
#include "headless/ServiceNotifier.h"
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

using namespace torv;
using namespace torv::sim;

namespace {

using P = ServicePhase;

struct Heard {
    Ms at;
    ServiceReport report;
    bool operator==(const Heard&) const = default;
};
void PrintTo(const Heard& h, std::ostream* os)
{
    *os << h.at << "ms phase " << static_cast<int>(h.report.phase) << " cp " << h.report.checkPoint << " hint "
        << h.report.waitHintMs << " status " << h.report.exitStatus;
}

struct RecordingPort : ServiceStatusPort {
    explicit RecordingPort(SimEventLoop& loop) : loop_(loop) {}
    void report(const ServiceReport& r) override { heard.push_back({loop_.now(), r}); }
    SimEventLoop& loop_;
    std::vector<Heard> heard;
};

struct NoLines : LineSink {
    void out(const std::string&) override {}
    void err(const std::string&) override {}
};

struct Row {
    const char* name;
    std::string config;  // "" none (the first run), "damaged", else the launch option
    std::string options; // torv.ini
    bool secondCopy;
    Ms stopAt;       // the manager's stop; -1 none
    size_t launched; // tasks launched by the end: where the stop came
    std::vector<Heard> expected;
};

const ServiceReport kStarting{P::StartPending, 1, ServiceLifecycle::kStartHintMs, 0};
const ServiceReport kRunning{P::Running, 0, 0, 0};
const ServiceReport kStopping{P::StopPending, 1, ServiceLifecycle::kStopMarginMs, 0};
ServiceReport stopped(int status)
{
    return {P::Stopped, 0, 0, status};
}

class ServiceLifecycleTest : public ConsoleTest, public ::testing::WithParamInterface<Row> {};

TEST_P(ServiceLifecycleTest, ReportsEachStateInOrderAndStoppedLast)
{
    const Row& row = GetParam();
    if (row.config == "damaged")
        writeConfigText("not\r\nsettings\r\n");
    else if (!row.config.empty())
        writeConfig({.launchOpt = row.config, .initTime = "3", .checkTime = "1", .tasks = {{"Database", "db"}}});
    dir.write("torv.ini", row.options);
    sim.program.otherInstance = row.secondCopy;
    sim.probe.never("127.0.0.1:5432");

    // Wired as the service's console is.
    RecordingPort port(sim.events);
    ServiceLifecycle lifecycle(port);
    ServiceNotifier notifier(sim.events, lifecycle);
    ProgramEndHook program(sim.program, [&] { lifecycle.ended(exitstatus::Ok); });
    NoLines sink;
    JournalView view(sink);
    HeadlessDialogs dialogs(sink);
    InertTrayShell tray;
    NoCpuUsage cpu;
    Form1 console(
        Ports{sim.events, sim.clock, sim.launcher, sim.sound, dialogs, program, tray, cpu, 0, sim.probe, sim.web},
        view);
    console.addListener(notifier);
    if (row.stopAt >= 0)
        sim.events.at(row.stopAt, [&] { console.requestEnd(); });
    int status = exitstatus::Ok;
    try {
        status = HeadlessConsole(console, view, sink).start();
        if (status == HeadlessConsole::kKeepRunning)
            sim.events.runFor(60000);
    } catch (const ProgramEnded&) {
        status = exitstatus::Ok;
    }
    lifecycle.ended(status); // as the program does when start-up returns

    EXPECT_EQ(port.heard, row.expected);
    EXPECT_EQ(launches().size(), row.launched);
    EXPECT_EQ(sim.program.ended, status == exitstatus::Ok ? 1 : 0); // 2 and 3 return instead
}

INSTANTIATE_TEST_SUITE_P(
    Ends, ServiceLifecycleTest,
    ::testing::Values(
        Row{"StopDuringTheCountdown",
            "NORM",
            "",
            false,
            1000,
            0,
            {{0, kStarting}, {0, kRunning}, {1000, kStopping}, {1000, stopped(0)}}},
        // The database's ready check never holds: the stop comes in its wait.
        Row{"StopDuringAReadinessWait",
            "NORM",
            "[task 1]\r\nlocation = db\r\nready = tcp:127.0.0.1:5432\r\n",
            false,
            9000,
            1,
            {{0, kStarting}, {0, kRunning}, {9000, kStopping}, {9000, stopped(0)}}},
        // A kept program is stopped first: the manager gives it its time.
        Row{"StopWithAKeptTask",
            "NORM",
            "[task 1]\r\nlocation = db\r\nstop = on-exit\r\nstop-timeout = 4\r\n",
            false,
            5000,
            1,
            {{0, kStarting},
             {0, kRunning},
             {5000, kStopping},
             {5000, {P::StopPending, 2, 9000, 0}},
             {5000, stopped(0)}}},
        Row{"StopWhilePolling",
            "NORM",
            "",
            false,
            30000,
            1,
            {{0, kStarting}, {0, kRunning}, {30000, kStopping}, {30000, stopped(0)}}},
        Row{"ExitAfterTheSequence",
            "EXIT",
            "",
            false,
            -1,
            1,
            {{0, kStarting}, {0, kRunning}, {2000, kStopping}, {2000, stopped(0)}}},
        Row{"SecondCopy", "NORM", "", true, -1, 0, {{0, kStarting}, {0, stopped(0)}}},
        Row{"FirstRunNeedsSettings", "", "", false, -1, 0, {{0, kStarting}, {0, stopped(exitstatus::NeedsSettings)}}},
        Row{"DamagedSettings", "damaged", "", false, -1, 0, {{0, kStarting}, {0, stopped(exitstatus::AbnormalStop)}}}),
    [](const auto& info) { return std::string(info.param.name); });

// Each task the end stops raises the check point and waits its own time-out
// beyond the margin; nothing is heard after stopped, nor a second stopped.
TEST(ServiceLifecycle, EachStepOfTheEndRaisesTheCheckPointAndStoppedIsFinal)
{
    SimEventLoop loop;
    RecordingPort port(loop);
    ServiceLifecycle lifecycle(port);
    lifecycle.ready();
    lifecycle.stopping();
    lifecycle.stoppingTask(10000);
    lifecycle.stoppingTask(2000);
    lifecycle.ended(3);
    lifecycle.ended(0);
    lifecycle.stopping();
    lifecycle.ready();
    EXPECT_EQ(port.heard, (std::vector<Heard>{{0, kStarting},
                                              {0, kRunning},
                                              {0, kStopping},
                                              {0, {P::StopPending, 2, 15000, 0}},
                                              {0, {P::StopPending, 3, 7000, 0}},
                                              {0, stopped(3)}}));
}

} // namespace

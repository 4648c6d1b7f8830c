// The alert command and the metrics file behind the console's events, in
// virtual time: which events reach the command and with what, the limit of
// ten a minute, a command that fails, and the figures the file holds.
#include "alerts/AlertDispatcher.h"
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <sstream>

using namespace torv;
using namespace torv::sim;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

// "name{labels}" -> value; every sample must follow its family's HELP and TYPE.
std::map<std::string, double> parseMetrics(const std::string& text)
{
    std::map<std::string, double> samples;
    std::map<std::string, int> described;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("# HELP ", 0) == 0 || line.rfind("# TYPE ", 0) == 0) {
            ++described[line.substr(7, line.find(' ', 7) - 7)];
            continue;
        }
        const auto space = line.rfind(' ');
        const std::string series = line.substr(0, space);
        EXPECT_EQ(described[series.substr(0, series.find('{'))], 2) << line;
        samples[series] = std::stod(line.substr(space + 1));
    }
    EXPECT_EQ(text.find('\r'), std::string::npos);
    return samples;
}

// A console whose second task is missing, with its remote folder on and
// torv.ini as given; "{prom}" in it stands for the metrics file's path.
struct AlertConsole : SimConsole {
    explicit AlertConsole(std::string options,
                          std::vector<std::string> tasks = {"Database", "db", "Missing Tool", "missing", "Web", "web"})
    {
        const auto at = options.find("{prom}");
        if (at != std::string::npos)
            options.replace(at, 6, prom());
        dir.write("torv.ini", options);
        std::vector<std::string> lines{"NORM", exchange.path(), "", "2", "1", "REMOTEON", "SOUNDON", "COMMENTSOFF"};
        lines.insert(lines.end(), tasks.begin(), tasks.end());
        dir.write("config.ini", configLines(lines));
        sim.launcher.failing["missing"] = {53, "File not found"};
    }
    std::string prom() const { return dir.file("torv.prom"); }
    void start()
    {
        try {
            form->Form_Load();
        } catch (const ProgramEnded&) {
        }
    }
    // Each command file in turn, a poll apart.
    void remote(const std::vector<std::string>& commands)
    {
        for (const std::string& command : commands) {
            exchange.write("command.txt", command + "\r\n");
            sim.events.runFor(10000);
        }
    }
    std::vector<std::string> events() const
    {
        std::vector<std::string> out;
        for (const auto& launch : sim.launcher.envLaunches)
            out.push_back(launch.env.at("TORV_EVENT"));
        return out;
    }
    const RecordingLauncher::EnvLaunch& alert(const std::string& event) const
    {
        for (const auto& launch : sim.launcher.envLaunches)
            if (launch.env.at("TORV_EVENT") == event)
                return launch;
        throw std::runtime_error("no alert " + event);
    }
    std::map<std::string, double> metrics() const { return parseMetrics(dir.read("torv.prom")); }
    int logCount(const std::string& line) const
    {
        std::istringstream in(form->state().DumpString.text());
        int n = 0;
        for (std::string l; std::getline(in, l);)
            n += l == line + "\r";
        return n;
    }
};

TEST(AlertListeners, EveryEventReachesTheCommandAndTheFigures)
{
    AlertConsole console("[alert]\ncommand = alert --now\nevents = all\n[metrics]\nfile = {prom}\n"
                         "[task 1]\nready = tcp:127.0.0.1:5432\n");
    console.sim.probe.holdsFrom("127.0.0.1:5432", 4000);
    const mode_t umaskWas = ::umask(077);
    console.start();
    ::umask(umaskWas);
    struct stat st {};
    ASSERT_EQ(::stat(console.prom().c_str(), &st), 0);
#ifndef _WIN32 // Windows files have no such mode bits to check
    EXPECT_EQ(st.st_mode & 0777, 0644u);
#endif
    console.remote({"report", "DELTREE x", "calc", "off"});

    EXPECT_EQ(console.events(), (std::vector<std::string>{"sequence-started", "launch-failed", "sequence-complete",
                                                          "command", "command-refused", "command", "shutdown"}));
    const auto& failed = console.alert("launch-failed");
    EXPECT_EQ(failed.commandLine, "alert --now");
    EXPECT_EQ(failed.env,
              (std::map<std::string, std::string>{{"TORV_EVENT", "launch-failed"},
                                                  {"TORV_TASK", "2"},
                                                  {"TORV_DESCRIPTION", "Missing Tool"},
                                                  {"TORV_MESSAGE", "53 File not found\nCommand line: missing"},
                                                  {"TORV_CODE", "53"},
                                                  {"TORV_HOST", "simhost"},
                                                  {"TORV_TIME", isoUtcTime(SimClock::kStartUtcMs + failed.at)}}));
    // The alert goes out before the box, and the failure cue still sounds.
    EXPECT_EQ(console.sim.dialogs.messages.at(0).at, failed.at);
    EXPECT_THAT(console.sim.sound.names(), ::testing::Contains("failure.wav"));
    // An event of no task has neither TORV_TASK nor TORV_DESCRIPTION.
    const auto& complete = console.alert("sequence-complete");
    EXPECT_EQ(complete.env,
              (std::map<std::string, std::string>{{"TORV_EVENT", "sequence-complete"},
                                                  {"TORV_MESSAGE", "Sequence Complete"},
                                                  {"TORV_HOST", "simhost"},
                                                  {"TORV_TIME", isoUtcTime(SimClock::kStartUtcMs + complete.at)}}));
    EXPECT_THAT(console.alert("command-refused").env.at("TORV_MESSAGE"), StartsWith("HOSTILE COMMAND DEL:"));
    EXPECT_EQ(console.alert("command-refused").env.count("TORV_REASON"), 0u);
    EXPECT_THAT(console.alert("shutdown").env.at("TORV_MESSAGE"), StartsWith("System Shutdown Acknowledged at:"));
    // The tasks and the remote command are launched as without alerts.
    std::vector<std::string> launched;
    for (const Launch& l : console.sim.launcher.launches)
        launched.push_back(l.commandLine);
    EXPECT_EQ(launched, (std::vector<std::string>{"db", "missing", "web", "calc", "shutdown -h now"}));

    auto m = console.metrics();
    EXPECT_EQ(m["torv_up"], 1);
    EXPECT_EQ(m["torv_sequence_state{state=\"complete\"}"], 1);
    EXPECT_EQ(m["torv_sequence_state{state=\"running\"}"], 0);
    EXPECT_EQ(m["torv_task_failures_total{task=\"2\"}"], 1);
    EXPECT_EQ(m["torv_task_failures_total{task=\"1\"}"], 0);
    EXPECT_GT(m["torv_task_launch_timestamp_seconds{task=\"1\",description=\"Database\"}"], 1796634300);
    EXPECT_NEAR(m["torv_task_ready_seconds{task=\"1\"}"], 4.05, 1.0);
    EXPECT_EQ(m.count("torv_task_launch_timestamp_seconds{task=\"2\",description=\"Missing Tool\"}"), 0u);
    for (const char* kind : {"report", "launch", "refused", "shutdown"})
        EXPECT_EQ(m[std::string("torv_remote_commands_total{kind=\"") + kind + "\"}"], 1) << kind;
    EXPECT_EQ(m["torv_remote_commands_total{kind=\"restart\"}"], 0);
    EXPECT_EQ(m["torv_remote_refused_total{reason=\"unsigned\"}"], 0);
    EXPECT_GT(m["torv_remote_last_poll_timestamp_seconds"], m["torv_sequence_start_timestamp_seconds"]);
    EXPECT_EQ(m["torv_build_info{version=\"2.2.8\"}"], 1);

    // No event after these: the minute's write brings the file back.
    std::filesystem::remove(console.prom());
    console.sim.events.runFor(60000);
    EXPECT_TRUE(console.dir.exists("torv.prom"));
    EXPECT_THROW(console.form->requestEnd(), ProgramEnded);
    EXPECT_EQ(console.metrics()["torv_up"], 0);
}

TEST(AlertListeners, WhichEventsStartTheCommand)
{
    struct Row {
        const char* options;
        std::vector<std::string> events;
    };
    const Row rows[] = {
        {"[alert]\ncommand = alert\n", {"launch-failed", "command-refused"}},
        {"[alert]\ncommand = alert\nevents = launch-failed, Command\n", {"launch-failed", "command"}},
        {"[alert]\ncommand = alert\nevents = sequence-complete,bogus\n", {"sequence-complete"}},
        {"", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        AlertConsole console(row.options);
        console.start();
        console.remote({"DEL x", "calc"});
        EXPECT_EQ(console.events(), row.events);
        EXPECT_FALSE(console.dir.exists("torv.prom"));
    }
}

TEST(AlertListeners, TenAMinuteThenOneSummaryWhenTheMinuteEnds)
{
    std::vector<std::string> tasks;
    for (int i = 1; i <= 14; ++i) {
        tasks.push_back("Tool " + std::to_string(i));
        tasks.push_back("missing");
    }
    AlertConsole console("[alert]\ncommand = alert\n", tasks);
    console.sim.launcher.endings["alert"] = {100, 0}; // four at once: the rest soon after
    console.start();
    console.sim.events.runFor(1000);
    ASSERT_EQ(console.events(), std::vector<std::string>(10, "launch-failed"));
    console.sim.events.runFor(60000);
    ASSERT_EQ(console.events().size(), 11u);
    const auto& summary = console.sim.launcher.envLaunches.back();
    EXPECT_EQ(summary.env.at("TORV_EVENT"), "suppressed");
    EXPECT_EQ(summary.env.at("TORV_SUPPRESSED"), "4");
    EXPECT_EQ(summary.env.at("TORV_TASK"), "14");
    // At the end of the minute of the first one, on the next second.
    const Ms first = console.sim.launcher.envLaunches.front().at;
    EXPECT_GE(summary.at, first + 60000);
    EXPECT_LT(summary.at, first + 61000);
}

TEST(AlertListeners, AFailingCommandIsSaidOnceAndNeverHoldsTheSequence)
{
    AlertConsole plain("");
    plain.start();
    struct Row {
        std::function<void(RecordingLauncher&)> script;
        const char* line;
    };
    const Row rows[] = {
        {[](RecordingLauncher& l) {
             l.failing["alert"] = {53, "File not found"};
         },
         "ALERT COMMAND NOT STARTED (53 File not found): alert"},
        {[](RecordingLauncher& l) {
             l.endings["alert"] = {500, 3};
         },
         "ALERT COMMAND ENDED WITH STATUS 3: alert"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        AlertConsole console("[alert]\ncommand = alert\nevents = all\n");
        row.script(console.sim.launcher);
        console.start();
        console.remote({"DEL x", "DEL y"});
        EXPECT_EQ(console.events().size(), 5u);
        EXPECT_EQ(console.logCount(row.line), 1);
        EXPECT_THAT(console.sim.view.attentions, ::testing::Contains(std::string("WARNING: ") + row.line));
        // Same launches at the same instants, same cues, as without alerts.
        ASSERT_EQ(console.sim.launcher.launches.size(), plain.sim.launcher.launches.size());
        for (size_t i = 0; i < plain.sim.launcher.launches.size(); ++i)
            EXPECT_EQ(console.sim.launcher.launches[i].at, plain.sim.launcher.launches[i].at);
        EXPECT_EQ(console.sim.sound.names(), plain.sim.sound.names());
    }
}

// Four commands at most run at once, the rest wait in order (ten at most,
// the others go into the summary); each is ended at its time limit, which is
// said once, and none is ended when the console goes.
TEST(AlertListeners, FourAtOnceTheRestInOrderAndEachWithinItsTimeLimit)
{
    SimEventLoop loop;
    SimClock clock(loop);
    RecordingLauncher launcher(loop);
    std::vector<std::string> lines;
    std::string started;
    auto alerts = std::make_unique<AlertDispatcher>(loop, clock, launcher, "h",
                                                    [&](const std::string& line) { lines.push_back(line); });
    std::vector<std::string> unknown;
    alerts->configure("alert", AlertFilter::parse("all", unknown), 600);
    launcher.endings["alert"] = {100000, 0};
    for (int i = 0; i < 20; ++i) {
        loop.runFor(i == 10 ? 60000 : 0); // then 10 wait: e14 to e19 go into the summary
        alerts->notify(consoleEvent(Event::Command, 0, "", "e" + std::to_string(i)));
    }
    loop.runFor(400000);
    for (const auto& launch : launcher.envLaunches) // message@100 s
        started += launch.env.at("TORV_MESSAGE") + "@" + std::to_string(launch.at / 100000) + " ";
    EXPECT_EQ(started, "e0@0 e1@0 e2@0 e3@0 e4@1 e5@1 e6@1 e7@1 e8@2 e9@2 e10@2 e11@2 e12@3 e13@3 e19@3 ");
    EXPECT_EQ(launcher.envLaunches.back().env.at("TORV_SUPPRESSED"), "6");
    EXPECT_TRUE(lines.empty());

    alerts->configure("hang", AlertFilter::parse("all", unknown), 5);
    for (const Ms wait : {2000, 3000, 2000}) {
        alerts->notify(consoleEvent(Event::Command));
        loop.runFor(wait);
    }
    EXPECT_EQ(launcher.ended, 2); // the third's limit is not reached yet
    EXPECT_EQ(lines, std::vector<std::string>{"Alert Command Ended After Its Time Limit Of 5 Seconds: hang"});
    for (int i = 0; i < 3; ++i) // the places of the ended ones are free again
        alerts->notify(consoleEvent(Event::Command));
    EXPECT_EQ(launcher.envLaunches.size(), 21u);
    alerts.reset();
    loop.runFor(10000);
    EXPECT_EQ(launcher.ended, 2);
}

TEST(AlertListeners, StartUpFailuresAndBadValues)
{
    // config.ini cut short: replaced by the default file, then the stop.
    AlertConsole stopped("[alert]\ncommand = alert\n");
    stopped.dir.write("config.ini", "NORM\r\n");
    stopped.start();
    EXPECT_EQ(stopped.events(), (std::vector<std::string>{"settings-replaced", "abnormal-stop"}));
    EXPECT_EQ(stopped.alert("abnormal-stop").env.at("TORV_CODE"), "62");

    AlertConsole bad("[alert]\nevents = failure, bogus\ntimeout = 601\n[metrics]\nfile = relative.prom\n");
    bad.start();
    EXPECT_EQ(bad.logCount("torv.ini line 1: [alert] has no command; no alert is sent"), 1);
    EXPECT_EQ(bad.logCount("torv.ini line 2: events = failure, bogus: \"bogus\" is no event word; it is ignored"), 1);
    EXPECT_EQ(bad.logCount("torv.ini line 5: file = relative.prom: expected a full path; no metrics are written"), 1);
    EXPECT_EQ(bad.logCount("torv.ini line 3: timeout = 601: expected seconds from 1 to 600"), 1);
    EXPECT_TRUE(bad.events().empty());
}

TEST(AlertListeners, IsoTimesInUtc)
{
    EXPECT_EQ(isoUtcTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(isoUtcTime(SimClock::kStartUtcMs + 999), "2026-12-07T09:05:00Z");
    EXPECT_EQ(isoUtcTime(1709251199000), "2024-02-29T23:59:59Z");
    EXPECT_EQ(isoUtcTime(-1000), "1969-12-31T23:59:59Z");
}

} // namespace

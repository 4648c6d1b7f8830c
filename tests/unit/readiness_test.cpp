// Tasks that wait until they are ready: torv.ini's [task N] checks in the
// sequence, in virtual time, with scripted probes.
#include "base/ProcessName.h"
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

#include <filesystem>

using namespace torv;
using namespace torv::sim;
using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Lt;
using ::testing::Not;
using ::testing::Pair;

namespace {

constexpr const char* kDb = "tcp:127.0.0.1:5432";
constexpr const char* kDbKey = "127.0.0.1:5432";

class ReadinessTest : public ConsoleTest {
protected:
    // Three tasks, launched back to back unless a check holds them up; a
    // normal end ends the program.
    ConfigValues config(std::string launchOpt = "EXIT")
    {
        ConfigValues c;
        c.launchOpt = launchOpt;
        c.initTime = "1";
        c.checkTime = "1";
        c.tasks = {{"Database", "db"}, {"Application", "app"}, {"Front End", "web"}};
        return c;
    }
    void options(const std::string& text) { dir.write("torv.ini", text); }
    std::vector<std::string> launched() const
    {
        std::vector<std::string> out;
        for (const auto& [at, line] : launches())
            out.push_back(line);
        return out;
    }
    Ms launchedAt(const std::string& commandLine) const
    {
        for (const auto& [at, line] : launches())
            if (line == commandLine)
                return at;
        return -1;
    }
    int countLines(const std::string& line) const
    {
        auto lines = logLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
};

TEST_F(ReadinessTest, ReadyCheckHoldsTheNextTaskUntilItHolds)
{
    writeConfig(config());
    options("; the database first\r\n[task 1]\r\nlocation = db\r\nready = tcp:127.0.0.1:5432\r\n");
    sim.probe.holdsFrom(kDbKey, 3000);
    // A starter that ends well (a server left behind) does not end the wait.
    sim.launcher.endings["db"] = {1000, 0};
    EXPECT_TRUE(start());
    EXPECT_THAT(launched(), ElementsAreArray({"db", "app", "web"}));
    // Tried at once and 100 ms after each try's end; ready with the answer
    // of the try at 3 s.
    EXPECT_EQ(launchedAt("app"), 3000 + sim.probe.tryTakesMs);
    EXPECT_EQ(sim.probe.triesOf(kDbKey), 21);
    auto lines = logLines();
    auto db = std::find(lines.begin(), lines.end(), "Database");
    ASSERT_NE(db, lines.end());
    EXPECT_EQ(std::vector<std::string>(db, db + 4),
              (std::vector<std::string>{"Database", std::string("Waiting For: ") + kDb,
                                        std::string("Ready After 3 Seconds: ") + kDb, "Application"}));
    EXPECT_TRUE(sim.view.attentions.empty());
    // Meanwhile the status line says what is waited for, not the last count.
    EXPECT_THAT(sim.view.statusHistory, Contains(Pair(Lt(launchedAt("app")), std::string("Waiting For: ") + kDb)));
}

TEST(ReadinessValues, WhichProcessANameMeans)
{
    struct Row {
        const char *name, *commandName, *executable;
        bool answers;
    };
    const Row rows[] = {
        {"python3", "python3", "/usr/bin/python3.11", true}, // started through a link
        {"python3.11", "python3", "/usr/bin/python3.11", true},
        {"python", "python3", "/usr/bin/python3.11", false},           // a whole name, never a prefix
        {"torv_adapter_tests", "torv_adapter_te", "/opt/other", true}, // the 15 bytes the system keeps
        {"torv_adapter", "torv_adapter_te", "/opt/torv_adapter_tests", false},
        {"/usr/bin/python3.11", "python3", "/usr/bin/python3.11", true},
        {"bin/python3.11", "python3.11", "/usr/bin/python3.11", false}, // a path is the whole executable
        {"", "", "", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(processAnswersTo(row.name, row.commandName, row.executable), row.answers) << row.name;
}

// A console of its own for each row: three tasks back to back, EXIT after a
// normal end, and a path that never appears.
struct PolicyRun : SimConsole {
    explicit PolicyRun(const std::string& options, Ms tryTakesMs = 50)
    {
        sim.probe.never("/never");
        sim.probe.tryTakesMs = tryTakesMs;
        dir.write("torv.ini", options);
        dir.write("config.ini",
                  configLines({"EXIT", exchange.path(), "", "1", "1", "REMOTEON", "SOUNDON", "COMMENTSOFF", "Database",
                               "db", "Application", "app", "Front End", "web"}));
        try {
            form->Form_Load();
        } catch (const ProgramEnded&) {
            ended = true;
        }
    }
    bool ended = false;
};

TEST(ReadinessPolicies, EachTimeOutPolicy)
{
    struct Row {
        const char* options;
        std::vector<std::string> launched;
        bool ended; // the action after the sequence (EXIT) was taken
        const char* attention;
    };
    const std::string notReady = "Not Ready After 2 Seconds: path:/never";
    const Row rows[] = {
        {"[task 2]\nready = path:/never\ntimeout = 2\n", {"db", "app", "web"}, true, "WARNING: "},
        {"[task 2]\nready = path:/never\ntimeout = 2\non-timeout = skip\n", {"db", "app", "web"}, true, "WARNING: "},
        {"[task 2]\nbefore = path:/never\ntimeout = 2\non-timeout = skip\n", {"db", "web"}, true, "WARNING: "},
        {"[task 2]\nbefore = path:/never\ntimeout = 2\non-timeout = continue\n",
         {"db", "app", "web"},
         true,
         "WARNING: "},
        {"[task 2]\nready = path:/never\ntimeout = 2\non-timeout = stop\n", {"db", "app"}, false, "ERROR: "},
        {"[task 2]\nbefore = path:/never\ntimeout = 2\non-timeout = stop\n", {"db"}, false, "ERROR: "},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.options);
        PolicyRun run(row.options);
        std::vector<std::string> launched;
        for (const Launch& l : run.sim.launcher.launches)
            launched.push_back(l.commandLine);
        EXPECT_EQ(launched, row.launched);
        EXPECT_EQ(run.ended, row.ended);
        const bool stops = !row.ended;
        const std::string log = run.form->state().DumpString.text();
        EXPECT_THAT(log, HasSubstr("Waiting For: path:/never\r\n" + notReady + "\r\n" +
                                   (stops ? "Sequence Stopped At Task 2\r\n" : "")));
        EXPECT_EQ(log.find("Sequence Stopped") != std::string::npos, stops);
        EXPECT_EQ(run.sim.view.attentions, std::vector<std::string>{row.attention + notReady + " (not there yet)"});
        EXPECT_THAT(run.sim.sound.names(), Contains("failure.wav"));
        // A stopped sequence still ends as a normal one does: the remote poll
        // on, the buttons back, the result file written; only the action waits.
        EXPECT_THAT(log, HasSubstr("Enabling Command Interface"));
        EXPECT_TRUE(run.form->state().Timer2->enabled());
        EXPECT_TRUE(run.sim.view.isEnabled(Control::cmdRestart));
        EXPECT_EQ(run.exchange.read("Result.txt"), log + "\r\n");
    }
}

TEST_F(ReadinessTest, AProgramThatFailsEndsItsReadyWaitAtOnce)
{
    writeConfig(config());
    options("[task 1]\nready = tcp:127.0.0.1:5432\n");
    sim.probe.never(kDbKey);
    sim.launcher.endings["db"] = {2500, 3};
    EXPECT_TRUE(start());
    EXPECT_EQ(launchedAt("app"), 2500);
    const std::string ended = std::string("Ended With Status 3: ") + kDb;
    EXPECT_THAT(logLines(), Contains(ended));
    EXPECT_EQ(sim.view.attentions, std::vector<std::string>{"WARNING: " + ended + " (not there yet)"});
    // Only a task with ready checks is held; the others start as they always did.
    EXPECT_EQ(sim.launcher.started, 1);
}

TEST_F(ReadinessTest, TriesNeverOverlapAndTheLimitPausesWhileTheEditorIsOpen)
{
    writeConfig(config("NORM"));
    options("[task 1]\nbefore = path:/slow\nbefore = process:flipper\ntimeout = 7\n");
    sim.probe.never("/slow");
    sim.probe.flips("flipper");
    sim.probe.tryTakesMs = 2500;
    // The editor, open from 1.5 s to 6.5 s, stops the 1 s tick and so the limit.
    sim.dialogs.editorScript.push_back([&] { sim.events.runFor(5000); });
    sim.events.at(1500, [&] { form->cmdConfig_Click(); });
    start();
    std::vector<Ms> slowTries;
    for (const auto& t : sim.probe.tries)
        if (t.key == "/slow")
            slowTries.push_back(t.at);
    // A new try only once the last has ended and its pause is over (100 ms
    // for a path); none while the editor is open: the one due then waits
    // for the first tick after it.
    EXPECT_THAT(slowTries, ElementsAreArray({0, 7500, 10100}));
    EXPECT_EQ(sim.probe.triesOf("flipper"), 2);
    // Seven ticks: 1 s before the editor, then 6 more after it closed.
    EXPECT_EQ(launchedAt("db"), 12500);
    EXPECT_THAT(logLines(), IsSupersetOf({"Waiting For: process:flipper", "Ready After 4 Seconds: process:flipper",
                                          "Not Ready After 7 Seconds: path:/slow"}));
}

// How soon a check that failed is tried again, from the end of its last try:
// early in the wait, and after the step-down at 10 s.
TEST(ReadinessPolicies, EachKindsPaceAndTheTasksInterval)
{
    struct Row {
        const char* check;
        const char* key;
        const char* interval; // "": none
        Ms tryTakes;
        Ms early, late; // from one try's start to the next's
    };
    const Row rows[] = {
        {"tcp:db:5432", "db:5432", "", 50, 150, 300},
        {"path:/never", "/never", "", 50, 150, 300},
        {"process:db", "db", "", 50, 300, 300},
        {"http://db/up", "http://db/up", "", 50, 1050, 1050},
        {"command:probe-db", "probe-db", "", 50, 1050, 1050},
        {"tcp:db:5432", "db:5432", "0.5", 50, 550, 550}, // no step-down
        {"command:probe-db", "probe-db", "0.2", 50, 250, 250},
        {"tcp:db:5432", "db:5432", "", 2000, 2100, 2250}, // a slow try is never overlapped
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.check) + " interval " + row.interval);
        PolicyRun run(std::string("[task 2]\nready = ") + row.check + "\ntimeout = 14\n" +
                          (*row.interval ? std::string("interval = ") + row.interval + "\n" : ""),
                      row.tryTakes);
        std::vector<Ms> at;
        for (const auto& t : run.sim.probe.tries)
            if (t.key == row.key)
                at.push_back(t.at);
        ASSERT_GE(at.size(), 4u);
        EXPECT_EQ(at[1] - at[0], row.early);
        EXPECT_EQ(at.back() - at[at.size() - 2], row.late);
        EXPECT_EQ(run.sim.probe.mostInFlight, 1);
    }
}

TEST_F(ReadinessTest, ProblemsAreReportedOnceEachReadingAndStaleSectionsIgnored)
{
    writeConfig(config("NORM"));
    options("[task 1]\nlocation = old-db\nready = path:/never\n"
            "[task 2]\nready = nonsense\nfrobnicate = 1\n"
            "[task 9]\nready = path:/x\n");
    start();
    // The renumbered section guards nothing: no try, no wait.
    EXPECT_TRUE(sim.probe.tries.empty());
    EXPECT_THAT(launched(), ElementsAreArray({"db", "app", "web"}));
    std::vector<std::string> problems;
    for (const std::string& line : logLines())
        if (line.rfind("torv.ini", 0) == 0)
            problems.push_back(line);
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_THAT(problems[0], HasSubstr("torv.ini line 2: [task 1] was written for \"old-db\""));
    EXPECT_THAT(problems[3], HasSubstr("torv.ini line 7: "));
    std::vector<std::string> warnings;
    for (const std::string& p : problems)
        warnings.push_back("WARNING: " + p);
    EXPECT_EQ(sim.view.attentions, warnings);
    EXPECT_EQ(logLines()[0], "Seuquence Init");

    // A restart reads it again and reports it again, once.
    form->cmdRestart_Click();
    EXPECT_EQ(sim.view.attentions.size(), 8u);
    // Restart keeps the log: each problem twice now, once per reading.
    EXPECT_EQ(countLines(problems[0]), 2);
}

TEST_F(ReadinessTest, RestartReloadAndRemoteReportDuringACheck)
{
    writeConfig(config("MIN"));
    start(); // a first sequence without torv.ini: the buttons and the poll are on
    ASSERT_TRUE(form->state().Timer2->enabled());

    // A Restart brings a check that never holds and has no limit.
    sim.probe.never(kDbKey);
    const std::string alerts = "[alert]\ncommand = alert\nevents = sequence-complete\n";
    options(alerts + "[task 1]\nready = tcp:127.0.0.1:5432\ntimeout = 0\n");
    const Ms t0 = sim.events.now();
    sim.events.at(t0 + 20000, [&] { exchange.write("command.txt", "report"); });
    sim.events.at(t0 + 35000, [&] {
        // The remote poll went on: the report shows the wait.
        EXPECT_THAT(exchange.read("Result.txt"), HasSubstr("Waiting For: tcp:127.0.0.1:5432\r\n"));
        EXPECT_THAT(launched(), ElementsAreArray({"db", "app", "web", "db"}));
        // A second Restart runs a whole sequence; the waiting run stands down.
        options(alerts);
        form->cmdRestart_Click();
    });
    form->cmdRestart_Click();
    EXPECT_THAT(launched(), ElementsAreArray({"db", "app", "web", "db", "db", "app", "web"}));
    EXPECT_EQ(countLines("Enabling Command Interface"), 2);
    // Nor does it complete a sequence or take the action after one.
    EXPECT_EQ(sim.launcher.envLaunches.size(), 1u);
    EXPECT_EQ(sim.view.minimizations, 2); // the first sequence's and the Restart's

    // The editor's reload during a check: its short countdown hands back, and
    // the waiting run goes on with what it read (no check left, no task 2).
    options("[task 2]\nbefore = tcp:127.0.0.1:5432\ntimeout = 0\n");
    sim.launcher.launches.clear();
    sim.dialogs.editorScript.push_back([&] {
        ConfigValues c = config("NORM");
        c.initTime = "5";
        c.tasks[1].second = ""; // task 2 is gone
        writeConfig(c);
        std::filesystem::remove(dir.file("torv.ini"));
        form->state().Reloading = true;
    });
    sim.events.after(3000, [&] { form->cmdConfig_Click(); });
    form->cmdRestart_Click();
    EXPECT_THAT(launched(), ElementsAreArray({"db", "web"}));
    EXPECT_TRUE(sim.dialogs.messages.empty());              // no launch of an empty slot
    EXPECT_EQ(countLines("Enabling Command Interface"), 1); // the reload cleared the log
    for (const std::string& line : logLines())
        EXPECT_THAT(line, Not(HasSubstr("Starting Application Execution:"))); // no second announcement
    // No wait left behind tries on: a try under way ends unheard, no new one starts.
    const size_t tries = sim.probe.tries.size();
    sim.events.runFor(5000);
    EXPECT_EQ(sim.probe.inFlight, 0);
    EXPECT_EQ(sim.probe.tries.size(), tries);
}

} // namespace

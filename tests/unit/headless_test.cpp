// The console without a window: what reaches the journal and standard error,
// a failed launch that holds nothing up, and the exit statuses.
#include "headless/HeadlessConsole.h"
#include "headless/HeadlessDialogs.h"
#include "headless/Inert.h"
#include "headless/JournalView.h"
#include "headless/ServiceNotifier.h"
#include "headless/StatusFilter.h"
#include "ports/Paths.h"
#include "settings/ConfigFile.h"
#include "support/ConsoleFixture.h"
#include "support/FileTricks.h"

#include <gmock/gmock.h>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

struct RecordingSink : LineSink {
    void out(const std::string& line) override { lines.push_back("out " + line); }
    void err(const std::string& line) override { lines.push_back("err " + line); }
    std::vector<std::string> lines; // both streams, in the order written
    std::vector<std::string> stream(const std::string& which) const
    {
        std::vector<std::string> picked;
        for (const std::string& l : lines)
            if (l.rfind(which + " ", 0) == 0)
                picked.push_back(l.substr(which.size() + 1));
        return picked;
    }
};

class HeadlessTest : public ConsoleTest {
protected:
    HeadlessTest()
    {
        form = std::make_unique<Form1>(Ports{sim.events, sim.clock, sim.launcher, sim.sound, dialogs, sim.program, tray,
                                             cpu, 0, sim.probe, sim.web},
                                       view);
    }
    ~HeadlessTest() override { form.reset(); } // before the ports below go

    // Start-up as the headless program runs it; ending from inside is status 0.
    int run()
    {
        try {
            return HeadlessConsole(*form, view, sink).start();
        } catch (const ProgramEnded&) {
            return exitstatus::Ok;
        }
    }

    RecordingSink sink;
    JournalView view{sink};
    HeadlessDialogs dialogs{sink};
    InertTrayShell tray;
    NoCpuUsage cpu;
};

TEST_F(HeadlessTest, FailedLaunchIsAnErrorLineAndTheSequenceGoesOnToThePoll)
{
    writeConfig({.initTime = "3",
                 .checkTime = "3",
                 .tasks = {{"Task one", "one"}, {"Missing", "missing --x"}, {"Task two", "two"}}});
    sim.launcher.failing["missing --x"] = {53, "File not found"};
    ASSERT_EQ(run(), HeadlessConsole::kKeepRunning);

    // Each countdown by its first number only; the error between the task's
    // line and "Command Failed", as it happened.
    EXPECT_THAT(sink.lines,
                ElementsAre("out Seuquence Init", "out Seconds Until Execution Start:3",
                            "out Starting Application Execution:12/7/2026:09:05:02",
                            "out Seconds Until Next Execution Start:3", "out Task one",
                            "out Seconds Until Next Execution Start:3", "out Missing",
                            StartsWith("err ERROR: 53 File not found"), "out Command Failed",
                            "out Seconds Until Next Execution Start:3", "out Task two",
                            "out Enabling Command Interface", "out Command Interface Active. Waiting For Remote"));
    // Nobody clicked, nothing waited: the next task came after its usual wait.
    ASSERT_EQ(sim.launcher.launches.size(), 3u);
    EXPECT_EQ(sim.launcher.launches[2].at - sim.launcher.launches[1].at, 2000);
    EXPECT_EQ(sim.dialogs.editorOpenings, 0);
    EXPECT_FALSE(form->state().CPUTimer->enabled()); // no chart, no wake-ups for it

    // The remote poll runs on; a quoted line break cannot forge a second line.
    exchange.write("command.txt", "report\r\n");
    sim.events.runFor(10000);
    exchange.write("command.txt", "\"run\r\nERROR: forged\"\r\n");
    sim.events.runFor(10000);
    const auto out = sink.stream("out");
    ASSERT_GE(out.size(), 2u);
    EXPECT_THAT(out[out.size() - 2], StartsWith("Report Requested and Generated at:12/7/2026:09:05:"));
    EXPECT_THAT(out.back(), StartsWith("Executing Remote Command:run  ERROR: forged at:"));
    EXPECT_THAT(sink.stream("err"), ElementsAre(StartsWith("ERROR: 53 File not found")));
}

class HeadlessExitTest;

struct ExitCase {
    const char* name;
    std::function<void(HeadlessExitTest&)> setUp;
    int status;
    std::vector<std::string> errParts; // each in the error line of the same index
};

class HeadlessExitTest : public HeadlessTest, public ::testing::WithParamInterface<ExitCase> {
public:
    void write(const std::string& name, const std::string& text) { dir.write(name, text); }
    void config(const ConfigValues& spec) { writeConfig(spec); }
    void failing(const std::string& commandLine) { sim.launcher.failing[commandLine] = {53, "File not found"}; }
};

const std::string kNineLines = configLines({"NORM", "x", "", "5", "5", "REMOTEON", "SOUNDON", "COMMENTSOFF", "lonely"});

TEST_P(HeadlessExitTest, EndsWithItsStatusAndSaysWhy)
{
    GetParam().setUp(*this);
    EXPECT_EQ(run(), GetParam().status);
    const auto err = sink.stream("err");
    ASSERT_EQ(err.size(), GetParam().errParts.size()) << ::testing::PrintToString(err);
    for (size_t i = 0; i < err.size(); ++i) {
        std::string part = GetParam().errParts[i];
        for (size_t at; (at = part.find("DIR")) != std::string::npos;) {
            // "DIR/x" stands for the file x in the program folder, written the platform's way.
            const bool file = at + 3 < part.size() && part[at + 3] == '/';
            part.replace(at, file ? 4 : 3, file ? dir.path() + pathSeparator() : dir.path());
        }
        EXPECT_THAT(err[i], HasSubstr(part));
    }
    EXPECT_EQ(sim.dialogs.editorOpenings, 0);
    if (GetParam().status != exitstatus::Ok) {
        EXPECT_TRUE(sim.launcher.launches.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HeadlessExitTest,
    ::testing::Values(ExitCase{"NoSettingsFile",
                               [](HeadlessExitTest&) {},
                               exitstatus::NeedsSettings,
                               {"DIR/config.ini is missing", "no config.ini.example in DIR"}},
                      ExitCase{"NoSettingsFileWithTheExample",
                               [](HeadlessExitTest& t) { t.write("config.ini.example", "NORM\r\n"); },
                               exitstatus::NeedsSettings,
                               {"DIR/config.ini is missing", "Copy DIR/config.ini.example to DIR/config.ini"}},
                      ExitCase{"FirstRunMarker",
                               [](HeadlessExitTest& t) { t.write("config.ini", "FIRSTRUN\r\n"); },
                               exitstatus::NeedsSettings,
                               {"its first value is FIRSTRUN", "start torv --headless again"}},
                      ExitCase{"CommentsOnWithoutCommentsFile",
                               [](HeadlessExitTest& t) { t.config({.comments = "COMMENTSON"}); },
                               exitstatus::NeedsSettings,
                               {"DIR/comments.txt was missing", "COMMENTSOFF"}},
                      ExitCase{"DamagedSettingsFile",
                               [](HeadlessExitTest& t) { t.write("config.ini", kNineLines); },
                               exitstatus::AbnormalStop,
                               {"ERROR: Abnormal Stop:62 Input past end of file",
                                std::string("ERROR: ") + kAbnormalStopText}},
                      ExitCase{"ExitAfterTheSequence",
                               [](HeadlessExitTest& t) {
                                   t.config({.launchOpt = "EXIT", .initTime = "1", .tasks = {{"gone", "gone"}}});
                                   t.failing("gone");
                               },
                               exitstatus::Ok,
                               {"ERROR: 53 File not found"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Start-up follows a linked config.ini; the notice reads it the same way.
TEST_F(HeadlessTest, FirstRunMarkerBehindALinkIsNamedAsSuch)
{
    dir.write("settings.ini", "FIRSTRUN\r\n");
    if (!plantLink(dir.file("settings.ini"), dir.file("config.ini")))
        GTEST_SKIP() << "no links here";
    EXPECT_EQ(run(), exitstatus::NeedsSettings);
    EXPECT_THAT(sink.stream("err"), ElementsAre(HasSubstr("its first value is FIRSTRUN"), HasSubstr("again")));
}

TEST_F(HeadlessTest, DamagedFileGetsTheDefaultFileAndABackupFirst)
{
    dir.write("config.ini", kNineLines);
    EXPECT_EQ(run(), exitstatus::AbnormalStop);
    EXPECT_EQ(dir.read("config.ini"), defaultConfigText());
    EXPECT_EQ(dir.read("config.ini.bak"), kNineLines);
    EXPECT_TRUE(sink.stream("out").empty());
}

// What a service manager hears, at its virtual time.
struct RecordingManager : ServiceManager {
    explicit RecordingManager(SimEventLoop& loop) : loop_(loop) {}
    void ready() override { heard.push_back({loop_.now(), "READY=1"}); }
    void status(const std::string& text) override { heard.push_back({loop_.now(), "STATUS=" + text}); }
    void stopping() override { heard.push_back({loop_.now(), "STOPPING=1"}); }
    void watchdog() override { ++watchdogs; }
    int watchdogIntervalMs() const override { return 1000; }
    SimEventLoop& loop_;
    std::vector<std::pair<Ms, std::string>> heard;
    int watchdogs = 0;
};

TEST_F(HeadlessTest, ServiceManagerHearsReadyEachStatusChangeAtMostOnceASecondAndTheEnd)
{
    writeConfig({.launchOpt = "EXIT", .initTime = "3", .checkTime = "2", .tasks = {{"One", "one"}, {"Two", "two"}}});
    RecordingManager manager(sim.events);
    ServiceNotifier notifier(sim.events, manager);
    form->addListener(notifier);
    const Ms begin = sim.events.now();
    EXPECT_EQ(run(), exitstatus::Ok); // EXIT ends the program after the sequence
    // The second task's wait shows the text the first one left: no news.
    using P = std::pair<Ms, std::string>;
    EXPECT_THAT(manager.heard, ElementsAre(P{begin, "READY=1"}, P{begin, "STATUS=Seconds Until Execution Start:3"},
                                           P{begin + 1000, "STATUS=Seconds Until Execution Start:2"},
                                           P{begin + 2000, "STATUS=Seconds Until Next Execution Start:2"},
                                           P{begin + 4000, "STATUS=Command Interface Active. Waiting For Remote"},
                                           P{begin + 4000, "STOPPING=1"}));
    EXPECT_EQ(manager.watchdogs, 4);

    // Changes within a second: the first at once, the newest when the second
    // is over, none between; a quiet second shuts the gate again.
    sim.events.runFor(2000);
    const Ms at = sim.events.now();
    manager.heard.clear();
    for (const char* text : {"a", "b", "c"})
        notifier.statusChanged(text);
    sim.events.runFor(2500);
    notifier.statusChanged("d");
    EXPECT_THAT(manager.heard, ElementsAre(P{at, "STATUS=a"}, P{at + 1000, "STATUS=c"}, P{at + 2500, "STATUS=d"}));
}

TEST(StatusFilter, KeepsChangesButOnlyTheFirstNumberOfEachCountdown)
{
    StatusFilter filter("SERVER COMMND CENTER");
    const std::vector<std::pair<std::string, bool>> steps = {
        {"SERVER COMMND CENTER", false},
        {"Seconds Until Execution Start:30", true},
        {"Seconds Until Execution Start:29", false},
        {"Seconds Until Execution Start:29", false},
        {"Seconds Until Execution Start:2", false},
        {"Seconds Until Next Execution Start:10", true}, // other words
        {"Seconds Until Next Execution Start:9", false},
        {"Seconds Until Next Execution Start:10", true}, // the next task's wait
        {"Waiting For: path:/srv", false},               // the log says so
        {"Command Interface Active. Waiting For Remote", true},
        {"Waiting for Remote Commands", true},
        {"Remote Commands Disabled", true},
        {"Remote Commands Disabled", false},
    };
    for (const auto& [status, wanted] : steps)
        EXPECT_EQ(filter.wanted(status), wanted) << status;
}

} // namespace

// The external address watcher in virtual time, against a scripted web
// service: the baseline, changes and what they set off, outages, and the
// options changing under it; then the console that runs it from torv.ini.
#include "ipwatch/IpWatcher.h"
#include "support/ConsoleFixture.h"

#include <gmock/gmock.h>

using namespace torv;
using namespace torv::sim;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// The console's side: what the watcher logs, plays and tells.
struct RecordingConsole : ConsoleActions {
    explicit RecordingConsole(SimClock& clock) : clock(clock) {}
    void appendLog(const std::string& entry) override { lines.push_back(entry); }
    std::string appendStamped(const std::string& entry, bool) override
    {
        lines.push_back(entry + clock.dateText() + ":" + clock.timeText());
        return lines.back();
    }
    void showLog() override {}
    void setLogBox(const std::string&) override {}
    void setStatus(const std::string&) override {}
    void needsAttention(const std::string& line) override { lines.push_back("ATTENTION " + line); }
    void notify(const ConsoleEvent& event) override
    {
        events.push_back(eventWord(event.event) + (": " + event.message));
    }
    void playCue(const char* cueFile) override { cues.push_back(cueFile); }
    void setControlEnabled(Control, bool) override {}
    void setRemoteToggle(bool) override {}
    void showWindow() override {}
    void focusWindow() override {}
    void hideWindow() override {}
    void minimizeWindow() override {}
    void requestEnd() override { throw ProgramEnded{}; }

    SimClock& clock;
    std::vector<std::string> lines, events, cues;
};

// A watcher on the simulated platform, over a folder of its own.
struct Watched {
    IpOptions options(int every = 10) const
    {
        IpOptions o;
        o.url = "https://ip.example.net/";
        o.everyMinutes = every;
        o.writeTo = dir.file("external-ip.txt");
        o.launch = "update-dns --now";
        o.alarm = true;
        return o;
    }
    std::vector<Ms> getTimes() const
    {
        std::vector<Ms> out;
        for (const auto& g : sim.web.gets)
            out.push_back(g.at);
        return out;
    }
    void minutes(double m) { sim.events.runFor(static_cast<Ms>(m * 60000)); }

    TempDir dir;
    SimPlatform sim{dir.path()};
    RecordingConsole console{sim.clock};
    Ports ports{sim.events, sim.clock, sim.launcher, sim.sound, sim.dialogs, sim.program, sim.tray,
                sim.cpu,    0,         sim.probe,    sim.web};
    IpWatcher watcher{console, ports};
};

class IpWatchTest : public ::testing::Test, protected Watched {};

TEST_F(IpWatchTest, BaselineThenAChangeSetsOffEverythingOnceAndNoChangeNothing)
{
    sim.web.answers(200, "203.0.113.7\n");
    watcher.configure(options());
    sim.events.runFor(9999);
    EXPECT_THAT(sim.web.gets, IsEmpty());
    sim.events.runFor(1 + sim.web.takesMs);
    ASSERT_EQ(sim.web.gets.size(), 1u);
    EXPECT_EQ(sim.web.gets[0].limitMs, 10000);
    EXPECT_EQ(sim.web.gets[0].maxBody, 64u * 1024);
    EXPECT_THAT(console.lines, ElementsAre("External IP: 203.0.113.7"));
    EXPECT_EQ(dir.read("external-ip.txt"), "203.0.113.7\n");
    EXPECT_THAT(sim.launcher.launches, IsEmpty());
    EXPECT_THAT(console.cues, IsEmpty());
    EXPECT_THAT(console.events, IsEmpty());

    // A page that holds the address among other words; checked every 10
    // minutes from the start.
    sim.web.answers(200, "<html><body>Your address is 198.51.100.23.</body></html>");
    minutes(10);
    EXPECT_THAT(getTimes(), ElementsAre(10000, 600000));
    EXPECT_THAT(console.lines, ElementsAre("External IP: 203.0.113.7",
                                           "External IP Changed: 203.0.113.7 To 198.51.100.23 at:12/7/2026:09:15:00"));
    EXPECT_EQ(dir.read("external-ip.txt"), "198.51.100.23\n");
    ASSERT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(sim.launcher.launches[0].commandLine, "update-dns --now");
    EXPECT_EQ(sim.launcher.launches[0].environment,
              (ExtraEnvironment{{"TORV_IP", "198.51.100.23"}, {"TORV_OLD_IP", "203.0.113.7"}}));
    EXPECT_THAT(console.cues, ElementsAre(std::string("ipchange.wav")));
    EXPECT_THAT(console.events, ElementsAre("ip-changed: External IP Changed: 203.0.113.7 To 198.51.100.23"));

    minutes(30);
    EXPECT_EQ(sim.web.gets.size(), 5u);
    EXPECT_EQ(console.lines.size(), 2u);
    EXPECT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(console.cues.size(), 1u);
}

TEST_F(IpWatchTest, EachKindOfFailureIsLoggedOncePerOutageWithItsRecovery)
{
    struct Case {
        const char* name;
        std::function<void(ScriptedWeb&)> breakIt;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"no network", [](ScriptedWeb& w) { w.unreachable("Could not resolve host: ip.example.net"); },
         "Could not resolve host: ip.example.net"},
        {"hung", [](ScriptedWeb& w) { w.hangs = true; }, "timed out"},
        {"status", [](ScriptedWeb& w) { w.answers(503, "198.51.100.1"); }, "status 503"},
        {"redirect", [](ScriptedWeb& w) { w.answers(302, "198.51.100.1"); }, "status 302"},
        {"no address", [](ScriptedWeb& w) { w.answers(200, "rate limited, try 10.5 later"); },
         "no IPv4 address in the answer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Watched w;
        w.sim.web.answers(200, "203.0.113.7");
        IpOptions o = w.options(1);
        o.writeTo.clear();
        w.watcher.configure(o);
        w.sim.events.runFor(11000);
        c.breakIt(w.sim.web);
        w.minutes(3);
        w.sim.web.hangs = false;
        w.sim.web.answers(200, "203.0.113.7");
        w.minutes(2);
        c.breakIt(w.sim.web);
        w.minutes(1);
        const std::string failed = "External IP Check Failed: " + c.reason;
        EXPECT_THAT(w.console.lines,
                    ElementsAre("External IP: 203.0.113.7", failed, "External IP Check Working Again", failed));
        EXPECT_THAT(w.console.events, ElementsAre("ip-check-failed: " + c.reason, "ip-check-failed: " + c.reason));
        EXPECT_EQ(w.watcher.knownAddress(), "203.0.113.7");
    }
}

TEST_F(IpWatchTest, TheFileFromAnEarlierRunIsTheBaseline)
{
    struct Case {
        std::string kept;
        IpFamily family;
        std::string answer;
        std::vector<std::string> lines;
        std::string fileAfter;
    };
    const std::vector<Case> cases = {
        {"192.0.2.1\r\n",
         IpFamily::IPv4,
         "192.0.2.9",
         {"External IP Changed: 192.0.2.1 To 192.0.2.9 at:12/7/2026:09:05:10"},
         "192.0.2.9\n"},
        // The same address: the baseline line, and the file is left as it is.
        {"192.0.2.1\r\n", IpFamily::IPv4, "192.0.2.1", {"External IP: 192.0.2.1"}, "192.0.2.1\r\n"},
        // Nothing usable in the file: the first answer is the baseline.
        {"garbage\n", IpFamily::IPv4, "192.0.2.9", {"External IP: 192.0.2.9"}, "192.0.2.9\n"},
        // A dual-stack service: only the watched family counts, in one written form.
        {"2001:DB8:0:0::1\n",
         IpFamily::IPv6,
         "192.0.2.9 2001:db8::1",
         {"External IP: 2001:db8::1"},
         "2001:DB8:0:0::1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer + " over " + c.kept);
        Watched w;
        w.dir.write("external-ip.txt", c.kept);
        w.sim.web.answers(200, c.answer);
        IpOptions o = w.options();
        o.family = c.family;
        o.alarm = false;
        w.watcher.configure(o);
        w.sim.events.runFor(11000);
        EXPECT_EQ(w.console.lines, c.lines);
        EXPECT_EQ(w.dir.read("external-ip.txt"), c.fileAfter);
        EXPECT_EQ(w.sim.launcher.launches.size(), c.lines[0].find("Changed") != std::string::npos ? 1u : 0u);
        EXPECT_THAT(w.console.cues, IsEmpty()); // alarm off
    }
}

TEST_F(IpWatchTest, NewOptionsKeepTheAddressAndRescheduleOnlyForANewUrlOrInterval)
{
    sim.web.answers(200, "203.0.113.7");
    watcher.configure(options());
    sim.events.runFor(11000);
    ASSERT_EQ(watcher.knownAddress(), "203.0.113.7");

    // Another program and no alarm: the checks keep their times.
    IpOptions o = options();
    o.launch = "notify-admins";
    o.alarm = false;
    sim.events.runFor(60000);
    watcher.configure(o);
    sim.web.answers(200, "203.0.113.8");
    minutes(9);
    EXPECT_THAT(getTimes(), ElementsAre(10000, 600000));
    EXPECT_EQ(sim.launcher.launches.at(0).commandLine, "notify-admins");
    EXPECT_THAT(console.cues, IsEmpty());

    // A new interval: a check 10 s later, then every 2 minutes; the known
    // address stays, so there is no second baseline line.
    const Ms now = sim.events.now();
    o.everyMinutes = 2;
    watcher.configure(o);
    sim.web.answers(200, "203.0.113.9");
    minutes(4.5);
    EXPECT_THAT(getTimes(), ElementsAre(10000, 600000, now + 10000, now + 120000, now + 240000));
    EXPECT_EQ(console.lines.back(), "External IP Changed: 203.0.113.8 To 203.0.113.9 at:12/7/2026:09:15:21");
    EXPECT_EQ(console.lines.size(), 3u);

    // A GET under way when the url changes tells nothing of the new service.
    sim.web.hangs = true;
    sim.events.runUntil(now + 361000); // just after the next GET started
    o.url = "https://other.example.net/";
    watcher.configure(o);
    sim.web.hangs = false;
    minutes(1);
    EXPECT_EQ(console.lines.size(), 3u) << console.lines.back();

    // No url: no more checks at all.
    const std::size_t asked = sim.web.gets.size();
    watcher.configure(IpOptions{});
    minutes(60);
    EXPECT_EQ(sim.web.gets.size(), asked);
}

class IpConsoleTest : public ConsoleTest {
protected:
    void SetUp() override
    {
        ConfigValues c;
        c.initTime = "1";
        c.checkTime = "1";
        writeConfig(c);
        sim.web.answers(200, "203.0.113.7");
    }
    std::size_t count(const std::string& line) const
    {
        const auto lines = logLines();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
    }
};

TEST_F(IpConsoleTest, NoSectionNoWatchingUntilTheIpOptionsWindowSavesOne)
{
    dir.write("torv.ini", "[task 1]\r\nlocation = x\r\n");
    EXPECT_FALSE(start());
    sim.events.runFor(3600 * 1000);
    EXPECT_THAT(sim.web.gets, IsEmpty());
    // The window's Ok, then the editor's Cancel: watching starts all the same.
    sim.dialogs.editorScript.push_back([this] { form->state().ip.url = "http://ip.test/"; });
    form->cmdConfig_Click();
    const Ms closed = sim.events.now();
    sim.events.runFor(20000);
    ASSERT_EQ(sim.web.gets.size(), 1u);
    EXPECT_EQ(sim.web.gets[0].at, closed + 10000);
}

TEST_F(IpConsoleTest, StartUpReadsTheSectionAndAReloadKeepsTheAddress)
{
    dir.write("torv.ini", "[ip]\r\nurl = http://ip.test/\r\nevery = 0\r\nalarm = loud\r\nfamily = IPV4\r\n"
                          "launch = update-dns\r\n");
    EXPECT_FALSE(start());
    sim.events.runFor(20000);
    EXPECT_EQ(count("torv.ini line 3: every = 0: expected minutes from 1 to 1440"), 1u);
    EXPECT_EQ(count("torv.ini line 4: alarm = loud: expected on or off"), 1u);
    EXPECT_EQ(count("External IP: 203.0.113.7"), 1u);
    ASSERT_EQ(sim.web.gets.size(), 1u);
    EXPECT_EQ(sim.web.gets[0].url, "http://ip.test/");

    // The address changes while the settings editor is open, whose
    // Ok+Restart then reloads the same section: the change is acted on at
    // once, the reload neither takes a new baseline nor moves the checks
    // (every 10 minutes, the default for a bad value).
    ConfigValues c;
    c.initTime = "1";
    editorSavesAndRestarts(c, 600000);
    sim.events.at(300000, [this] { sim.web.answers(200, "203.0.113.8"); });
    form->cmdConfig_Click();
    ASSERT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(sim.launcher.launches[0].at, 600000 + sim.web.takesMs);
    EXPECT_EQ(sim.launcher.launches[0].commandLine, "update-dns");
    sim.events.runFor(600000);
    EXPECT_EQ(sim.web.gets.size(), 3u);
    EXPECT_EQ(sim.web.gets[2].at, 1200000);
    EXPECT_EQ(count("External IP: 203.0.113.8"), 0u);
    EXPECT_EQ(sim.launcher.launches.size(), 1u);
    EXPECT_EQ(form->state().ip.everyMinutes, 10);
}

} // namespace

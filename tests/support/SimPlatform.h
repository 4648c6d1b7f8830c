#pragma once
// A simulated platform: virtual time, timers, actions scheduled at a virtual
// instant, and recording fakes for the ports. A 30-second countdown runs in
// microseconds and every effect carries its virtual time stamp.
#include "console/ConsoleView.h"
#include "ports/Clock.h"
#include "ports/CpuUsage.h"
#include "ports/Dialogs.h"
#include "ports/EventLoop.h"
#include "ports/Launcher.h"
#include "ports/Program.h"
#include "ports/ReadinessProbe.h"
#include "ports/Sound.h"
#include "ports/TrayShell.h"
#include "ports/WebClient.h"
#include "support/RecordingScope.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace torv::sim {

using Ms = long long;

// Thrown by the simulated Program when the program ends; unwinds every wait.
struct ProgramEnded {};

// Thrown when a wait has nothing left to wait for (the real program would hang).
struct Deadlock : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class SimEventLoop;

class SimTimer : public Timer {
public:
    SimTimer(SimEventLoop& loop, int interval, std::function<void()> tick);
    ~SimTimer() override;
    void setEnabled(bool on) override;
    void resume() override;
    bool enabled() const override { return enabled_; }
    int intervalMs() const override { return interval_; }

    SimEventLoop& loop_;
    int interval_;
    std::function<void()> tick_;
    bool enabled_ = false;
    Ms due_ = 0;
    long long seq_ = 0; // creation order breaks ties
    bool firing_ = false;
};

class SimEventLoop : public EventLoop {
public:
    void processPending() override;
    void waitForEvents() override;
    std::unique_ptr<Timer> createTimer(int intervalMs, bool enabled, std::function<void()> onTick) override;
    // Virtual time has one thread: a posted call is an event due now.
    void post(std::function<void()> fn) override { at(now_, std::move(fn)); }

    Ms now() const { return now_; }
    // Runs fn when virtual time reaches t (as an event: inside a wait or processPending).
    void at(Ms t, std::function<void()> fn);
    void after(Ms dt, std::function<void()> fn) { at(now_ + dt, std::move(fn)); }
    // Lets events run until virtual time t (a modal dialog's own loop).
    void runUntil(Ms t);
    void runFor(Ms dt) { runUntil(now_ + dt); }
    // Stops the whole simulation with Deadlock beyond this instant.
    Ms limit = 24LL * 3600 * 1000;
    // Asked this many times in a row to process events at one instant with
    // nothing due, a caller is spinning: the real program would burn a core
    // there (or hang), so the test fails at once.
    int spinLimit = 1000;

    std::vector<SimTimer*> timers;
    long long timerSeq = 0;
    int waits = 0; // how many times a wait blocked

private:
    friend class SimTimer;
    struct Action {
        Ms due;
        long long seq;
        std::function<void()> fn;
    };
    // The earliest due event, or nothing.
    bool nextDue(Ms& due) const;
    // Handles one event due at or before `upTo`; false when none is.
    bool handleOne(Ms upTo);

    // Notes a processPending that found nothing due; fails on a spin.
    void noteIdlePass();

    Ms now_ = 0;
    long long actionSeq_ = 0;
    int idlePasses_ = 0; // processPending calls in a row with nothing due
    Ms idleAt_ = -1;     // ... all at this instant
    std::vector<Action> actions_;
};

class SimClock : public Clock {
public:
    explicit SimClock(const SimEventLoop& loop) : loop_(loop) {}
    // Start of virtual time: 7 Dec 2026 09:05:00.
    DateTimeFields start{2026, 12, 7, 9, 5, 0};
    DateTimeFields now() const override;
    std::string dateText() const override;
    std::string timeText() const override;
    // The start of virtual time is this instant in UTC.
    long long utcMilliseconds() const override { return kStartUtcMs + loop_.now(); }
    static constexpr long long kStartUtcMs = 1796634300000; // 2026-12-07 09:05:00 UTC

private:
    const SimEventLoop& loop_;
};

struct Launch {
    Ms at;
    std::string commandLine;
    WindowStyle style;
    ExtraEnvironment environment;
};

class RecordingLauncher : public Launcher {
public:
    explicit RecordingLauncher(const SimEventLoop& loop) : loop_(loop) {}
    void run(const std::string& commandLine, WindowStyle style) override;
    void runWithEnvironment(const std::string& commandLine, WindowStyle style, const ExtraEnvironment& extra) override;
    // A process held until it ends: as `endings` says, else never.
    std::unique_ptr<RunningProcess> start(const std::string& commandLine, WindowStyle style) override;
    // Command lines whose started process ends: after how long, with what status.
    std::map<std::string, std::pair<Ms, int>> endings;
    int started = 0;
    // Held processes ended by RunningProcess::end() before they were over.
    int ended = 0;
    // Held processes asked to stop; those started from `ignoringStop` go on.
    int stopped = 0;
    std::set<std::string> ignoringStop;
    // Ends the latest held process started (start(), not an alert's
    // startWithEnvironment) with this command line now, as an event due now:
    // a crash at a moment the test chooses. False when there is none, or
    // nobody listens to its end (no onEnd, dropped), or it has ended.
    bool endStarted(const std::string& commandLine, int status);
    void openInTextEditor(const std::string& path) override;
    std::vector<Launch> launches;
    // Started with extra variables (the alert command): kept apart from the
    // tasks' launches. Fails and ends as `failing` and `endings` say.
    struct EnvLaunch {
        Ms at;
        std::string commandLine;
        std::map<std::string, std::string> env;
    };
    std::vector<EnvLaunch> envLaunches;
    std::unique_ptr<RunningProcess> startWithEnvironment(const std::string& commandLine,
                                                         const ExtraEnvironment& extra) override;
    // Command lines whose launch fails, with the failure they give.
    std::map<std::string, std::pair<int, std::string>> failing;

private:
    const SimEventLoop& loop_;
    std::map<std::string, std::function<bool(int)>> enders_;
};

struct Cue {
    Ms at;
    std::string path;
};

class RecordingSound : public Sound {
public:
    explicit RecordingSound(const SimEventLoop& loop) : loop_(loop) {}
    void play(const std::string& path) override { cues.push_back({loop_.now(), path}); }
    std::vector<Cue> cues;
    // Just the file names, in order.
    std::vector<std::string> names() const;

private:
    const SimEventLoop& loop_;
};

struct ShownMessage {
    Ms at;
    std::string text;
};

// Message boxes and the settings editor answer from a script. A box with no
// script is closed at once with OK.
class ScriptedDialogs : public Dialogs {
public:
    explicit ScriptedDialogs(SimEventLoop& loop) : loop_(loop) {}
    Answer messageBox(const std::string& text, bool withCancel) override;
    void showSettingsEditor() override;
    std::string openFile(const OpenFileRequest& request) override;

    std::vector<ShownMessage> messages;
    // How long a message box stays open (events go on meanwhile).
    Ms messageBoxOpenFor = 0;
    // Each opening of the settings editor takes the next handler; none left is
    // a test failure.
    std::deque<std::function<void()>> editorScript;
    int editorOpenings = 0;
    std::deque<std::string> openFileAnswers;
    std::vector<OpenFileRequest> openFileRequests;
    // Held while the editor is open, as the real editor holds it.
    ReadinessProbe* probe = nullptr;

private:
    SimEventLoop& loop_;
};

class SimProgram : public Program {
public:
    explicit SimProgram(std::string folder) : folder_(std::move(folder)) {}
    std::string folder() const override { return folder_; }
    std::string driveRoot() const override { return driveRoot_.empty() ? folder_ : driveRoot_; }
    Version version() const override { return {2, 2, 8}; }
    std::string fileDescription() const override { return "TORV Server Console"; }
    std::string shutdownCommand() const override { return "shutdown -h now"; }
    std::string restartCommand() const override { return "shutdown -r now"; }
    ProgramFileFilters programFileFilters() const override { return {{"Sim Scripts(*.sim)", "Sim Programs (*.x)"}, 1}; }
    std::optional<std::string> environment(const std::string& name) const override;
    std::string hostName() const override { return "simhost"; }
    bool anotherInstanceRunning() override { return otherInstance; }
    [[noreturn]] void endNow() override;

    std::map<std::string, std::string> env;
    bool otherInstance = false;
    int ended = 0;
    // Held processes asked to stop; those started from `ignoringStop` go on.
    int stopped = 0;
    std::set<std::string> ignoringStop;
    std::string driveRoot_;

private:
    std::string folder_;
};

// A CPU usage component that answers from a script (the last answer repeats).
class SimCpuFactory : public CpuUsageFactory {
public:
    std::unique_ptr<CpuUsage> create(const std::string& progId) override;
    std::deque<double> samples{0};
    bool fails = false;
    int created = 0;
};

// Records the console window's state.
class RecordingView : public ConsoleView {
public:
    explicit RecordingView(const SimEventLoop& loop) : loop_(loop) {}
    void setCaption(const std::string& c) override { caption = c; }
    void setStatus(const std::string& text) override;
    void setLogText(const std::string& text) override
    {
        logBox = text;
        ++logReplacements;
    }
    void appendLogText(const std::string& tail) override
    {
        logBox += tail;
        ++logAppends;
    }
    void setControlEnabled(Control c, bool e) override { enabled[static_cast<int>(c)] = e; }
    void setToggleValue(Control c, bool on) override { toggles[static_cast<int>(c)] = on; }
    void moveToTwips(int l, int t) override
    {
        left = l;
        top = t;
    }
    void showWindow() override { visible = true; }
    void hideWindow() override { visible = false; }
    void minimizeWindow() override
    {
        minimized = true;
        ++minimizations;
    }
    void focusWindow() override { focused = true; }
    void attention(const std::string& line) override { attentions.push_back(line); }
    ScopeView& scope() override { return scopeView; }
    std::vector<std::string> attentions;
    RecordingScope scopeView;

    bool isEnabled(Control c) const { return enabled[static_cast<int>(c)]; }

    std::string caption;
    std::string status;
    // Every distinct status change with its time.
    std::vector<std::pair<Ms, std::string>> statusHistory;
    std::string logBox;
    int logReplacements = 0, logAppends = 0;
    // Controls start enabled, as real widgets do: only what the console
    // disables itself shows as disabled.
    bool enabled[8] = {true, true, true, true, true, true, true, true};
    bool toggles[8] = {};
    int left = -1, top = -1;
    bool visible = false, minimized = false, focused = false;
    int minimizations = 0;

private:
    const SimEventLoop& loop_;
};

// A tray host: counts the icons docked and answers menus from a script.
class SimTrayShell : public TrayShell {
public:
    TrayWindow openWindow(std::function<void(int)> onNotification) override
    {
        notify = std::move(onNotification);
        return {7, 0};
    }
    void closeWindow() override { notify = nullptr; }
    void notifyIcon(NotifyIconMessage message, const NotifyIconData& data) override;
    int popUpMenu(const std::vector<TrayMenuEntry>& items, int defaultIndex) override;
    bool available() const override { return hasTray; }

    std::function<void(int)> notify;
    int icons = 0; // icons now in the tray
    int adds = 0;
    std::string tip;
    std::uint32_t icon = 0;
    std::vector<std::string> lastMenu;
    int menusShown = 0;
    // The index each popup answers with; -1 closes it without a choice.
    std::deque<int> menuAnswers;
    bool hasTray = true;
};

// Readiness checks that answer from a script, per check (keyed by the probe's
// target, "host:port" for tcp). Each try's result arrives as an event a small
// virtual delay after it started; a check with no script never holds.
class ScriptedProbe : public ReadinessProbe {
public:
    explicit ScriptedProbe(SimEventLoop& loop) : loop_(loop) {}
    void start(const ProbeTarget& target, std::function<void(ProbeResult)> done) override;
    EventLoop& events() override { return loop_; }

    // Scripts: whether a try started at a virtual instant holds.
    void holdsFrom(const std::string& key, Ms from);
    void never(const std::string& key) { holdsFrom(key, -1); }
    // Holds on every second try, the first one failing.
    void flips(const std::string& key);

    struct Try {
        Ms at;
        std::string key;
    };
    std::vector<Try> tries;
    Ms tryTakesMs = 50;
    int inFlight = 0;
    int mostInFlight = 0;

    static std::string keyOf(const ProbeTarget& target);
    int triesOf(const std::string& key) const;

private:
    SimEventLoop& loop_;
    std::map<std::string, std::function<bool(Ms)>> scripts_;
};

// A web service that answers from a script: each GET's answer arrives as an
// event a small virtual delay after it started (or never, while `hangs`).
class ScriptedWeb : public WebClient {
public:
    explicit ScriptedWeb(SimEventLoop& loop) : loop_(loop) {}
    void get(const std::string& url, int limitMs, std::size_t maxBody, std::function<void(WebAnswer)> done) override;

    // What the service answers from now on.
    void answers(long status, std::string body) { answer = {true, status, std::move(body), {}}; }
    void unreachable(std::string error) { answer = {false, 0, {}, std::move(error)}; }
    WebAnswer answer;
    bool hangs = false; // a GET then ends only at its own limit
    Ms takesMs = 100;
    struct Get {
        Ms at;
        std::string url;
        int limitMs;
        std::size_t maxBody;
    };
    std::vector<Get> gets;

private:
    SimEventLoop& loop_;
};

// Everything a console needs, wired together, over a program folder.
struct SimPlatform {
    explicit SimPlatform(std::string programFolder);
    SimEventLoop events;
    SimClock clock{events};
    RecordingLauncher launcher{events};
    RecordingSound sound{events};
    ScriptedDialogs dialogs{events};
    SimProgram program;
    RecordingView view{events};
    SimTrayShell tray;
    SimCpuFactory cpu;
    ScriptedProbe probe{events};
    ScriptedWeb web{events};
};

} // namespace torv::sim

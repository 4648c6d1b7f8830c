#include "support/SimPlatform.h"

#include "base/CommandLine.h"
#include "base/Failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

namespace torv::sim {

SimTimer::SimTimer(SimEventLoop& loop, int interval, std::function<void()> tick)
    : loop_(loop), interval_(interval), tick_(std::move(tick)), seq_(loop.timerSeq++)
{
    loop_.timers.push_back(this);
}

SimTimer::~SimTimer()
{
    auto& t = loop_.timers;
    t.erase(std::remove(t.begin(), t.end(), this), t.end());
}

void SimTimer::setEnabled(bool on)
{
    // Like a window timer: switching on an enabled timer changes nothing;
    // switching on a stopped one starts a fresh full interval.
    if (on && !enabled_)
        due_ = loop_.now() + interval_;
    enabled_ = on;
}

void SimTimer::resume()
{
    // due_ still holds the next planned tick of the old phase.
    if (!enabled_ && due_ <= loop_.now())
        due_ = loop_.now() + interval_;
    enabled_ = true;
}

std::unique_ptr<Timer> SimEventLoop::createTimer(int intervalMs, bool enabled, std::function<void()> onTick)
{
    auto timer = std::make_unique<SimTimer>(*this, intervalMs, std::move(onTick));
    timer->setEnabled(enabled);
    return timer;
}

void SimEventLoop::at(Ms t, std::function<void()> fn)
{
    actions_.push_back({t, actionSeq_++, std::move(fn)});
}

bool SimEventLoop::nextDue(Ms& due) const
{
    bool any = false;
    for (const SimTimer* t : timers) {
        if (t->enabled_ && !t->firing_ && (!any || t->due_ < due)) {
            due = t->due_;
            any = true;
        }
    }
    for (const Action& a : actions_) {
        if (!any || a.due < due) {
            due = a.due;
            any = true;
        }
    }
    return any;
}

bool SimEventLoop::handleOne(Ms upTo)
{
    // Actions scheduled for an instant come before timers due at the same
    // instant, so "at t press Restart" runs before the tick at t.
    auto action = std::min_element(actions_.begin(), actions_.end(), [](const Action& a, const Action& b) {
        return a.due != b.due ? a.due < b.due : a.seq < b.seq;
    });
    SimTimer* timer = nullptr;
    for (SimTimer* t : timers)
        if (t->enabled_ && !t->firing_ &&
            (!timer || t->due_ < timer->due_ || (t->due_ == timer->due_ && t->seq_ < timer->seq_)))
            timer = t;
    bool actionFirst = action != actions_.end() && (!timer || action->due <= timer->due_);
    if (actionFirst && action->due <= upTo) {
        now_ = std::max(now_, action->due);
        auto fn = std::move(action->fn);
        actions_.erase(action);
        fn();
        return true;
    }
    if (timer && timer->due_ <= upTo) {
        now_ = std::max(now_, timer->due_);
        timer->due_ += timer->interval_;
        // A tick is never delivered again while its handler runs.
        timer->firing_ = true;
        struct Reset {
            SimTimer* t;
            std::vector<SimTimer*>& live;
            ~Reset()
            {
                if (std::find(live.begin(), live.end(), t) != live.end())
                    t->firing_ = false;
            }
        } reset{timer, timers};
        timer->tick_();
        return true;
    }
    return false;
}

void SimEventLoop::processPending()
{
    bool handled = false;
    while (handleOne(now_))
        handled = true;
    if (handled)
        idlePasses_ = 0;
    else
        noteIdlePass();
}

void SimEventLoop::noteIdlePass()
{
    if (now_ != idleAt_) {
        idleAt_ = now_;
        idlePasses_ = 0;
    }
    if (++idlePasses_ < spinLimit)
        return;
    idlePasses_ = 0;
    ADD_FAILURE() << "events were processed " << spinLimit << " times in a row at t=" << now_
                  << " ms with nothing due: a wait that spins instead of blocking";
    throw Deadlock("spinning at one instant");
}

void SimEventLoop::waitForEvents()
{
    ++waits;
    Ms due = 0;
    if (!nextDue(due)) {
        ADD_FAILURE() << "a wait at t=" << now_ << " ms has nothing left to wait for";
        throw Deadlock("nothing left to wait for");
    }
    if (due > limit) {
        ADD_FAILURE() << "a wait at t=" << now_ << " ms would run past the simulation's limit of " << limit << " ms";
        throw Deadlock("past the time limit");
    }
    idlePasses_ = 0;
    handleOne(due);
}

void SimEventLoop::runUntil(Ms t)
{
    Ms due = 0;
    while (nextDue(due) && due <= t)
        handleOne(t);
    now_ = std::max(now_, t);
}

DateTimeFields SimClock::now() const
{
    DateTimeFields f = start;
    long long secs = f.hour * 3600LL + f.minute * 60 + f.second + loop_.now() / 1000;
    f.day += static_cast<int>(secs / 86400); // tests stay within one month
    secs %= 86400;
    f.hour = static_cast<int>(secs / 3600);
    f.minute = static_cast<int>(secs / 60 % 60);
    f.second = static_cast<int>(secs % 60);
    return f;
}

std::string SimClock::dateText() const
{
    DateTimeFields f = now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d/%d/%04d", f.month, f.day, f.year);
    return buf;
}

std::string SimClock::timeText() const
{
    DateTimeFields f = now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", f.hour, f.minute, f.second);
    return buf;
}

void RecordingLauncher::run(const std::string& commandLine, WindowStyle style)
{
    launches.push_back({loop_.now(), commandLine, style, {}});
    // What every real launcher refuses, this one refuses too.
    checkCommandLine(commandLine);
    auto it = failing.find(commandLine);
    if (it != failing.end())
        throw Failure(it->second.first, it->second.second);
}

namespace {

// Its end is reported once, when `ending` says, at once after end() (as
// SIGKILL would: 137) or after stop() (as SIGTERM would: 143) unless it
// ignores that, never after it was dropped.
class SimProcess : public RunningProcess {
public:
    SimProcess(std::optional<std::pair<Ms, int>> ending, int& endedCount, int& stoppedCount, bool ignoresStop)
        : ending_(ending), endedCount_(endedCount), stoppedCount_(stoppedCount), ignoresStop_(ignoresStop)
    {
    }
    ~SimProcess() override { *ended_ = nullptr; }
    void onEnd(EventLoop& events, std::function<void(int)> ended) override
    {
        *loop_ = &static_cast<SimEventLoop&>(events);
        *ended_ = std::move(ended);
        if (ending_)
            report(ending_->first, ending_->second);
    }
    void end() override
    {
        if (*ended_ && !std::exchange(killed_, true)) {
            ++endedCount_;
            report(0, 137);
        }
    }
    void stop() override
    {
        ++stoppedCount_;
        if (*ended_ && !ignoresStop_)
            report(0, 143);
    }
    bool running() const override { return !*reported_; }
    // Ends it now with `status` (RecordingLauncher::endStarted); false when
    // nobody listens to its end or it has ended.
    std::function<bool(int)> ender() const
    {
        return [ended = ended_, reported = reported_, loop = loop_](int status) {
            if (!*loop || !*ended || *reported)
                return false;
            (*loop)->post(reportNow(ended, reported, status));
            return true;
        };
    }

private:
    static std::function<void()> reportNow(std::shared_ptr<std::function<void(int)>> ended,
                                           std::shared_ptr<bool> reported, int status)
    {
        return [ended, reported, status] {
            if (auto once = std::exchange(*ended, nullptr)) {
                *reported = true;
                once(status);
            }
        };
    }
    void report(Ms after, int status) { (*loop_)->after(after, reportNow(ended_, reported_, status)); }
    std::optional<std::pair<Ms, int>> ending_;
    int& endedCount_;
    int& stoppedCount_;
    bool ignoresStop_;
    std::shared_ptr<bool> reported_ = std::make_shared<bool>(false);
    std::shared_ptr<SimEventLoop*> loop_ = std::make_shared<SimEventLoop*>(nullptr);
    bool killed_ = false;
    std::shared_ptr<std::function<void(int)>> ended_ = std::make_shared<std::function<void(int)>>();
};

} // namespace

void RecordingLauncher::runWithEnvironment(const std::string& commandLine, WindowStyle style,
                                           const ExtraEnvironment& extra)
{
    run(commandLine, style);
    launches.back().environment = extra;
}

std::unique_ptr<RunningProcess> RecordingLauncher::start(const std::string& commandLine, WindowStyle style)
{
    run(commandLine, style);
    ++started;
    auto it = endings.find(commandLine);
    auto process = std::make_unique<SimProcess>(it == endings.end() ? std::nullopt : std::optional(it->second), ended,
                                                stopped, ignoringStop.count(commandLine) > 0);
    enders_[commandLine] = process->ender();
    return process;
}

bool RecordingLauncher::endStarted(const std::string& commandLine, int status)
{
    auto it = enders_.find(commandLine);
    return it != enders_.end() && it->second(status);
}

std::unique_ptr<RunningProcess> RecordingLauncher::startWithEnvironment(const std::string& commandLine,
                                                                        const ExtraEnvironment& extra)
{
    envLaunches.push_back({loop_.now(), commandLine, {extra.begin(), extra.end()}});
    auto failed = failing.find(commandLine);
    if (failed != failing.end())
        throw Failure(failed->second.first, failed->second.second);
    auto it = endings.find(commandLine);
    return std::make_unique<SimProcess>(it == endings.end() ? std::nullopt : std::optional(it->second), ended, stopped,
                                        ignoringStop.count(commandLine) > 0);
}

void RecordingLauncher::openInTextEditor(const std::string& path)
{
    run("edit " + path, WindowStyle::Normal);
}

std::vector<std::string> RecordingSound::names() const
{
    std::vector<std::string> out;
    for (const Cue& c : cues)
        out.push_back(c.path.substr(c.path.find_last_of("/\\") + 1));
    return out;
}

Dialogs::Answer ScriptedDialogs::messageBox(const std::string& text, bool)
{
    messages.push_back({loop_.now(), text});
    if (messageBoxOpenFor > 0)
        loop_.runFor(messageBoxOpenFor);
    return Answer::Ok;
}

void ScriptedDialogs::showSettingsEditor()
{
    ++editorOpenings;
    if (editorScript.empty()) {
        ADD_FAILURE() << "the settings editor opened at t=" << loop_.now() << " ms with no script for it";
        throw Deadlock("unscripted settings editor");
    }
    auto step = std::move(editorScript.front());
    editorScript.pop_front();
    struct Hold {
        ReadinessProbe* probe;
        ~Hold()
        {
            if (probe)
                probe->holdTries(false);
        }
    } hold{probe};
    if (probe)
        probe->holdTries(true);
    step();
}

std::string ScriptedDialogs::openFile(const OpenFileRequest& request)
{
    openFileRequests.push_back(request);
    if (openFileAnswers.empty())
        return {};
    std::string answer = openFileAnswers.front();
    openFileAnswers.pop_front();
    return answer;
}

std::optional<std::string> SimProgram::environment(const std::string& name) const
{
    auto lower = [](std::string s) {
        for (char& c : s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (const auto& [k, v] : env)
        if (lower(k) == lower(name))
            return v;
    return std::nullopt;
}

void SimProgram::endNow()
{
    ++ended;
    throw ProgramEnded{};
}

void RecordingView::setStatus(const std::string& text)
{
    if (text != status)
        statusHistory.emplace_back(loop_.now(), text);
    status = text;
}

void SimTrayShell::notifyIcon(NotifyIconMessage message, const NotifyIconData& data)
{
    if (message == NotifyIconMessage::Add) {
        ++icons;
        ++adds;
    } else if (message == NotifyIconMessage::Delete) {
        --icons;
    }
    tip = readTip(data.szTip);
    icon = data.hIcon;
}

int SimTrayShell::popUpMenu(const std::vector<TrayMenuEntry>& items, int)
{
    ++menusShown;
    lastMenu.clear();
    for (const TrayMenuEntry& e : items)
        lastMenu.push_back(e.caption);
    if (menuAnswers.empty())
        return -1;
    int answer = menuAnswers.front();
    menuAnswers.pop_front();
    return answer;
}

namespace {
class ScriptedCpuUsage : public CpuUsage {
public:
    explicit ScriptedCpuUsage(std::deque<double>& samples) : samples_(samples) {}
    double cpuuse() override
    {
        double v = samples_.front();
        if (samples_.size() > 1)
            samples_.pop_front();
        return v;
    }

private:
    std::deque<double>& samples_;
};
} // namespace

std::unique_ptr<CpuUsage> SimCpuFactory::create(const std::string& progId)
{
    if (fails || progId != kCpuUsageProgId)
        throw Failure::cannotCreateObject();
    ++created;
    return std::make_unique<ScriptedCpuUsage>(samples);
}

std::string ScriptedProbe::keyOf(const ProbeTarget& target)
{
    return target.kind == ProbeKind::Tcp ? target.target + ":" + target.port : target.target;
}

void ScriptedProbe::start(const ProbeTarget& target, std::function<void(ProbeResult)> done)
{
    const std::string key = keyOf(target);
    tries.push_back({loop_.now(), key});
    mostInFlight = std::max(mostInFlight, ++inFlight);
    auto script = scripts_.find(key);
    const bool holds = script != scripts_.end() && script->second(loop_.now());
    loop_.after(tryTakesMs, [this, holds, done = std::move(done)] {
        --inFlight;
        done(holds ? ProbeResult{true, ""} : ProbeResult{false, "not there yet"});
    });
}

void ScriptedProbe::holdsFrom(const std::string& key, Ms from)
{
    scripts_[key] = [from](Ms now) { return from >= 0 && now >= from; };
}

void ScriptedProbe::flips(const std::string& key)
{
    scripts_[key] = [n = 0](Ms) mutable { return ++n % 2 == 0; };
}

int ScriptedProbe::triesOf(const std::string& key) const
{
    return static_cast<int>(std::count_if(tries.begin(), tries.end(), [&](const Try& t) { return t.key == key; }));
}

void ScriptedWeb::get(const std::string& url, int limitMs, std::size_t maxBody, std::function<void(WebAnswer)> done)
{
    gets.push_back({loop_.now(), url, limitMs, maxBody});
    WebAnswer a = hangs ? WebAnswer{false, 0, {}, "timed out"} : answer;
    if (a.body.size() > maxBody)
        a.body.resize(maxBody);
    loop_.after(hangs ? limitMs : takesMs, [done = std::move(done), a = std::move(a)] { done(a); });
}

SimPlatform::SimPlatform(std::string programFolder) : program(std::move(programFolder))
{
    dialogs.probe = &probe;
}

} // namespace torv::sim

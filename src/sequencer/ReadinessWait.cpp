#include "sequencer/ReadinessWait.h"

#include "core/ConsoleTexts.h"
#include "core/Cues.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace torv {

namespace {

ProbeTarget probeTarget(const Check& check, const std::string& caFile)
{
    ProbeTarget target;
    target.kind = check.kind;
    target.target = check.target;
    target.port = check.port;
    target.caFile = caFile;
    return target;
}

} // namespace

int retryPauseMs(CheckKind kind, int secondsWaited, double interval)
{
    if (interval > 0)
        return std::max(1, static_cast<int>(std::lround(interval * 1000)));
    switch (kind) {
    case CheckKind::Tcp:
    case CheckKind::Path:
        return secondsWaited < kQuickRetrySeconds ? kQuickRetryMs : kRetryMs;
    case CheckKind::Process:
        return kRetryMs;
    case CheckKind::Http:
    case CheckKind::Command:
        break;
    }
    return kSlowRetryMs;
}

// What a try's result reaches: it may arrive after the wait is over, and is
// then dropped.
struct ReadinessWait::Shared {
    struct Pending {
        Check check;
        bool holds = false;
        bool trying = false;
        bool waitingLogged = false;
        std::string reason;
    };
    ConsoleActions& console;
    std::vector<Pending> checks;
    std::string caFile;
    int timeout = 0;
    bool stops = false;
    double interval = 0;
    ReadinessWait* wait = nullptr; // while it lives: it arms the next try
    int seconds = 0;
    bool over = false;
    bool timedOut = false;
    std::string gaveUpWith{}; // the first line of the give-up
    std::string shownStatus{};

    bool allHold() const
    {
        return std::all_of(checks.begin(), checks.end(), [](const Pending& p) { return p.holds; });
    }

    void heard(Pending& pending, const ProbeResult& result)
    {
        pending.trying = false;
        if (over)
            return;
        pending.reason = result.reason;
        if (result.holds) {
            pending.holds = true;
            if (pending.waitingLogged)
                log("Ready After " + std::to_string(seconds) + " Seconds: " + pending.check.shown());
        } else if (!pending.waitingLogged) {
            pending.waitingLogged = true;
            log(kWaitingFor + pending.check.shown());
        }
        over = allHold();
        if (over)
            return;
        showWaiting();
        if (!pending.holds && wait)
            wait->retryLater(static_cast<std::size_t>(&pending - checks.data()));
    }

    // The status line names the first check still waited for, in place of the
    // task wait's last count.
    void showWaiting()
    {
        for (const Pending& pending : checks)
            if (pending.waitingLogged && !pending.holds) {
                const std::string status = kWaitingFor + pending.check.shown();
                if (status != shownStatus)
                    console.setStatus(shownStatus = status);
                return;
            }
    }

    // The wait gives up: each check that does not hold gets `why` in front.
    void giveUp(const std::string& why)
    {
        over = timedOut = true;
        for (const Pending& pending : checks) {
            if (pending.holds)
                continue;
            const std::string line = why + ": " + pending.check.shown();
            if (gaveUpWith.empty())
                gaveUpWith = line;
            console.appendLog(line);
            console.needsAttention((stops ? "ERROR: " : "WARNING: ") + line +
                                   (pending.reason.empty() ? "" : " (" + pending.reason + ")"));
        }
        console.showLog();
        console.playCue(cue::Failure);
    }

    void log(const std::string& line)
    {
        console.appendLog(line);
        console.showLog();
    }
};

ReadinessWait::ReadinessWait(ReadinessProbe& probe, ConsoleActions& console, const std::vector<Check>& checks,
                             const TaskChecks& settings, bool stops)
    : shared_(std::make_shared<Shared>(
          Shared{console, {}, settings.caFile, settings.timeout, stops, settings.interval, this})),
      probe_(probe), retries_(checks.size())
{
    for (const Check& check : checks) {
        Shared::Pending pending;
        pending.check = check;
        shared_->checks.push_back(pending);
    }
    shared_->over = shared_->allHold();
    tryPending();
}

ReadinessWait::~ReadinessWait()
{
    shared_->over = true;
    shared_->wait = nullptr;
}

void ReadinessWait::tick()
{
    if (shared_->over)
        return;
    ++shared_->seconds;
    if (shared_->timeout > 0 && shared_->seconds >= shared_->timeout)
        shared_->giveUp("Not Ready After " + std::to_string(shared_->seconds) + " Seconds");
    else
        tryPending();
}

void ReadinessWait::programFailed(int status)
{
    if (!shared_->over)
        shared_->giveUp("Ended With Status " + std::to_string(status));
}

bool ReadinessWait::finished() const
{
    return shared_->over;
}

const std::string& ReadinessWait::gaveUpWith() const
{
    return shared_->gaveUpWith;
}

bool ReadinessWait::timedOut() const
{
    return shared_->timedOut;
}

void ReadinessWait::tryPending()
{
    if (probe_.triesHeld())
        return; // the next tick after the editor closes starts them
    for (size_t i = 0; i < shared_->checks.size(); ++i) {
        const Shared::Pending& pending = shared_->checks[i];
        if (!pending.holds && !pending.trying && !(retries_[i] && retries_[i]->enabled()))
            startTry(i);
    }
}

void ReadinessWait::startTry(std::size_t i)
{
    Shared::Pending& pending = shared_->checks[i];
    pending.trying = true;
    // The result holds the shared part, never the wait: it may come late.
    probe_.start(probeTarget(pending.check, shared_->caFile),
                 [shared = shared_, i](ProbeResult result) { shared->heard(shared->checks[i], result); });
}

void ReadinessWait::retryLater(std::size_t i)
{
    const int pause = retryPauseMs(shared_->checks[i].check.kind, shared_->seconds, shared_->interval);
    // Never replaced from inside its own tick: it is armed when a result is heard.
    retries_[i] = probe_.events().createTimer(pause, true, [this, i] {
        retries_[i]->setEnabled(false); // one shot
        // While the editor is open the check stays idle until a tick.
        if (!shared_->over && !probe_.triesHeld())
            startTry(i);
    });
}

} // namespace torv

#include "sequencer/ReadinessWait.h"

#include "core/ConsoleTexts.h"
#include "core/Cues.h"

#include <algorithm>
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
        if (!over)
            showWaiting();
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
    : shared_(std::make_shared<Shared>(Shared{console, {}, settings.caFile, settings.timeout, stops})), probe_(probe)
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
    for (size_t i = 0; i < shared_->checks.size(); ++i) {
        Shared::Pending& pending = shared_->checks[i];
        if (pending.holds || pending.trying)
            continue;
        pending.trying = true;
        // The result holds the shared part, never the wait: it may come late.
        probe_.start(probeTarget(pending.check, shared_->caFile),
                     [shared = shared_, i](ProbeResult result) { shared->heard(shared->checks[i], result); });
    }
}

} // namespace torv

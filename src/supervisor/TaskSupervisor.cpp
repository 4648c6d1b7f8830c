#include "supervisor/TaskSupervisor.h"

#include "base/Failure.h"
#include "base/NamedLaunch.h"

#include <algorithm>
#include <cstdint>

namespace torv {

namespace {
// A status as the system gives it: Windows' codes are unsigned (an access
// violation is 3221225477), POSIX ones small.
std::string statusText(int status)
{
    return std::to_string(static_cast<std::uint32_t>(status));
}
} // namespace

int restartDelaySeconds(const KeepRunning& policy, int restartsDone)
{
    long long delay = policy.restartDelay;
    int doublings = restartsDone;
    if (delay == 0) {
        if (restartsDone == 0)
            return 0;
        delay = 1;
        --doublings;
    }
    for (; doublings > 0 && delay < policy.restartMaxDelay; --doublings)
        delay *= 2;
    return static_cast<int>(std::min<long long>(delay, policy.restartMaxDelay));
}

TaskSupervisor::TaskSupervisor(SupervisorContext& context, int task, std::string commandLine, std::string description,
                               const KeepRunning& policy, std::unique_ptr<RunningProcess> process)
    : context_(context), task_(task), commandLine_(std::move(commandLine)), description_(std::move(description)),
      policy_(policy), process_(std::move(process))
{
    startedMs_ = context_.clock.utcMilliseconds();
    watch();
}

TaskSupervisor::~TaskSupervisor()
{
    *alive_ = false;
}

bool TaskSupervisor::watching() const
{
    return state_ == State::Up || state_ == State::BackingOff || state_ == State::Stopping;
}

void TaskSupervisor::watch()
{
    std::weak_ptr<bool> alive = alive_;
    process_->onEnd(context_.events, [this, alive](int status) {
        if (auto still = alive.lock(); still && *still)
            ended(status);
    });
}

ConsoleEvent TaskSupervisor::event(Event what, std::string message, std::string code) const
{
    return consoleEvent(what, task_, description_, std::move(message), std::move(code));
}

void TaskSupervisor::arm(long long ms, void (TaskSupervisor::*then)())
{
    retireTimer();
    // A fresh one-shot timer each time: its interval is the wait's own.
    timer_ = context_.events.createTimer(static_cast<int>(ms), true, [this, then] {
        timer_->setEnabled(false);
        (this->*then)();
    });
}

void TaskSupervisor::retireTimer()
{
    if (!timer_)
        return;
    timer_->setEnabled(false);
    // Deleted on a later turn of the loop: this may be its own tick.
    std::shared_ptr<Timer> retired(std::move(timer_));
    context_.events.post([retired] {});
}

// Up, ended: restart, give up or leave it ended, as the policy says.
void TaskSupervisor::ended(int status)
{
    if (auto next = std::exchange(nextEnd_, nullptr))
        next(status);
    context_.console.notify(event(Event::TaskEnded, {}, statusText(status)));
    if (state_ == State::Stopping) {
        finishStop(forced_);
        return;
    }
    if (state_ != State::Up)
        return;
    const std::string line = name() + " Ended With Status " + statusText(status);
    context_.console.appendLog(line);
    context_.console.showLog();
    context_.console.needsAttention("WARNING: " + line);
    if (status != 0)
        context_.console.notify(event(Event::TaskExited, line, statusText(status)));
    afterEnd(status);
}

void TaskSupervisor::afterEnd(int status)
{
    const bool wanted = !restartsHeld_ && (policy_.restart == RestartPolicy::Always ||
                                           (policy_.restart == RestartPolicy::OnFailure && status != 0));
    if (!wanted) {
        state_ = State::Ended;
        return;
    }
    // A run long enough counts as a recovery: the delay and the count start over.
    if (context_.clock.utcMilliseconds() - startedMs_ >= policy_.restartReset * 1000LL)
        restartsInRow_ = 0;
    if (policy_.restartLimit != 0 && restartsInRow_ >= policy_.restartLimit) {
        const std::string gaveUp =
            "Gave Up Restarting " + name() + " After " + std::to_string(restartsInRow_) + " Restarts";
        context_.console.appendLog(gaveUp);
        context_.console.showLog();
        context_.console.needsAttention("ERROR: " + gaveUp);
        context_.console.notify(event(Event::TaskGaveUp, gaveUp, statusText(status)));
        state_ = State::GivenUp;
        return;
    }
    const int delay = restartDelaySeconds(policy_, restartsInRow_);
    context_.console.appendLog("Restarting " + name() + " In " + std::to_string(delay) + " Seconds");
    context_.console.showLog();
    state_ = State::BackingOff;
    arm(delay * 1000LL, &TaskSupervisor::delayOver);
}

// BackingOff, the delay is over: the same command line, started the same way.
void TaskSupervisor::delayOver()
{
    if (state_ == State::BackingOff)
        restart();
}

void TaskSupervisor::restart()
{
    ++restartsInRow_;
    ++totalRestarts_;
    startedMs_ = context_.clock.utcMilliseconds();
    try {
        process_ = startNamed(context_.launcher, commandLine_, WindowStyle::Normal);
    } catch (const Failure& failure) {
        context_.console.appendLog("Command Failed");
        context_.console.notify(event(Event::LaunchFailed, failure.message(), std::to_string(failure.code)));
        // Counted as an end that failed: the next try waits longer.
        process_.reset();
        afterEnd(failure.code);
        return;
    }
    state_ = State::Up;
    ConsoleEvent restarted = event(Event::TaskRestarted, "Restarted " + name());
    restarted.restarts = static_cast<std::uint64_t>(restartsInRow_);
    context_.console.notify(restarted);
    watch();
    if (context_.checkReady)
        context_.checkReady(task_, *process_);
}

void TaskSupervisor::holdRestarts()
{
    restartsHeld_ = true;
    if (state_ == State::BackingOff) {
        retireTimer();
        state_ = State::Stopped;
    }
}

void TaskSupervisor::stop(std::function<void()> done)
{
    switch (state_) {
    case State::Up:
        stopped_ = std::move(done);
        state_ = State::Stopping;
        forced_ = false;
        stopStartedMs_ = context_.clock.utcMilliseconds();
        context_.console.appendLog("Stopping " + name());
        context_.console.showLog();
        context_.console.notify(event(Event::TaskStopping, {}, std::to_string(policy_.stopTimeout)));
        process_->stop();
        arm(policy_.stopTimeout * 1000LL, &TaskSupervisor::stopTimeUp);
        return;
    case State::Stopping:
        stopped_ = std::move(done);
        return;
    case State::BackingOff:
        // The restart it waited for never comes.
        retireTimer();
        state_ = State::Stopped;
        break;
    case State::GivenUp:
    case State::Ended:
    case State::Stopped:
    case State::Released:
        break;
    }
    if (done)
        done();
}

// Stopping, its time is up: the forced end, reported as the program's end.
void TaskSupervisor::stopTimeUp()
{
    if (state_ != State::Stopping || forced_)
        return;
    forced_ = true;
    process_->end();
}

void TaskSupervisor::kill()
{
    if (state_ == State::Up) {
        stop(nullptr);
        stopTimeUp();
    } else if (state_ == State::Stopping) {
        retireTimer();
        stopTimeUp();
    } else if (state_ == State::BackingOff) {
        stop(nullptr);
    }
}

void TaskSupervisor::finishStop(bool forced)
{
    retireTimer();
    state_ = State::Stopped;
    const long long seconds = (context_.clock.utcMilliseconds() - stopStartedMs_ + 500) / 1000;
    const std::string line =
        forced ? name() + " Killed After " + std::to_string(seconds) + " Seconds" : name() + " Stopped";
    context_.console.appendLog(line);
    context_.console.showLog();
    context_.console.notify(event(Event::TaskStopped, line));
    if (auto done = std::exchange(stopped_, nullptr))
        done();
}

void TaskSupervisor::release()
{
    if (state_ == State::Up) {
        context_.console.appendLog(name() + " No Longer Watched");
        context_.console.showLog();
    }
    retireTimer();
    *alive_ = false;
    process_.reset();
    state_ = State::Released;
}

} // namespace torv

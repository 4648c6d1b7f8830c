#include "supervisor/RestartChecks.h"

#include "sequencer/ReadinessWait.h"

namespace torv {

struct RestartChecks::Wait {
    std::string description;
    std::unique_ptr<ReadinessWait> wait;
    std::unique_ptr<Timer> tick;
};

RestartChecks::RestartChecks(EventLoop& events, ReadinessProbe& probe, ConsoleActions& console)
    : events_(events), probe_(probe), console_(console)
{
}

RestartChecks::~RestartChecks() = default;

void RestartChecks::start(int task, const std::string& description, const TaskChecks& settings,
                          const std::vector<Check>& checks)
{
    if (checks.empty())
        return;
    auto wait = std::make_shared<Wait>();
    wait->description = description;
    // A time-out here stops no sequence: a warning, never the error.
    wait->wait = std::make_unique<ReadinessWait>(probe_, console_, checks, settings, false);
    wait->tick = events_.createTimer(1000, true, [this, task] { ticked(task); });
    if (auto old = waits_.find(task); old != waits_.end()) {
        old->second->tick->setEnabled(false);
        // Its own tick may be what runs now: it goes on a later turn.
        events_.post([retired = old->second] {});
    }
    waits_[task] = wait;
}

void RestartChecks::ticked(int task)
{
    auto found = waits_.find(task);
    if (found == waits_.end())
        return;
    std::shared_ptr<Wait> wait = found->second;
    wait->wait->tick();
    if (!wait->wait->finished())
        return;
    if (wait->wait->timedOut())
        console_.notify(consoleEvent(Event::NotReady, task, wait->description, wait->wait->gaveUpWith()));
    else
        console_.notify(consoleEvent(Event::TaskReady, task, wait->description));
    wait->tick->setEnabled(false);
    waits_.erase(found);
    events_.post([wait] {});
}

} // namespace torv

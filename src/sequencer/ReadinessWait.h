#pragma once
// One task's wait for its readiness checks: each check is tried at once, then
// again on each tick of the console's 1 s timer once its last try has ended,
// until every check holds or the task's time is up. The tries run off the
// console's thread; their results come back as events of its loop.
#include "core/ConsoleActions.h"
#include "platform/ReadinessProbe.h"
#include "settings/TaskChecks.h"

#include <memory>
#include <string>
#include <vector>

namespace torv {

class ReadinessWait {
public:
    // timeoutSeconds 0: no limit. stops: a time-out stops the sequence, so it
    // is an error rather than a warning to a console without a window.
    ReadinessWait(ReadinessProbe& probe, ConsoleActions& console, const std::vector<Check>& checks,
                  const TaskChecks& settings, bool stops);
    // A try still under way ends unheard.
    ~ReadinessWait();
    ReadinessWait(const ReadinessWait&) = delete;
    ReadinessWait& operator=(const ReadinessWait&) = delete;

    // One tick of the console's timer: a second more, and the next tries.
    void tick();
    // The task's program ended with a failure status: it will not get ready,
    // so the wait ends as at its limit.
    void programFailed(int status);
    bool finished() const;
    bool timedOut() const;
    // The log line of a wait that gave up (its first check that did not hold).
    const std::string& gaveUpWith() const;

private:
    struct Shared;
    void tryPending();
    std::shared_ptr<Shared> shared_;
    ReadinessProbe& probe_;
};

} // namespace torv

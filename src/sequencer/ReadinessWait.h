#pragma once
// One task's wait for its readiness checks: each check is tried at once, then
// again a pause after its last try has ended (a one-shot timer of the loop),
// until every check holds or the task's time is up. The time counts the ticks
// of the console's 1 s timer. The tries run off the console's thread; their
// results come back as events of its loop.
#include "core/ConsoleActions.h"
#include "ports/ReadinessProbe.h"
#include "settings/TaskChecks.h"

#include <memory>
#include <string>
#include <vector>

namespace torv {

// The pause between the end of a check's try and the start of its next:
// ports and paths are cheap and tried often in a wait's first seconds, a
// process scan less often, a web address or a command (a new process) once
// a second. A task's `interval` (seconds, 0: none) sets every kind's pause,
// with no step-down.
int retryPauseMs(CheckKind kind, int secondsWaited, double interval);
inline constexpr int kQuickRetryMs = 100;
inline constexpr int kQuickRetrySeconds = 10; // ... for this long
inline constexpr int kRetryMs = 250;
inline constexpr int kSlowRetryMs = 1000;

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

    // One tick of the console's timer: a second more, and the tries that were
    // held while the settings editor was open.
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
    // Starts a try of each check that neither holds nor waits for one.
    void tryPending();
    void startTry(std::size_t index);
    // Arms the check's one-shot timer for its next try.
    void retryLater(std::size_t index);
    std::shared_ptr<Shared> shared_;
    ReadinessProbe& probe_;
    std::vector<std::unique_ptr<Timer>> retries_; // one per check: its pause, while armed
};

} // namespace torv

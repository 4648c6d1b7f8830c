#pragma once
// Starts the alert command for the events `[alert]` asks for, with the event
// in its environment, at most ten times a minute. It never waits for the
// command: a command that cannot start, ends with a failure or runs past its
// time limit (then it is ended with its group) is said once in the log (until
// the next reading of torv.ini), never alerted about. At most four commands
// run at once; later events wait their turn in order, ten at most, and the
// ones past that are counted into the `suppressed` summary. Commands still
// running when the console ends are left to run.
#include "alerts/Alert.h"
#include "alerts/PostedLog.h"
#include "ports/Clock.h"
#include "ports/EventLoop.h"
#include "ports/Launcher.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>

namespace torv {

class AlertDispatcher {
public:
    AlertDispatcher(EventLoop& events, const Clock& clock, Launcher& launcher, std::string host,
                    std::function<void(const std::string&)> log);
    ~AlertDispatcher();
    AlertDispatcher(const AlertDispatcher&) = delete;
    AlertDispatcher& operator=(const AlertDispatcher&) = delete;

    static constexpr int kMostRunning = 4;
    static constexpr int kMostWaiting = 10;

    // An empty command sends nothing. The limit's minute goes on across
    // readings, and a command already running keeps its time limit.
    void configure(const std::string& command, const AlertFilter& filter, int timeoutSeconds);
    void notify(const ConsoleEvent& event);

private:
    struct Running {
        std::uint64_t id = 0;
        std::unique_ptr<RunningProcess> process;
        std::unique_ptr<Timer> limit;
        bool timedOut = false;
    };

    // Starts it when a place is free, else lets it wait its turn.
    void offer(const ConsoleEvent& alert);
    void start(const ConsoleEvent& alert);
    void timeUp(std::uint64_t id, int seconds, const std::string& command);
    void ended(std::uint64_t id, int status, const std::string& command);
    // Once a second while suppressed alerts wait for their summary.
    void tick();

    EventLoop& events_;
    const Clock& clock_;
    Launcher& launcher_;
    std::string host_;
    PostedLog log_;
    std::string command_;
    AlertFilter filter_;
    int timeoutSeconds_ = kDefaultAlertTimeout;
    AlertLimiter limiter_;
    std::unique_ptr<Timer> summaryTimer_;
    std::list<Running> running_;
    std::uint64_t lastId_ = 0;
    std::deque<ConsoleEvent> waiting_;
    // A process's end may already be on its way through the loop when the
    // dispatcher goes.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// "2026-12-07T09:05:00Z" for milliseconds since 1970-01-01 00:00 UTC.
std::string isoUtcTime(long long utcMs);

} // namespace torv

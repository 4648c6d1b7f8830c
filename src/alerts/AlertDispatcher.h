#pragma once
// Starts the alert command for the events `[alert]` asks for, with the event
// in its environment, at most ten times a minute. It never waits for the
// command: a command that cannot start or ends with a failure is said once in
// the log (until the next reading of torv.ini), never alerted about.
#include "alerts/Alert.h"
#include "alerts/PostedLog.h"
#include "platform/Clock.h"
#include "platform/EventLoop.h"
#include "platform/Launcher.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace torv {

class AlertDispatcher {
public:
    AlertDispatcher(EventLoop& events, const Clock& clock, Launcher& launcher, std::string host,
                    std::function<void(const std::string&)> log);
    AlertDispatcher(const AlertDispatcher&) = delete;
    AlertDispatcher& operator=(const AlertDispatcher&) = delete;

    // An empty command sends nothing. The limit's minute goes on across
    // readings.
    void configure(const std::string& command, const AlertFilter& filter);
    void notify(const ConsoleEvent& event);

private:
    void start(const AlertEvent& alert);
    // Once a second while suppressed alerts wait for their summary.
    void tick();

    EventLoop& events_;
    const Clock& clock_;
    Launcher& launcher_;
    std::string host_;
    PostedLog log_;
    std::string command_;
    AlertFilter filter_;
    AlertLimiter limiter_;
    std::unique_ptr<Timer> summaryTimer_;
    // Commands still running, each with whether it has ended (then dropped).
    std::vector<std::pair<std::shared_ptr<bool>, std::unique_ptr<RunningProcess>>> running_;
};

// "2026-12-07T09:05:00Z" for milliseconds since 1970-01-01 00:00 UTC.
std::string isoUtcTime(long long utcMs);

} // namespace torv

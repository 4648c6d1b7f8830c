#pragma once
// Keeps the console's figures from its events and writes them to the
// `[metrics]` file: after every event that changes what an alert would tell,
// and at least once a minute, so that a file that stops changing means a
// console that stopped. A write that fails (on Windows, a rename refused while
// the exporter reads the file) is tried again at the next one and said once.
#include "alerts/Metrics.h"
#include "alerts/PostedLog.h"
#include "core/ConsoleEvent.h"
#include "ports/Clock.h"
#include "ports/EventLoop.h"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace torv {

class MetricsWriter {
public:
    MetricsWriter(EventLoop& events, const Clock& clock, std::string version,
                  std::function<void(const std::string&)> log);
    MetricsWriter(const MetricsWriter&) = delete;
    MetricsWriter& operator=(const MetricsWriter&) = delete;

    // An empty path writes nothing. The figures go on across readings.
    void configure(const std::string& path);
    void notify(const ConsoleEvent& event);
    // A clean end: the file says the console is down.
    void stop();
    const ConsoleFigures& figures() const { return figures_; }

private:
    void write();

    const Clock& clock_;
    PostedLog log_;
    std::string path_;
    ConsoleFigures figures_;
    std::map<int, long long> launchedMs_; // for the readiness time
    std::unique_ptr<Timer> minuteTimer_;
};

} // namespace torv

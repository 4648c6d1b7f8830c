#pragma once
// One try of a readiness check: does a port answer, a web address, a path, a
// process or a command hold now? Tries may take seconds (a name lookup, a
// server that never answers), so they run off the console's thread and hand
// their result back through the event loop.
#include "ports/EventLoop.h"

#include <functional>
#include <string>

namespace torv {

enum class ProbeKind { Tcp, Http, Path, Process, Command };

struct ProbeTarget {
    ProbeKind kind = ProbeKind::Path;
    std::string target; // tcp: host; http: the URL; path, process, command: as written
    std::string port;   // tcp only
    std::string caFile; // https: a CA trusted besides the system's store
    int limitMs = 0;    // the try's own limit; 0: the kind's own (below)
};

struct ProbeResult {
    bool holds = false;
    std::string reason; // why it does not hold, for the log ("connection refused")
};

// The limits of one try, after which it does not hold.
inline constexpr int kNetworkTryMs = 5000;
inline constexpr int kCommandTryMs = 10000;

class ReadinessProbe {
public:
    virtual ~ReadinessProbe() = default;
    // Starts one try. `done` runs exactly once, later, on the console's thread
    // (as an event of its loop), never inside start() itself, and never after
    // the probe is gone.
    virtual void start(const ProbeTarget& target, std::function<void(ProbeResult)> done) = 0;
    // The loop the results come back on; the pauses between tries are its timers.
    virtual EventLoop& events() = 0;

    // While the settings editor is open no new try starts (it may change the
    // checks, and its Ok may reload them); tries under way still report.
    void holdTries(bool held) { held_ = held; }
    bool triesHeld() const { return held_; }

private:
    bool held_ = false;
};

} // namespace torv

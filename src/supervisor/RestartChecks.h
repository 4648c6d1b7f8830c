#pragma once
// A restarted program's `ready` checks: tried as a sequence's are, with the
// same log lines, but on a 1 s tick of their own, holding nothing up. Their
// end is told as `task-ready` or `not-ready`.
#include "core/ConsoleActions.h"
#include "ports/EventLoop.h"
#include "ports/ReadinessProbe.h"
#include "settings/TaskChecks.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace torv {

class ReadinessWait;

class RestartChecks {
public:
    RestartChecks(EventLoop& events, ReadinessProbe& probe, ConsoleActions& console);
    ~RestartChecks();
    RestartChecks(const RestartChecks&) = delete;
    RestartChecks& operator=(const RestartChecks&) = delete;

    // Starts the wait for task's checks; one still under way for it ends unheard.
    void start(int task, const std::string& description, const TaskChecks& settings, const std::vector<Check>& checks);

private:
    struct Wait;
    void ticked(int task);

    EventLoop& events_;
    ReadinessProbe& probe_;
    ConsoleActions& console_;
    std::map<int, std::shared_ptr<Wait>> waits_;
};

} // namespace torv

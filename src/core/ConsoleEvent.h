#pragma once
// Something that happened which someone outside the console may want to know
// of: the alert command and the metrics file listen for these. The words are
// fixed; they are what an alert command gets as TORV_EVENT.
//
// A few words carry facts only the metrics file counts; the alert command
// never gets them, whatever its `events` says:
//   sequence-counting  the countdown before the launches began
//   task-launched      a task's program started (task, description)
//   task-ready         a launched task's `ready` checks all held (task)
//   remote-poll        the remote folder was looked at
//   task-watched       a task's program is kept running from now on (task)
//   task-ended         a kept program ended (task, code: its status)
//   task-stopping      the end stops a kept program (task, code: its stop-timeout)
#include <cstdint>
#include <string>
#include <utility>

namespace torv {

struct ConsoleEvent {
    std::string event; // launch-failed, not-ready, sequence-stopped, command-refused, ...
    int task = 0;      // 0: no task
    std::string description;
    std::string message;
    std::string code;   // the failure code, when there is one
    std::string reason; // a refused command's fixed word
    std::uint64_t suppressed = 0;
    std::string kind;           // a remote command's kind (report, launch, ...), for the metrics
    std::uint64_t restarts = 0; // a restarted task's restarts in a row
};

inline ConsoleEvent consoleEvent(std::string event, int task = 0, std::string description = {},
                                 std::string message = {}, std::string code = {})
{
    ConsoleEvent e;
    e.event = std::move(event);
    e.task = task;
    e.description = std::move(description);
    e.message = std::move(message);
    e.code = std::move(code);
    return e;
}

} // namespace torv

#pragma once
// Something that happened which someone outside the console may want to know
// of: the alert command and the metrics file listen for these. What each
// event is called, and who hears of it, is in base/EventWords.h.
#include "base/EventWords.h"

#include <cstdint>
#include <string>
#include <utility>

namespace torv {

struct ConsoleEvent {
    Event event = Event::LaunchFailed;
    int task = 0; // 0: no task
    std::string description;
    std::string message;
    std::string code;   // the failure code, when there is one
    std::string reason; // a refused command's fixed word
    std::uint64_t suppressed = 0;
    std::string kind;           // a remote command's kind (report, launch, ...), for the metrics
    std::uint64_t restarts = 0; // a restarted task's restarts in a row
};

inline ConsoleEvent consoleEvent(Event event, int task = 0, std::string description = {}, std::string message = {},
                                 std::string code = {})
{
    ConsoleEvent e;
    e.event = event;
    e.task = task;
    e.description = std::move(description);
    e.message = std::move(message);
    e.code = std::move(code);
    return e;
}

} // namespace torv

#pragma once
// Something that happened which someone outside the console may want to know
// of: the alert command and the metrics file listen for these. The words are
// fixed; they are what an alert command gets as TORV_EVENT.
#include <cstdint>
#include <string>

namespace torv {

struct ConsoleEvent {
    std::string event; // launch-failed, not-ready, sequence-stopped, command-refused, ...
    int task = 0;      // 0: no task
    std::string description;
    std::string message;
    std::string code;   // the failure code, when there is one
    std::string reason; // a refused command's fixed word
    std::uint64_t suppressed = 0;
};

} // namespace torv

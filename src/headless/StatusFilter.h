#pragma once
// Which texts of the status line a journal shows: every change, but of a
// countdown only its first number; "...Start:30" is news, "...Start:29" is not.
// A readiness check's "Waiting For: ..." is not: the log has just said it.
#include <string>

namespace torv {

class StatusFilter {
public:
    // shown: what the status line holds before the first call.
    explicit StatusFilter(std::string shown = {}) : last_(std::move(shown)) {}
    // True when this text belongs in the journal.
    bool wanted(const std::string& status);

private:
    std::string last_;
};

} // namespace torv

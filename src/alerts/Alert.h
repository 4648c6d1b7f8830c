#pragma once
// The alert command's events: what happened, in fixed words, with the fields
// the command gets in its environment; and the limit that keeps a storm of
// failures from starting it hundreds of times.
#include "core/ConsoleEvent.h"
#include "settings/AlertOptions.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace torv {

// Which events the alert section asks for (by default the failures).
class AlertFilter {
public:
    AlertFilter() = default;
    explicit AlertFilter(AlertEventChoice choice) : choice_(std::move(choice)) {}
    // An `events` value read here; unknown words are returned in `unknown`.
    static AlertFilter parse(const std::string& text, std::vector<std::string>& unknown);
    bool wants(Event event) const;

private:
    AlertEventChoice choice_;
};

// At most kPerMinute alerts in any minute: the ones past that are counted,
// and when that minute is over one `suppressed` alert carries the count and
// the last one's fields.
class AlertLimiter {
public:
    static constexpr int kPerMinute = 10;
    static constexpr std::int64_t kMinuteMs = 60000;

    // The alerts to start now for an event at `nowMs`: the event itself, or
    // nothing (it is counted), after a `suppressed` one that had fallen due.
    std::vector<ConsoleEvent> offer(const ConsoleEvent& event, std::int64_t nowMs);
    // The `suppressed` alert once the minute of the suppressed ones is over.
    std::optional<ConsoleEvent> due(std::int64_t nowMs);
    // An alert offer() let through that could not be started after all (too
    // many waiting): counted into the next summary, as if it had been held
    // back here.
    void putBack(const ConsoleEvent& event, std::int64_t nowMs);
    // When due() next has something to give, or nothing.
    std::optional<std::int64_t> nextDue() const;

private:
    std::deque<std::int64_t> started_;
    std::uint64_t suppressed_ = 0;
    ConsoleEvent last_;
    std::int64_t suppressedUntil_ = 0;
};

// The variables the command gets: TORV_EVENT, TORV_TASK and TORV_DESCRIPTION
// (with a task), TORV_MESSAGE, TORV_CODE, TORV_REASON, TORV_SUPPRESSED (when
// set), TORV_HOST and TORV_TIME (ISO 8601, UTC).
std::vector<std::pair<std::string, std::string>> alertEnvironment(const ConsoleEvent& event, const std::string& host,
                                                                  const std::string& isoTime);

} // namespace torv

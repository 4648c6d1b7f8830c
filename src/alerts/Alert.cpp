#include "alerts/Alert.h"

#include <algorithm>

namespace torv {

AlertFilter AlertFilter::parse(const std::string& text, std::vector<std::string>& unknown)
{
    return AlertFilter(parseAlertEvents(text, unknown));
}

bool AlertFilter::wants(Event event) const
{
    if (eventFacts(event).reach == EventReach::Summary)
        return true;
    // The figures-only words never start the command, not even with `all`.
    if (!isAlertEvent(event))
        return false;
    return choice_.all || (choice_.failures && isFailureEvent(event)) ||
           std::find(choice_.named.begin(), choice_.named.end(), event) != choice_.named.end();
}

std::vector<ConsoleEvent> AlertLimiter::offer(const ConsoleEvent& event, std::int64_t nowMs)
{
    std::vector<ConsoleEvent> start;
    if (auto summary = due(nowMs))
        start.push_back(*summary);
    while (!started_.empty() && started_.front() <= nowMs - kMinuteMs)
        started_.pop_front();
    if (static_cast<int>(started_.size()) < kPerMinute && suppressed_ == 0) {
        started_.push_back(nowMs);
        start.push_back(event);
        return start;
    }
    // The minute of the ten started ones ends when the first of them is a
    // minute old; the summary goes then.
    if (suppressed_ == 0)
        suppressedUntil_ = started_.front() + kMinuteMs;
    ++suppressed_;
    last_ = event;
    return start;
}

std::optional<ConsoleEvent> AlertLimiter::due(std::int64_t nowMs)
{
    if (suppressed_ == 0 || nowMs < suppressedUntil_)
        return std::nullopt;
    ConsoleEvent summary = last_;
    summary.event = Event::Suppressed;
    summary.suppressed = suppressed_;
    suppressed_ = 0;
    started_.clear();
    started_.push_back(nowMs);
    return summary;
}

void AlertLimiter::putBack(const ConsoleEvent& event, std::int64_t nowMs)
{
    if (suppressed_ == 0)
        suppressedUntil_ = started_.empty() ? nowMs : started_.front() + kMinuteMs;
    // A summary put back keeps its count.
    suppressed_ += event.suppressed > 0 ? event.suppressed : 1;
    last_ = event;
}

std::optional<std::int64_t> AlertLimiter::nextDue() const
{
    if (suppressed_ == 0)
        return std::nullopt;
    return suppressedUntil_;
}

std::vector<std::pair<std::string, std::string>> alertEnvironment(const ConsoleEvent& e, const std::string& host,
                                                                  const std::string& isoTime)
{
    std::vector<std::pair<std::string, std::string>> env{{"TORV_EVENT", eventWord(e.event)}};
    if (e.task > 0) {
        env.emplace_back("TORV_TASK", std::to_string(e.task));
        env.emplace_back("TORV_DESCRIPTION", e.description);
    }
    env.emplace_back("TORV_MESSAGE", e.message);
    if (!e.code.empty())
        env.emplace_back("TORV_CODE", e.code);
    if (!e.reason.empty())
        env.emplace_back("TORV_REASON", e.reason);
    if (e.suppressed > 0)
        env.emplace_back("TORV_SUPPRESSED", std::to_string(e.suppressed));
    if (e.restarts > 0)
        env.emplace_back("TORV_RESTARTS", std::to_string(e.restarts));
    env.emplace_back("TORV_HOST", host);
    env.emplace_back("TORV_TIME", isoTime);
    return env;
}

} // namespace torv

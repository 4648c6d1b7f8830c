#include "alerts/Alert.h"

#include "base/AsciiCase.h"

#include <algorithm>

namespace torv {

namespace {

std::string trimmed(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t");
    const auto e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

AlertFilter AlertFilter::parse(const std::string& text, std::vector<std::string>& unknown)
{
    AlertFilter filter;
    filter.failures_ = false;
    std::string rest = text;
    bool any = false;
    while (true) {
        const auto comma = rest.find(',');
        const std::string word = asciiLower(trimmed(rest.substr(0, comma)));
        if (word == "failure") {
            filter.failures_ = any = true;
        } else if (word == "all") {
            filter.all_ = any = true;
        } else if (isAlertEvent(word)) {
            filter.words_.push_back(word);
            any = true;
        } else if (!word.empty()) {
            unknown.push_back(word);
        }
        if (comma == std::string::npos)
            break;
        rest = rest.substr(comma + 1);
    }
    // Nothing usable asked for: the default, so that a typo never silences
    // the failures.
    if (!any)
        filter.failures_ = true;
    return filter;
}

bool AlertFilter::wants(const std::string& event) const
{
    if (event == "suppressed")
        return true;
    // The figures-only words never start the command, not even with `all`.
    if (!isAlertEvent(event))
        return false;
    return all_ || (failures_ && isFailureEvent(event)) ||
           std::find(words_.begin(), words_.end(), event) != words_.end();
}

std::vector<AlertEvent> AlertLimiter::offer(const AlertEvent& event, std::int64_t nowMs)
{
    std::vector<AlertEvent> start;
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

std::optional<AlertEvent> AlertLimiter::due(std::int64_t nowMs)
{
    if (suppressed_ == 0 || nowMs < suppressedUntil_)
        return std::nullopt;
    AlertEvent summary = last_;
    summary.event = "suppressed";
    summary.suppressed = suppressed_;
    suppressed_ = 0;
    started_.clear();
    started_.push_back(nowMs);
    return summary;
}

void AlertLimiter::putBack(const AlertEvent& event, std::int64_t nowMs)
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

std::vector<std::pair<std::string, std::string>> alertEnvironment(const AlertEvent& e, const std::string& host,
                                                                  const std::string& isoTime)
{
    std::vector<std::pair<std::string, std::string>> env{{"TORV_EVENT", e.event}};
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

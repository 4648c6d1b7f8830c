#include "alerts/AlertDispatcher.h"

#include "base/Failure.h"

#include <algorithm>
#include <cstdio>

namespace torv {

namespace {

// No variable can hold a NUL byte; one in a message is shown as \0.
std::string withoutNul(const std::string& value)
{
    std::string out;
    for (char c : value)
        out += c == '\0' ? std::string("\\0") : std::string(1, c);
    return out;
}

} // namespace

std::string isoUtcTime(long long utcMs)
{
    // Days since the epoch to a civil date (proleptic Gregorian calendar).
    long long seconds = utcMs >= 0 ? utcMs / 1000 : (utcMs - 999) / 1000;
    long long days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const long long secondOfDay = seconds - days * 86400;
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const long long day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const long long month = mp < 10 ? mp + 3 : mp - 9;
    const long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char text[96];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ", year, month, day, secondOfDay / 3600,
                  secondOfDay / 60 % 60, secondOfDay % 60);
    return text;
}

AlertDispatcher::AlertDispatcher(EventLoop& events, const Clock& clock, Launcher& launcher, std::string host,
                                 std::function<void(const std::string&)> log)
    : events_(events), clock_(clock), launcher_(launcher), host_(std::move(host)), log_(events, std::move(log)),
      summaryTimer_(events.createTimer(1000, false, [this] { tick(); }))
{
}

AlertDispatcher::~AlertDispatcher()
{
    *alive_ = false;
}

void AlertDispatcher::configure(const std::string& command, const AlertFilter& filter, int timeoutSeconds)
{
    command_ = command;
    filter_ = filter;
    timeoutSeconds_ = timeoutSeconds;
    if (command_.empty())
        waiting_.clear();
    log_.reset();
}

void AlertDispatcher::notify(const ConsoleEvent& event)
{
    if (command_.empty() || !filter_.wants(event.event))
        return;
    for (const ConsoleEvent& alert : limiter_.offer(event, clock_.utcMilliseconds()))
        offer(alert);
    if (limiter_.nextDue() && !summaryTimer_->enabled())
        summaryTimer_->setEnabled(true);
}

void AlertDispatcher::tick()
{
    if (auto summary = limiter_.due(clock_.utcMilliseconds()); summary && !command_.empty())
        offer(*summary);
    summaryTimer_->setEnabled(limiter_.nextDue().has_value());
}

void AlertDispatcher::offer(const ConsoleEvent& alert)
{
    if (static_cast<int>(running_.size()) < kMostRunning)
        start(alert);
    else if (static_cast<int>(waiting_.size()) < kMostWaiting)
        waiting_.push_back(alert);
    else
        limiter_.putBack(alert, clock_.utcMilliseconds());
}

void AlertDispatcher::start(const ConsoleEvent& alert)
{
    ExtraEnvironment env;
    for (const auto& [name, value] : alertEnvironment(alert, host_, isoUtcTime(clock_.utcMilliseconds())))
        env.emplace_back(name, withoutNul(value));
    std::unique_ptr<RunningProcess> process;
    try {
        process = launcher_.startWithEnvironment(command_, env);
    } catch (const Failure& failure) {
        log_.once("ALERT COMMAND NOT STARTED (" + failure.text() + "): " + command_);
        return;
    }
    Running& running = running_.emplace_back();
    running.id = ++lastId_;
    running.process = std::move(process);
    const std::uint64_t id = running.id;
    const std::string command = command_;
    const int seconds = timeoutSeconds_;
    running.limit =
        events_.createTimer(seconds * 1000, true, [this, id, seconds, command] { timeUp(id, seconds, command); });
    running.process->onEnd(events_, [this, alive = alive_, id, command](int status) {
        if (*alive)
            ended(id, status, command);
    });
}

void AlertDispatcher::timeUp(std::uint64_t id, int seconds, const std::string& command)
{
    for (Running& running : running_) {
        if (running.id != id || running.timedOut)
            continue;
        // Its end is reported as any other; the slot is free then.
        running.timedOut = true;
        running.limit->setEnabled(false);
        running.process->end();
        log_.once("Alert Command Ended After Its Time Limit Of " + std::to_string(seconds) + " Seconds: " + command);
    }
}

void AlertDispatcher::ended(std::uint64_t id, int status, const std::string& command)
{
    const auto it = std::find_if(running_.begin(), running_.end(), [id](const Running& r) { return r.id == id; });
    if (it == running_.end())
        return;
    if (status != 0 && !it->timedOut)
        log_.once("ALERT COMMAND ENDED WITH STATUS " + std::to_string(status) + ": " + command);
    running_.erase(it);
    // The next in line takes the place; one that cannot start frees it again.
    while (!waiting_.empty() && static_cast<int>(running_.size()) < kMostRunning) {
        const ConsoleEvent next = waiting_.front();
        waiting_.pop_front();
        start(next);
    }
}

} // namespace torv

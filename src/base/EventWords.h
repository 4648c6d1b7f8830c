#pragma once
// The console's events and their fixed words: what an alert command gets as
// TORV_EVENT and what `events =` in torv.ini names. One table holds each
// event's word and who hears of it; the enum is in the table's order, so an
// event indexes its own row. Kept below the settings, which judge the words
// of `events =`.
#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>

namespace torv {

enum class Event {
    LaunchFailed,
    NotReady,
    SequenceStopped,
    CommandRefused,
    AbnormalStop,
    SettingsReplaced,
    IpCheckFailed,
    TaskExited,
    TaskGaveUp,
    SequenceStarted,
    SequenceComplete,
    Command,
    Shutdown,
    Restart,
    IpChanged,
    TaskRestarted,
    TaskStopped,
    SequenceCounting,
    TaskLaunched,
    TaskReady,
    RemotePoll,
    TaskWatched,
    TaskEnded,
    TaskStopping,
    Suppressed,
};

// Who hears of an event besides the metrics file.
enum class EventReach {
    Failure,     // the alert command, also with `events = failure` (the default)
    Alert,       // the alert command when `events` names it, or with `all`
    FiguresOnly, // never the alert command, not even with `all`
    Summary,     // the alert limit's own summary: always sent, never named
};

struct EventFacts {
    Event event;
    const char* word;
    EventReach reach;
};

// The figures-only words carry facts the metrics file counts:
//   sequence-counting  the countdown before the launches began
//   task-launched      a task's program started (task, description)
//   task-ready         a launched task's `ready` checks all held (task)
//   remote-poll        the remote folder was looked at
//   task-watched       a task's program is kept running from now on (task)
//   task-ended         a kept program ended (task, code: its status)
//   task-stopping      the end stops a kept program (task, code: its stop-timeout)
inline constexpr EventFacts kEventTable[] = {
    {Event::LaunchFailed, "launch-failed", EventReach::Failure},
    {Event::NotReady, "not-ready", EventReach::Failure},
    {Event::SequenceStopped, "sequence-stopped", EventReach::Failure},
    {Event::CommandRefused, "command-refused", EventReach::Failure},
    {Event::AbnormalStop, "abnormal-stop", EventReach::Failure},
    {Event::SettingsReplaced, "settings-replaced", EventReach::Failure},
    {Event::IpCheckFailed, "ip-check-failed", EventReach::Failure},
    {Event::TaskExited, "task-exited", EventReach::Failure},
    {Event::TaskGaveUp, "task-gave-up", EventReach::Failure},
    {Event::SequenceStarted, "sequence-started", EventReach::Alert},
    {Event::SequenceComplete, "sequence-complete", EventReach::Alert},
    {Event::Command, "command", EventReach::Alert},
    {Event::Shutdown, "shutdown", EventReach::Alert},
    {Event::Restart, "restart", EventReach::Alert},
    {Event::IpChanged, "ip-changed", EventReach::Alert},
    {Event::TaskRestarted, "task-restarted", EventReach::Alert},
    {Event::TaskStopped, "task-stopped", EventReach::Alert},
    {Event::SequenceCounting, "sequence-counting", EventReach::FiguresOnly},
    {Event::TaskLaunched, "task-launched", EventReach::FiguresOnly},
    {Event::TaskReady, "task-ready", EventReach::FiguresOnly},
    {Event::RemotePoll, "remote-poll", EventReach::FiguresOnly},
    {Event::TaskWatched, "task-watched", EventReach::FiguresOnly},
    {Event::TaskEnded, "task-ended", EventReach::FiguresOnly},
    {Event::TaskStopping, "task-stopping", EventReach::FiguresOnly},
    {Event::Suppressed, "suppressed", EventReach::Summary},
};

namespace detail {
constexpr bool eventTableInOrder()
{
    for (std::size_t i = 0; i < std::size(kEventTable); ++i)
        if (kEventTable[i].event != static_cast<Event>(i))
            return false;
    return std::size(kEventTable) == static_cast<std::size_t>(Event::Suppressed) + 1;
}
constexpr bool eventWordsDistinct()
{
    for (std::size_t i = 0; i < std::size(kEventTable); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (std::string_view(kEventTable[i].word) == kEventTable[j].word)
                return false;
    return true;
}
} // namespace detail
static_assert(detail::eventTableInOrder(), "one row per event, in the enum's order");
static_assert(detail::eventWordsDistinct(), "a word names one event");

constexpr const EventFacts& eventFacts(Event event)
{
    return kEventTable[static_cast<std::size_t>(event)];
}

constexpr const char* eventWord(Event event)
{
    return eventFacts(event).word;
}

// Whether the alert command can be started for an event, and whether it is a
// failure (sent with `events = failure`).
constexpr bool isAlertEvent(Event event)
{
    const EventReach reach = eventFacts(event).reach;
    return reach == EventReach::Failure || reach == EventReach::Alert;
}

constexpr bool isFailureEvent(Event event)
{
    return eventFacts(event).reach == EventReach::Failure;
}

// The event a word names exactly (the words are lower case), or none.
constexpr std::optional<Event> eventNamed(std::string_view word)
{
    for (const EventFacts& facts : kEventTable)
        if (word == facts.word)
            return facts.event;
    return std::nullopt;
}

} // namespace torv

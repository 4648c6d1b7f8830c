#include "alerts/MetricsWriter.h"

#include "base/Failure.h"
#include "ports/AtomicFile.h"

#include <cstdlib>

namespace torv {

MetricsWriter::MetricsWriter(EventLoop& events, const Clock& clock, std::string version,
                             std::function<void(const std::string&)> log)
    : clock_(clock), log_(events, std::move(log)), minuteTimer_(events.createTimer(60000, false, [this] { write(); }))
{
    figures_.version = std::move(version);
}

void MetricsWriter::configure(const std::string& path)
{
    const bool changed = path != path_;
    path_ = path;
    minuteTimer_->setEnabled(!path_.empty());
    if (changed) {
        log_.reset();
        write();
    }
}

void MetricsWriter::notify(const ConsoleEvent& e)
{
    const long long nowMs = clock_.utcMilliseconds();
    const double now = static_cast<double>(nowMs) / 1000;
    if (e.task > 0 && !e.description.empty())
        figures_.tasks[e.task].description = e.description;
    switch (e.event) {
    case Event::RemotePoll:
        // Every ten seconds: kept for the next write rather than written.
        figures_.lastPoll = now;
        return;
    case Event::SequenceCounting:
        figures_.state = SequenceState::Counting;
        break;
    case Event::SequenceStarted:
        figures_.state = SequenceState::Running;
        figures_.sequenceStart = now;
        break;
    case Event::SequenceComplete:
        figures_.state = SequenceState::Complete;
        break;
    case Event::SequenceStopped:
        figures_.state = SequenceState::Stopped;
        break;
    case Event::TaskLaunched:
        figures_.tasks[e.task].launchedAt = now;
        launchedMs_[e.task] = nowMs;
        break;
    case Event::TaskReady:
        if (auto it = launchedMs_.find(e.task); it != launchedMs_.end())
            figures_.tasks[e.task].readySeconds = static_cast<double>(nowMs - it->second) / 1000;
        break;
    case Event::TaskWatched:
    case Event::TaskRestarted: {
        TaskFigures& task = figures_.tasks[e.task];
        task.watched = task.running = true;
        if (e.event == Event::TaskRestarted)
            ++task.restarts;
        break;
    }
    case Event::TaskEnded: {
        TaskFigures& task = figures_.tasks[e.task];
        task.running = false;
        task.exited = true;
        task.lastExitStatus = std::strtoll(e.code.c_str(), nullptr, 10);
        break;
    }
    case Event::LaunchFailed:
    case Event::NotReady:
        ++figures_.tasks[e.task].failures;
        break;
    case Event::Command:
        ++figures_.commands[e.kind.empty() ? "launch" : e.kind];
        break;
    case Event::Shutdown:
    case Event::Restart:
        ++figures_.commands[eventWord(e.event)];
        break;
    case Event::CommandRefused:
        ++figures_.commands["refused"];
        // Only the fixed words have a series; a "DEL" command has no reason.
        if (auto it = figures_.refused.find(e.reason); it != figures_.refused.end())
            ++it->second;
        break;
    case Event::AbnormalStop:
    case Event::SettingsReplaced:
    case Event::IpCheckFailed:
    case Event::IpChanged:
    case Event::TaskExited:
    case Event::TaskGaveUp:
    case Event::TaskStopped:
    case Event::TaskStopping:
    case Event::Suppressed:
        // Nothing counted; the file is written all the same.
        break;
    }
    write();
}

void MetricsWriter::stop()
{
    figures_.up = false;
    write();
    minuteTimer_->setEnabled(false);
}

void MetricsWriter::write()
{
    if (path_.empty())
        return;
    WriteRules rules;
    // Read by the exporter's user, whatever the console's umask.
    rules.permissions = 0644;
    try {
        writeFileAtomically(path_, formatMetrics(figures_), rules);
        log_.reset();
    } catch (const Failure& failure) {
        log_.once("METRICS FILE NOT WRITTEN (" + failure.text() + "): " + path_ + "; tried again at the next write");
    }
}

} // namespace torv

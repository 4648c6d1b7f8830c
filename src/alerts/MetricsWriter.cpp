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
    const std::string& word = e.event;
    if (e.task > 0 && !e.description.empty())
        figures_.tasks[e.task].description = e.description;
    if (word == "remote-poll") {
        // Every ten seconds: kept for the next write rather than written.
        figures_.lastPoll = now;
        return;
    }
    if (word == "sequence-counting") {
        figures_.state = SequenceState::Counting;
    } else if (word == "sequence-started") {
        figures_.state = SequenceState::Running;
        figures_.sequenceStart = now;
    } else if (word == "sequence-complete") {
        figures_.state = SequenceState::Complete;
    } else if (word == "sequence-stopped") {
        figures_.state = SequenceState::Stopped;
    } else if (word == "task-launched") {
        figures_.tasks[e.task].launchedAt = now;
        launchedMs_[e.task] = nowMs;
    } else if (word == "task-ready") {
        if (auto it = launchedMs_.find(e.task); it != launchedMs_.end())
            figures_.tasks[e.task].readySeconds = static_cast<double>(nowMs - it->second) / 1000;
    } else if (word == "task-watched" || word == "task-restarted") {
        TaskFigures& task = figures_.tasks[e.task];
        task.watched = task.running = true;
        if (word == "task-restarted")
            ++task.restarts;
    } else if (word == "task-ended") {
        TaskFigures& task = figures_.tasks[e.task];
        task.running = false;
        task.exited = true;
        task.lastExitStatus = std::strtoll(e.code.c_str(), nullptr, 10);
    } else if (word == "launch-failed" || word == "not-ready") {
        ++figures_.tasks[e.task].failures;
    } else if (word == "command") {
        ++figures_.commands[e.kind.empty() ? "launch" : e.kind];
    } else if (word == "shutdown" || word == "restart") {
        ++figures_.commands[word];
    } else if (word == "command-refused") {
        ++figures_.commands["refused"];
        // Only the fixed words have a series; a "DEL" command has no reason.
        if (auto it = figures_.refused.find(e.reason); it != figures_.refused.end())
            ++it->second;
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

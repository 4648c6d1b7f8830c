#include "alerts/Metrics.h"

#include "ports/Files.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace torv {

namespace {

std::string number(double v)
{
    if (v == std::floor(v) && std::fabs(v) < 1e15)
        return std::to_string(static_cast<long long>(v));
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.3f", v);
    return buffer;
}

class Writer {
public:
    void family(const char* name, const char* type, const char* help)
    {
        text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }
    void sample(const std::string& name, const std::string& labels, const std::string& value)
    {
        text_ += name + (labels.empty() ? "" : "{" + labels + "}") + " " + value + "\n";
    }
    std::string text() const { return text_; }

private:
    std::string text_;
};

std::string label(const char* name, const std::string& value)
{
    return std::string(name) + "=\"" + escapeLabelValue(value) + "\"";
}

} // namespace

std::string escapeLabelValue(const std::string& value)
{
    std::string out;
    for (char c : withValidUtf8(value)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string formatMetrics(const ConsoleFigures& f)
{
    Writer w;
    w.family("torv_up", "gauge", "1 while the console runs; 0 once it has ended cleanly.");
    w.sample("torv_up", {}, f.up ? "1" : "0");

    w.family("torv_sequence_state", "gauge", "The start-up sequence's state: the current one is 1.");
    const std::pair<SequenceState, const char*> states[] = {{SequenceState::Counting, "counting"},
                                                            {SequenceState::Running, "running"},
                                                            {SequenceState::Complete, "complete"},
                                                            {SequenceState::Stopped, "stopped"}};
    for (const auto& [state, word] : states)
        w.sample("torv_sequence_state", label("state", word), f.state == state ? "1" : "0");

    // A time is left out, family and all, until there is one: a 0 would make
    // every "time() - x > limit" rule fire.
    if (f.sequenceStart > 0) {
        w.family("torv_sequence_start_timestamp_seconds", "gauge", "When the last sequence started.");
        w.sample("torv_sequence_start_timestamp_seconds", {}, number(f.sequenceStart));
    }

    bool launchFamily = false;
    for (const auto& [n, task] : f.tasks) {
        if (task.launchedAt <= 0)
            continue;
        if (!std::exchange(launchFamily, true))
            w.family("torv_task_launch_timestamp_seconds", "gauge", "When each task was last launched.");
        w.sample("torv_task_launch_timestamp_seconds",
                 label("task", std::to_string(n)) + "," + label("description", task.description),
                 number(task.launchedAt));
    }

    w.family("torv_task_failures_total", "counter", "Launches that failed and readiness checks that timed out.");
    for (const auto& [n, task] : f.tasks)
        w.sample("torv_task_failures_total", label("task", std::to_string(n)), std::to_string(task.failures));

    w.family("torv_task_ready_seconds", "gauge", "Seconds from a task's launch until its readiness checks held.");
    for (const auto& [n, task] : f.tasks)
        if (task.readySeconds >= 0)
            w.sample("torv_task_ready_seconds", label("task", std::to_string(n)), number(task.readySeconds));

    // The kept tasks' series, each family only once a task is kept.
    const struct {
        const char* name;
        const char* type;
        const char* help;
        bool (*has)(const TaskFigures&);
        std::string (*value)(const TaskFigures&);
    } kept[] = {
        {"torv_task_running", "gauge", "1 while a kept task's program runs.",
         [](const TaskFigures& t) { return t.watched; },
         [](const TaskFigures& t) { return std::string(t.running ? "1" : "0"); }},
        {"torv_task_restarts_total", "counter", "Restarts of a kept task's program since the console started.",
         [](const TaskFigures& t) { return t.watched; },
         [](const TaskFigures& t) { return std::to_string(t.restarts); }},
        {"torv_task_last_exit_status", "gauge", "The status a kept task's program last ended with.",
         [](const TaskFigures& t) { return t.exited; },
         [](const TaskFigures& t) { return std::to_string(t.lastExitStatus); }},
    };
    for (const auto& series : kept) {
        bool family = false;
        for (const auto& [n, task] : f.tasks) {
            if (!series.has(task))
                continue;
            if (!std::exchange(family, true))
                w.family(series.name, series.type, series.help);
            w.sample(series.name, label("task", std::to_string(n)), series.value(task));
        }
    }

    if (f.lastPoll > 0) {
        w.family("torv_remote_last_poll_timestamp_seconds", "gauge", "When the remote folder was last looked at.");
        w.sample("torv_remote_last_poll_timestamp_seconds", {}, number(f.lastPoll));
    }

    w.family("torv_remote_commands_total", "counter", "Remote commands by kind.");
    for (const auto& [kind, count] : f.commands)
        w.sample("torv_remote_commands_total", label("kind", kind), std::to_string(count));

    w.family("torv_remote_refused_total", "counter", "Refused remote commands by reason.");
    for (const auto& [reason, count] : f.refused)
        w.sample("torv_remote_refused_total", label("reason", reason), std::to_string(count));

    w.family("torv_build_info", "gauge", "The console's version.");
    w.sample("torv_build_info", label("version", f.version), "1");
    return w.text();
}

} // namespace torv

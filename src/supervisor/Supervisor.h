#pragma once
// The tasks whose programs the console keeps: one TaskSupervisor each, in the
// order they were launched, so that the console's end can stop them in
// reverse, one after the other.
#include "settings/Settings.h"
#include "settings/TaskChecks.h"
#include "supervisor/TaskSupervisor.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace torv {

class Supervisor {
public:
    explicit Supervisor(SupervisorContext context) : context_(std::move(context)) {}
    Supervisor(const Supervisor&) = delete;
    Supervisor& operator=(const Supervisor&) = delete;

    // Takes over a task's program, just launched with `commandLine`; one held
    // for the task before is let go.
    void adopt(int task, const std::string& commandLine, const std::string& description, const KeepRunning& policy,
               std::unique_ptr<RunningProcess> process);
    // Whether task's program, started from this command line, still runs:
    // a reload does not start a second copy.
    bool runs(int task, const std::string& commandLine) const;
    // Called with the status when task's program next ends (once).
    void onNextEnd(int task, std::function<void(int)> ended);
    // After each reading of the settings: a program that no longer matches
    // its task (renumbered, removed, command changed) is let go, still
    // running; the others take the new keys at their next end. A reload
    // (reload true) also drops a pending restart: its sequence starts the
    // task afresh.
    void reconcile(const TaskTable& tasks, int totalApps, const CheckTable& checks, bool reload);
    // Tasks watched now: running, backing off or stopping.
    int watchedCount() const;
    // Whether stopAll has a program to stop.
    bool anyToStop() const;
    // No more restarts; the running `stop = on-exit` programs are stopped in
    // reverse launch order, one after the other; then `done`.
    void stopAll(std::function<void()> done);
    // What still runs of the stopping programs is ended at once.
    void killAll();
    const std::vector<std::unique_ptr<TaskSupervisor>>& tasks() const { return tasks_; }

private:
    TaskSupervisor* find(int task) const;
    void stopFrom(std::size_t count, std::function<void()> done);

    SupervisorContext context_;
    std::vector<std::unique_ptr<TaskSupervisor>> tasks_;
    bool stopping_ = false;
};

} // namespace torv

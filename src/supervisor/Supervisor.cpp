#include "supervisor/Supervisor.h"

#include <algorithm>

namespace torv {

TaskSupervisor* Supervisor::find(int task) const
{
    for (const auto& t : tasks_)
        if (t->task() == task)
            return t.get();
    return nullptr;
}

void Supervisor::adopt(int task, const std::string& commandLine, const std::string& description,
                       const KeepRunning& policy, std::unique_ptr<RunningProcess> process)
{
    std::erase_if(tasks_, [task](const auto& t) { return t->task() == task; });
    tasks_.push_back(
        std::make_unique<TaskSupervisor>(context_, task, commandLine, description, policy, std::move(process)));
    context_.console.notify(consoleEvent(Event::TaskWatched, task, description));
}

bool Supervisor::runs(int task, const std::string& commandLine) const
{
    const TaskSupervisor* t = find(task);
    return t && t->running() && t->commandLine() == commandLine;
}

void Supervisor::onNextEnd(int task, std::function<void(int)> ended)
{
    if (TaskSupervisor* t = find(task))
        t->onNextEnd(std::move(ended));
}

void Supervisor::reconcile(const TaskTable& tasks, int totalApps, const CheckTable& checks, bool reload)
{
    for (const auto& t : tasks_) {
        if (!t->watching())
            continue;
        const int n = t->task();
        const bool same = n >= 1 && n <= totalApps && tasks.TaskLoc[n] == t->commandLine();
        if (!same || (reload && t->state() == TaskSupervisor::State::BackingOff)) {
            t->release();
            continue;
        }
        auto found = checks.find(n);
        t->setPolicy(found == checks.end() ? KeepRunning{} : found->second.keep);
    }
    std::erase_if(tasks_, [](const auto& t) { return t->state() == TaskSupervisor::State::Released; });
}

int Supervisor::watchedCount() const
{
    return static_cast<int>(std::count_if(tasks_.begin(), tasks_.end(), [](const auto& t) { return t->watching(); }));
}

bool Supervisor::anyToStop() const
{
    return std::any_of(tasks_.begin(), tasks_.end(), [](const auto& t) {
        return (t->stopsOnExit() && t->running()) || t->state() == TaskSupervisor::State::BackingOff;
    });
}

void Supervisor::stopAll(std::function<void()> done)
{
    stopping_ = true;
    for (const auto& t : tasks_)
        t->holdRestarts();
    stopFrom(tasks_.size(), std::move(done));
}

void Supervisor::stopFrom(std::size_t count, std::function<void()> done)
{
    while (count > 0) {
        TaskSupervisor& t = *tasks_[--count];
        if (t.stopsOnExit() && t.running()) {
            t.stop([this, count, done = std::move(done)]() mutable { stopFrom(count, std::move(done)); });
            return;
        }
    }
    if (done)
        done();
}

void Supervisor::killAll()
{
    for (const auto& t : tasks_)
        if (t->stopsOnExit())
            t->kill();
}

} // namespace torv

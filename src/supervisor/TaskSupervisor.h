#pragma once
// Keeps one task's program running: restarts it when it ends, as its
// `restart` keys say, with a delay that doubles up to a limit, and stops it
// politely, then by force, when the console ends. One timer, one state; the
// rules are the table in TaskSupervisor.cpp.
#include "core/ConsoleActions.h"
#include "ports/Clock.h"
#include "ports/EventLoop.h"
#include "ports/Launcher.h"
#include "settings/TaskChecks.h"

#include <functional>
#include <memory>
#include <string>

namespace torv {

// What every task's supervisor works with.
struct SupervisorContext {
    EventLoop& events;
    const Clock& clock;
    Launcher& launcher;
    ConsoleActions& console;
    // Runs a restarted program's `ready` checks; holds nothing else up.
    std::function<void(int task, RunningProcess& process)> checkReady;
};

class TaskSupervisor {
public:
    enum class State {
        Up,         // the program runs
        BackingOff, // it ended; a restart waits for its delay
        Stopping,   // asked to stop; forced when its time is up
        GivenUp,    // ended too often in a row
        Ended,      // ended, and its policy restarts nothing
        Stopped,    // stopped by the console's end
        Released,   // no longer this task's (a reload changed the task)
    };

    TaskSupervisor(SupervisorContext& context, int task, std::string commandLine, std::string description,
                   const KeepRunning& policy, std::unique_ptr<RunningProcess> process);
    ~TaskSupervisor();
    TaskSupervisor(const TaskSupervisor&) = delete;
    TaskSupervisor& operator=(const TaskSupervisor&) = delete;

    int task() const { return task_; }
    const std::string& commandLine() const { return commandLine_; }
    State state() const { return state_; }
    // Its program runs, or will run again after a delay, or is stopping.
    bool watching() const;
    bool running() const { return state_ == State::Up || state_ == State::Stopping; }
    bool stopsOnExit() const { return policy_.stop == StopPolicy::OnExit; }
    // Every restart since the console started; a reset never lowers it.
    int totalRestarts() const { return totalRestarts_; }

    // Changed keys take effect at the program's next end.
    void setPolicy(const KeepRunning& policy) { policy_ = policy; }
    // The console is ending: a pending restart is dropped, and an end from
    // now on restarts nothing.
    void holdRestarts();
    // Called with the status when the program next ends (once).
    void onNextEnd(std::function<void(int)> ended) { nextEnd_ = std::move(ended); }
    // The console ends: a running program gets the polite stop, then the
    // forced one after its stop-timeout; `done` is called once it is over
    // (at once when nothing runs). A pending restart is dropped.
    void stop(std::function<void()> done);
    // A second stop request: what still runs is ended at once.
    void kill();
    // The task is no longer this program's: watching ends, the program runs on.
    void release();

private:
    void ended(int status);
    void afterEnd(int status);
    void delayOver();
    void stopTimeUp();
    void restart();
    void watch();
    void finishStop(bool forced);
    void arm(long long ms, void (TaskSupervisor::*then)());
    void retireTimer();
    std::string name() const { return "Task " + std::to_string(task_); }
    ConsoleEvent event(Event what, std::string message, std::string code = {}) const;

    SupervisorContext& context_;
    const int task_;
    const std::string commandLine_;
    const std::string description_;
    KeepRunning policy_;
    std::unique_ptr<RunningProcess> process_;
    State state_ = State::Up;
    std::unique_ptr<Timer> timer_;
    long long startedMs_ = 0;     // when the program last started
    long long stopStartedMs_ = 0; // when the polite stop was sent
    int restartsInRow_ = 0;
    int totalRestarts_ = 0;
    bool forced_ = false;
    std::function<void()> stopped_;
    std::function<void(int)> nextEnd_;
    bool restartsHeld_ = false;
    // Cleared when the supervisor goes: a report that arrives later is dropped.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The delay before restart number `restartsDone` + 1 of a row, in seconds:
// the first waits restart-delay (0: at once, then 1 s), each further one
// twice as long as the last, never longer than restart-max-delay.
int restartDelaySeconds(const KeepRunning& policy, int restartsDone);

} // namespace torv

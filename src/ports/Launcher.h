#pragma once
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace torv {

enum class WindowStyle { Normal = 1, Minimized = 2 };

class EventLoop;

// Variables a started program gets besides the console's own environment; a
// name the console's environment holds already takes the value given here.
using ExtraEnvironment = std::vector<std::pair<std::string, std::string>>;

// A process the console started and keeps hold of until it ends. It runs in
// a process group of its own (Windows: a job object), so that it can be ended
// with whatever it started. Dropping it drops the report, never the process
// (which is still collected when it ends).
class RunningProcess {
public:
    virtual ~RunningProcess() = default;
    // Reports the exit status once, as an event of `events` (a process ended by
    // a signal: 128 + the signal's number). Called at most once.
    virtual void onEnd(EventLoop& events, std::function<void(int status)> ended) = 0;
    // Ends the process and its group at once, with no chance to clean up
    // (POSIX: SIGKILL to the group; Windows: the job is terminated). The end is
    // still reported through onEnd. Nothing happens once the process has ended
    // and been collected; a descendant that left the group is not reached.
    virtual void end() = 0;
    // Asks the process and its group to end, with the chance to clean up
    // (POSIX: SIGTERM to the group). The end is reported through onEnd; one
    // that ignores the request is ended with end() when its time is up.
    virtual void stop() = 0;
    // Whether the process has not yet been seen to end.
    virtual bool running() const = 0;
};

// Starts a command line as a new process and never waits for it. Throws a
// Failure when the process cannot be started (program missing: 53).
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual void run(const std::string& commandLine, WindowStyle style) = 0;
    // Starts it as run() does, with `extra` in its environment.
    virtual void runWithEnvironment(const std::string& commandLine, WindowStyle style,
                                    const ExtraEnvironment& extra) = 0;
    // Starts it as run() does, but keeps hold of the process so that its end
    // can be reported. Fails as run() does.
    virtual std::unique_ptr<RunningProcess> start(const std::string& commandLine, WindowStyle style) = 0;
    // As start(), minimised, with the extra variables in its environment.
    virtual std::unique_ptr<RunningProcess> startWithEnvironment(const std::string& commandLine,
                                                                 const ExtraEnvironment& extra) = 0;
    // Opens a file in the desktop's text editor, the path passed as one word.
    // A failure names in its commandLine the command that was tried.
    virtual void openInTextEditor(const std::string& path) = 0;
};

} // namespace torv

#pragma once
#include <cstdint>
#include <functional>
#include <memory>

namespace torv {

// A window timer: switching it on always starts a fresh full interval. Its
// ticks keep their phase while it runs (a late tick does not delay the next).
class Timer {
public:
    virtual ~Timer() = default;
    virtual void setEnabled(bool on) = 0;
    // Switches it on in its old phase: the first tick comes one interval after
    // its last planned one (or its start), so that a schedule kept on its ticks
    // does not slip by the work done while it was off; a fresh full interval
    // when that moment has passed. An enabled timer is left as it is.
    virtual void resume() = 0;
    virtual bool enabled() const = 0;
    virtual int intervalMs() const = 0;
};

// A native handle the loop watches; dropping it ends the watch (also from
// inside its own call).
class HandleWatch {
public:
    virtual ~HandleWatch() = default;
};

class EventLoop {
public:
    virtual ~EventLoop() = default;
    // Handle what is pending now, then return; never blocks.
    virtual void processPending() = 0;
    // Block until at least one event arrives, handle it, return. Waits are built
    // on this so that they cost no CPU.
    virtual void waitForEvents() = 0;
    virtual std::unique_ptr<Timer> createTimer(int intervalMs, bool enabled, std::function<void()> onTick) = 0;
    // Runs fn on the console's thread as an event of its own, soon; wakes a
    // waitForEvents(). The one call that may come from another thread: work
    // done off the console's thread hands its result back this way.
    virtual void post(std::function<void()> fn) = 0;
    // Calls onReady on the console's thread, as an event, while `handle` is
    // ready and the watch is kept: POSIX a file descriptor that can be read,
    // Windows a waitable handle that is signalled. Null when this loop cannot
    // watch handles (a simulated one); the caller then waits its own way and
    // hands the result back through post().
    virtual std::unique_ptr<HandleWatch> watchHandle(std::intptr_t, std::function<void()>) { return nullptr; }
};

} // namespace torv

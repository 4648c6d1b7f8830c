#pragma once
#include "ports/EventLoop.h"

namespace torv {

// The event loop port on Qt's own loop; waits block in the loop, never spin.
class QtEventLoop : public EventLoop {
public:
    void processPending() override;
    void waitForEvents() override;
    std::unique_ptr<Timer> createTimer(int intervalMs, bool enabled, std::function<void()> onTick) override;
    void post(std::function<void()> fn) override;
    // QSocketNotifier on POSIX, QWinEventNotifier on Windows: both Qt Core.
    std::unique_ptr<HandleWatch> watchHandle(std::intptr_t handle, std::function<void()> onReady) override;
};

} // namespace torv

#pragma once
#include "platform/EventLoop.h"

namespace torv {

// The event loop port on Qt's own loop; waits block in the loop, never spin.
class QtEventLoop : public EventLoop {
public:
    void processPending() override;
    void waitForEvents() override;
    std::unique_ptr<Timer> createTimer(int intervalMs, bool enabled, std::function<void()> onTick) override;
    void post(std::function<void()> fn) override;
};

} // namespace torv

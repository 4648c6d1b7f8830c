#pragma once
// A started process whose end a thread of its own waits for; the exit status
// is posted to the console's loop. Each platform hands in its blocking wait.
#include "platform/EventLoop.h"
#include "platform/Launcher.h"

#include <functional>
#include <memory>

namespace torv {

class WatchedProcess : public RunningProcess {
public:
    // waitForEnd blocks until the process has ended (and is collected) and
    // returns its status; it runs on the waiting thread. endNow ends the
    // process and its group; it must be safe to call from the console's thread
    // at any time, also after the process was collected; stopNow asks the
    // same politely.
    WatchedProcess(std::function<int()> waitForEnd, std::function<void()> endNow, std::function<void()> stopNow);
    ~WatchedProcess() override;
    void onEnd(EventLoop& events, std::function<void(int status)> ended) override;
    void end() override;
    void stop() override;
    bool running() const override;

private:
    std::function<void()> endNow_;
    std::function<void()> stopNow_;
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

} // namespace torv

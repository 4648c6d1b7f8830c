#include "platform/WatchedProcess.h"

#include <mutex>
#include <optional>
#include <thread>

namespace torv {

// What the waiting thread shares with the process object: the status once it
// is known, and where to report it while someone still listens.
struct WatchedProcess::Shared {
    std::mutex mutex;
    std::optional<int> status;
    EventLoop* events = nullptr;
    std::function<void(int)> ended;

    // Under the mutex: the loop cannot go away between the check and the post.
    void reportIfHeard()
    {
        if (status && events && ended) {
            events->post([ended = std::move(ended), status = *status] { ended(status); });
            events = nullptr;
        }
    }
};

WatchedProcess::WatchedProcess(std::function<int()> waitForEnd, std::function<void()> endNow,
                               std::function<void()> stopNow)
    : endNow_(std::move(endNow)), stopNow_(std::move(stopNow)), shared_(std::make_shared<Shared>())
{
    // Detached: a program that outlives the console never holds up its end.
    std::thread([shared = shared_, waitForEnd = std::move(waitForEnd)] {
        const int status = waitForEnd();
        std::lock_guard lock(shared->mutex);
        shared->status = status;
        shared->reportIfHeard();
    }).detach();
}

WatchedProcess::~WatchedProcess()
{
    std::lock_guard lock(shared_->mutex);
    shared_->events = nullptr;
    shared_->ended = nullptr;
}

void WatchedProcess::onEnd(EventLoop& events, std::function<void(int status)> ended)
{
    std::lock_guard lock(shared_->mutex);
    shared_->events = &events;
    shared_->ended = std::move(ended);
    shared_->reportIfHeard();
}

void WatchedProcess::end()
{
    endNow_();
}

void WatchedProcess::stop()
{
    stopNow_();
}

bool WatchedProcess::running() const
{
    std::lock_guard lock(shared_->mutex);
    return !shared_->status;
}

} // namespace torv

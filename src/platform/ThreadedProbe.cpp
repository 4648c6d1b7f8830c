#include "platform/ThreadedProbe.h"

#include <mutex>
#include <thread>

namespace torv {

// What a try's thread shares with the probe: the loop to post to, while the
// probe lives. The mutex is held while posting, so the loop cannot go away
// between the check and the post.
struct ThreadedProbe::Shared {
    std::mutex mutex;
    EventLoop* events = nullptr;
};

ThreadedProbe::ThreadedProbe(EventLoop& events, TryFunction tryOnce)
    : events_(events), shared_(std::make_shared<Shared>()), tryOnce_(std::move(tryOnce))
{
    shared_->events = &events;
}

ThreadedProbe::~ThreadedProbe()
{
    std::lock_guard lock(shared_->mutex);
    shared_->events = nullptr;
}

void ThreadedProbe::start(const ProbeTarget& target, std::function<void(ProbeResult)> done)
{
    // Each try has its own limit (a hung lookup still blocks its thread, which
    // is why the next try waits for this one to end). Detached: a try never
    // holds up the program's end.
    std::thread([shared = shared_, tryOnce = tryOnce_, target, done = std::move(done)]() mutable {
        ProbeResult result;
        try {
            result = tryOnce(target);
        } catch (const std::exception& e) {
            result = {false, e.what()};
        }
        std::lock_guard lock(shared->mutex);
        if (shared->events)
            shared->events->post([done = std::move(done), result = std::move(result)] { done(result); });
    }).detach();
}

} // namespace torv

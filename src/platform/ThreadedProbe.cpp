#include "platform/ThreadedProbe.h"

#include "platform/LoopPost.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace torv {

namespace {
// A thread with no try to make ends after this long: a check tried every
// 100 ms reuses its thread instead of starting one for each try.
constexpr auto kIdleThreadLife = std::chrono::seconds(5);
} // namespace

// What the tries' threads share with the probe: the loop to post to, while
// the probe lives, and the threads waiting for a try. A result is posted
// under the mutex, so that no try can be handed to this thread (nor a new
// thread started for want of it) before it counts as idle.
struct ThreadedProbe::Shared {
    struct Job {
        TryFunction tryOnce;
        ProbeTarget target;
        std::function<void(ProbeResult)> done;
    };
    // A thread between two tries: start() hands it the next one.
    struct Idle {
        std::condition_variable wake;
        std::optional<Job> job;
    };
    LoopPost loop;
    std::mutex mutex;
    std::vector<Idle*> idle;

    static void work(const std::shared_ptr<Shared>& shared, Job job)
    {
        Idle self;
        for (;;) {
            ProbeResult result;
            try {
                result = job.tryOnce(job.target);
            } catch (const std::exception& e) {
                result = {false, e.what()};
            }
            std::unique_lock lock(shared->mutex);
            shared->loop.post([done = std::move(job.done), result = std::move(result)] { done(result); });
            shared->idle.push_back(&self);
            if (!self.wake.wait_for(lock, kIdleThreadLife, [&] { return self.job.has_value(); })) {
                std::erase(shared->idle, &self);
                return;
            }
            job = std::move(*self.job);
            self.job.reset();
        }
    }
};

ThreadedProbe::ThreadedProbe(EventLoop& events, TryFunction tryOnce)
    : events_(events), shared_(std::make_shared<Shared>()), tryOnce_(std::move(tryOnce))
{
    shared_->loop.open(events);
}

ThreadedProbe::~ThreadedProbe()
{
    shared_->loop.close();
}

void ThreadedProbe::start(const ProbeTarget& target, std::function<void(ProbeResult)> done)
{
    // Each try has its own limit (a hung lookup still blocks its thread, which
    // is why the next try waits for this one to end), and a thread of its
    // own: an idle one, or a new one. Detached: a try never holds up the
    // program's end.
    Shared::Job job{tryOnce_, target, std::move(done)};
    std::lock_guard lock(shared_->mutex);
    if (shared_->idle.empty()) {
        std::thread([shared = shared_, job = std::move(job)]() mutable {
            Shared::work(shared, std::move(job));
        }).detach();
        return;
    }
    Shared::Idle* thread = shared_->idle.back();
    shared_->idle.pop_back();
    thread->job = std::move(job);
    thread->wake.notify_one();
}

} // namespace torv

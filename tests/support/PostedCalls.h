#pragma once
// An event loop for adapter tests whose only events are calls posted from
// other threads; they run on the test's thread, one per waitForEvents().
#include "ports/EventLoop.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace torv::sim {

struct PostedCalls : EventLoop {
    std::mutex mutex;
    std::condition_variable posted;
    std::vector<std::function<void()>> calls;
    void processPending() override {}
    void waitForEvents() override
    {
        std::unique_lock lock(mutex);
        posted.wait(lock, [this] { return !calls.empty(); });
        auto fn = std::move(calls.front());
        calls.erase(calls.begin());
        lock.unlock();
        fn();
    }
    std::unique_ptr<Timer> createTimer(int, bool, std::function<void()>) override { return nullptr; }
    void post(std::function<void()> fn) override
    {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(fn));
        posted.notify_one();
    }
};

} // namespace torv::sim

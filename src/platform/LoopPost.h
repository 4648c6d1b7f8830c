#pragma once
// How work done off the console's thread (a detached thread, a callback of
// the system's) hands its result back to an event loop without outliving
// whoever asked for it.
#include "ports/EventLoop.h"

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

namespace torv {

// The loop to post to while its owner wants results. The owner shares it
// with its workers and closes it on its way out: a result offered after that
// is dropped. The lock is held while posting, so that closing waits for a
// post under way and the loop is never touched once the owner has gone.
class LoopPost {
public:
    LoopPost() = default;
    explicit LoopPost(EventLoop& events) : events_(&events) {}
    LoopPost(const LoopPost&) = delete;
    LoopPost& operator=(const LoopPost&) = delete;

    void open(EventLoop& events);
    void close();
    // Posts `event` unless closed; whether it was posted.
    bool post(std::function<void()> event);
    // The same, closing it with the post: at most one post until reopened.
    bool postOnce(std::function<void()> event);

private:
    std::mutex mutex_;
    EventLoop* events_ = nullptr;
};

// A listener on an event loop that hears one value at most, told from any
// thread. The listener is taken only when the event runs: dropped (or
// destroyed) in between, it hears nothing.
template <class T> class LoopReply {
public:
    // Arms it for the next tell(); a listener set before is replaced.
    void listen(EventLoop& events, std::function<void(T)> listener)
    {
        std::lock_guard lock(state_->mutex);
        state_->listener = std::move(listener);
        state_->loop.open(events);
    }

    // Posts `value` to the listener if one is armed, which disarms it;
    // whether it was posted.
    bool tell(T value)
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->listener)
            return false;
        return state_->loop.postOnce([weak = std::weak_ptr<State>(state_), value = std::move(value)]() mutable {
            std::function<void(T)> once;
            if (auto state = weak.lock()) {
                std::lock_guard lock(state->mutex);
                once = std::exchange(state->listener, nullptr);
            }
            if (once)
                once(std::move(value));
        });
    }

    // No listener from now on, not even for a value already posted.
    void drop()
    {
        std::lock_guard lock(state_->mutex);
        state_->loop.close();
        state_->listener = nullptr;
    }

private:
    // Shared with the posted events, which find it gone once the reply is.
    struct State {
        std::mutex mutex;
        LoopPost loop;
        std::function<void(T)> listener;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace torv

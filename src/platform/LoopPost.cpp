#include "platform/LoopPost.h"

namespace torv {

void LoopPost::open(EventLoop& events)
{
    std::lock_guard lock(mutex_);
    events_ = &events;
}

void LoopPost::close()
{
    std::lock_guard lock(mutex_);
    events_ = nullptr;
}

bool LoopPost::post(std::function<void()> event)
{
    std::lock_guard lock(mutex_);
    if (!events_)
        return false;
    events_->post(std::move(event));
    return true;
}

bool LoopPost::postOnce(std::function<void()> event)
{
    std::lock_guard lock(mutex_);
    if (!events_)
        return false;
    events_->post(std::move(event));
    events_ = nullptr;
    return true;
}

} // namespace torv

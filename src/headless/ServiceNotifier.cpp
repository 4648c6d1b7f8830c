#include "headless/ServiceNotifier.h"

#include <cstdlib>
#include <utility>

namespace torv {

ServiceNotifier::ServiceNotifier(EventLoop& events, ServiceManager& manager)
    : manager_(manager), gate_(events.createTimer(1000, false, [this] { gateTick(); }))
{
    if (const int every = manager_.watchdogIntervalMs(); every > 0)
        watchdog_ = events.createTimer(every, true, [this] { manager_.watchdog(); });
}

void ServiceNotifier::notify(const ConsoleEvent& event)
{
    // Every start-up that has read config.ini and torv.ini goes on to count
    // down; a reload's countdown is no news to the manager.
    if (event.event == Event::SequenceCounting && !ready_) {
        ready_ = true;
        manager_.ready();
    }
    // The end has begun with a kept program to stop: the manager hears the
    // stop now and gives each program its time.
    if (event.event == Event::TaskStopping) {
        if (!std::exchange(stopping_, true))
            manager_.stopping();
        manager_.stoppingTask(std::atoi(event.code.c_str()) * 1000);
    }
}

void ServiceNotifier::ending()
{
    if (!std::exchange(stopping_, true))
        manager_.stopping();
}

void ServiceNotifier::statusChanged(const std::string& text)
{
    // The waits set the same text on every pass; only a change is sent.
    pending_ = text;
    if (gate_->enabled() || text == sent_)
        return;
    sent_ = text;
    manager_.status(text);
    gate_->setEnabled(true);
}

void ServiceNotifier::gateTick()
{
    // The newest text held back during the last second, if it is news.
    if (pending_ == sent_) {
        gate_->setEnabled(false);
        return;
    }
    sent_ = pending_;
    manager_.status(sent_);
}

} // namespace torv

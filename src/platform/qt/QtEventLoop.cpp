#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#ifdef _WIN32
#include <QWinEventNotifier>
#include <windows.h>
#else
#include <QSocketNotifier>
#endif

#include <chrono>

namespace torv {

namespace {

class QtTimer : public Timer {
public:
    QtTimer(int interval, std::function<void()> tick) : interval_(interval), tick_(std::move(tick))
    {
        // A coarse timer may fire 5 % early or late, which drifts a launch
        // schedule by tens of milliseconds; a precise one keeps the second at
        // no measurable cost for timers of a second and more.
        timer_.setTimerType(Qt::PreciseTimer);
        // Each tick is armed for its planned moment, counted from the start:
        // the time a tick takes, or its lateness, never adds up.
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            due_ += std::chrono::milliseconds(interval_);
            armFor(due_);
            tick_();
        });
    }
    void setEnabled(bool on) override
    {
        // Switching on an enabled timer changes nothing; a stopped one starts a
        // fresh full interval.
        if (on && !enabled_)
            start(Clock::now() + std::chrono::milliseconds(interval_));
        else if (!on) {
            enabled_ = false;
            timer_.stop();
        }
    }
    void resume() override
    {
        if (enabled_)
            return;
        const auto now = Clock::now();
        start(due_ > now ? due_ : now + std::chrono::milliseconds(interval_));
    }
    bool enabled() const override { return enabled_; }
    int intervalMs() const override { return interval_; }

private:
    using Clock = std::chrono::steady_clock;

    void start(Clock::time_point due)
    {
        enabled_ = true;
        due_ = due;
        armFor(due);
    }
    // A tick is armed for its planned moment; one delivered more than an
    // interval late (the loop was held up) is not made up by a burst of ticks:
    // the next comes a full interval later, as with a plain repeating timer.
    void armFor(Clock::time_point due)
    {
        const auto now = Clock::now();
        if (due <= now)
            due_ = due = now + std::chrono::milliseconds(interval_);
        // Rounded up: a tick is never early.
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - now);
        timer_.start(static_cast<int>(wait.count()));
    }

    int interval_;
    std::function<void()> tick_;
    QTimer timer_;
    bool enabled_ = false;
    Clock::time_point due_{}; // the next planned tick; kept while it is off
};

#ifdef _WIN32
using Notifier = QWinEventNotifier;
#else
using Notifier = QSocketNotifier;
#endif

class QtHandleWatch : public HandleWatch {
public:
    explicit QtHandleWatch(Notifier* notifier) : notifier_(notifier) {}
    ~QtHandleWatch() override
    {
        // Dropped from inside its own call as well: silenced now, deleted
        // once that call is over.
        notifier_->setEnabled(false);
        notifier_->deleteLater();
    }

private:
    Notifier* notifier_;
};

} // namespace

std::unique_ptr<HandleWatch> QtEventLoop::watchHandle(std::intptr_t handle, std::function<void()> onReady)
{
#ifdef _WIN32
    auto* notifier = new QWinEventNotifier(reinterpret_cast<HANDLE>(handle));
    QObject::connect(notifier, &QWinEventNotifier::activated, [fn = std::move(onReady)] { fn(); });
#else
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(handle), QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [fn = std::move(onReady)] { fn(); });
#endif
    return std::make_unique<QtHandleWatch>(notifier);
}

void QtEventLoop::processPending()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventLoop::waitForEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

std::unique_ptr<Timer> QtEventLoop::createTimer(int intervalMs, bool enabled, std::function<void()> onTick)
{
    auto timer = std::make_unique<QtTimer>(intervalMs, std::move(onTick));
    timer->setEnabled(enabled);
    return timer;
}

void QtEventLoop::post(std::function<void()> fn)
{
    // A queued call is thread-safe and wakes the loop's wait.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

} // namespace torv

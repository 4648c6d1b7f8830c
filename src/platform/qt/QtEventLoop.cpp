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

namespace torv {

namespace {

class QtTimer : public Timer {
public:
    QtTimer(int interval, std::function<void()> tick) : tick_(std::move(tick))
    {
        timer_.setInterval(interval);
        // A coarse timer may fire 5 % early or late, which drifts a launch
        // schedule by tens of milliseconds; a precise one keeps the second at
        // no measurable cost for timers of a second and more.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick_(); });
    }
    void setEnabled(bool on) override
    {
        // Switching on an enabled timer changes nothing; a stopped one starts a
        // fresh full interval.
        if (on && !timer_.isActive())
            timer_.start();
        else if (!on)
            timer_.stop();
    }
    bool enabled() const override { return timer_.isActive(); }
    int intervalMs() const override { return timer_.interval(); }

private:
    QTimer timer_;
    std::function<void()> tick_;
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

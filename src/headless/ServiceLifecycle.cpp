#include "headless/ServiceLifecycle.h"

namespace torv {

ServiceLifecycle::ServiceLifecycle(ServiceStatusPort& port) : port_(port)
{
    send(ServicePhase::StartPending, kStartHintMs);
}

void ServiceLifecycle::ready()
{
    // A reload's countdown, or one after the end began, changes nothing.
    if (phase_ == ServicePhase::StartPending)
        send(ServicePhase::Running, 0);
}

void ServiceLifecycle::stopping()
{
    if (phase_ != ServicePhase::Stopped)
        send(ServicePhase::StopPending, kStopMarginMs);
}

void ServiceLifecycle::stoppingTask(int stopTimeoutMs)
{
    if (phase_ != ServicePhase::Stopped)
        send(ServicePhase::StopPending, stopTimeoutMs + kStopMarginMs);
}

void ServiceLifecycle::ended(int exitStatus)
{
    if (phase_ != ServicePhase::Stopped)
        send(ServicePhase::Stopped, 0, exitStatus);
}

void ServiceLifecycle::send(ServicePhase phase, int waitHintMs, int exitStatus)
{
    // The check point counts the steps of one pending state; a settled state
    // carries none.
    const bool pending = phase == ServicePhase::StartPending || phase == ServicePhase::StopPending;
    checkPoint_ = !pending ? 0 : phase == phase_ ? checkPoint_ + 1 : 1;
    phase_ = phase;
    port_.report({phase, checkPoint_, waitHintMs, exitStatus});
}

} // namespace torv

#include "base/CounterCpuUsage.h"

#include <cmath>
#include <thread>

namespace torv {

CounterCpuUsage::CounterCpuUsage(Sampler sampler, std::function<void()> firstInterval, Clock clock)
    : sampler_(std::move(sampler)), firstInterval_(std::move(firstInterval)), clock_(std::move(clock))
{
    if (!firstInterval_)
        firstInterval_ = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
    if (!clock_)
        clock_ = [] { return std::chrono::steady_clock::now(); };
}

double CounterCpuUsage::cpuuse()
{
    // The chart samples every 2 s; a base older than this spans a pause and
    // would give the average over it instead of the usage now.
    constexpr auto kStale = std::chrono::seconds(5);
    const auto at = clock_();
    if (last_ && at - lastAt_ > kStale)
        last_.reset();
    lastAt_ = at;
    CpuTimes now = sampler_();
    CpuTimes before;
    if (last_) {
        before = *last_;
    } else {
        before = now;
        firstInterval_();
        now = sampler_();
    }
    last_ = now;

    // A counter that went down (wrapped or restarted) leaves this interval
    // without a meaning; the new reading becomes the base for the next one.
    if (now.busy < before.busy || now.idle < before.idle)
        return lastPercent_;
    const std::uint64_t busy = now.busy - before.busy;
    const std::uint64_t idle = now.idle - before.idle;
    // Two calls within one clock tick: nothing new was counted.
    if (busy == 0 && idle == 0)
        return lastPercent_;
    const long double share = static_cast<long double>(busy) / (static_cast<long double>(busy) + idle);
    lastPercent_ = static_cast<int>(std::floor(share * 100.0L + 0.5L));
    return lastPercent_;
}

} // namespace torv

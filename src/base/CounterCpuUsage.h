#pragma once
// CPU usage from cumulative processor counters, whatever unit the system
// counts in: the share of busy time between two readings.
#include "ports/CpuUsage.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace torv {

struct CpuTimes {
    std::uint64_t busy = 0;
    std::uint64_t idle = 0;
};

class CounterCpuUsage : public CpuUsage {
public:
    using Sampler = std::function<CpuTimes()>; // throws Failure when there is no reading
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // firstInterval runs between the two readings of the very first sample; by
    // default it sleeps ~100 ms, so even the first answer is current usage and
    // not an average since boot.
    explicit CounterCpuUsage(Sampler sampler, std::function<void()> firstInterval = {}, Clock clock = {});

    // Whole percent 0..100 over the time since the last call, or, when that
    // call is more than a few seconds old (the chart was paused), over a short
    // interval of its own, so a sample is always current usage.
    double cpuuse() override;

private:
    Sampler sampler_;
    std::function<void()> firstInterval_;
    Clock clock_;
    std::optional<CpuTimes> last_;
    std::chrono::steady_clock::time_point lastAt_{};
    int lastPercent_ = 0;
};

} // namespace torv

#pragma once
// The CPU usage component on Windows: the share of non-idle time between two
// GetSystemTimes readings.
#include "base/CounterCpuUsage.h"

#include <functional>

namespace torv {

class Win32CpuUsage : public CounterCpuUsage {
public:
    // Cumulative 100 ns units of all processors; busy is kernel (less idle)
    // plus user time.
    using Times = CpuTimes;

    // As the /proc/stat component: the first sample, and the first after a
    // pause of more than a few seconds, measure a short interval of their own
    // (firstInterval, ~100 ms by default) so every answer is usage now.
    // cpuuse() throws Failure 440 when the system gives no times.
    explicit Win32CpuUsage(Sampler sampler = {}, std::function<void()> firstInterval = {}, Clock clock = {});

    static Times systemTimes();
};

class Win32CpuUsageFactory : public CpuUsageFactory {
public:
    std::unique_ptr<CpuUsage> create(const std::string& progId) override;
};

} // namespace torv

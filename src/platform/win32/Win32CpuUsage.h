#pragma once
// The CPU usage component on Windows: the share of non-idle time between two
// GetSystemTimes readings.
#include "platform/CpuUsage.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace torv {

class Win32CpuUsage : public CpuUsage {
public:
    // Cumulative 100 ns units of all processors.
    struct Times {
        std::uint64_t busy = 0; // kernel (less idle) plus user
        std::uint64_t idle = 0;
    };
    using Sampler = std::function<Times()>;
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // As the /proc/stat component: the first sample, and the first after a
    // pause of more than a few seconds, measure a short interval of their own
    // (firstInterval, ~100 ms by default) so every answer is usage now.
    explicit Win32CpuUsage(Sampler sampler = {}, std::function<void()> firstInterval = {}, Clock clock = {});
    // Whole percent 0..100; Failure 440 when the system gives no times.
    double cpuuse() override;

    static Times systemTimes();

private:
    Sampler sampler_;
    std::function<void()> firstInterval_;
    Clock clock_;
    std::optional<Times> last_;
    std::chrono::steady_clock::time_point lastAt_{};
    int lastPercent_ = 0;
};

class Win32CpuUsageFactory : public CpuUsageFactory {
public:
    std::unique_ptr<CpuUsage> create(const std::string& progId) override;
};

} // namespace torv

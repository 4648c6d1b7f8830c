#pragma once
// The CPU usage component on Linux: the share of non-idle time in the machine's
// total ("cpu" line of /proc/stat) between two readings.
#include "platform/CpuUsage.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace torv {

class ProcStatCpuUsage : public CpuUsage {
public:
    // Cumulative clock ticks of all processors, as the stat file counts them.
    struct Times {
        std::uint64_t busy = 0;
        std::uint64_t idle = 0; // idle plus waiting for I/O
    };

    // firstInterval runs between the two readings of the very first sample; by
    // default it sleeps ~100 ms, so even the first answer is current usage and
    // not an average since boot. Tests pass a function that rewrites the file.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    explicit ProcStatCpuUsage(std::string statPath, std::function<void()> firstInterval = {}, Clock clock = {});

    // Whole percent 0..100 over the time since the last call, or, when that
    // call is more than a few seconds old (the chart was paused), over a short
    // interval of its own, so a sample is always current usage. Throws Failure
    // when the file cannot be read or is not a stat file.
    double cpuuse() override;

    // The aggregate "cpu" line of a stat file's text; throws Failure when there
    // is none or it is malformed.
    static Times parse(const std::string& text);
    // Reads and parses a stat file; throws Failure as parse does, or 53 when the
    // file cannot be opened.
    static Times readFile(const std::string& statPath);

private:
    std::string path_;
    std::function<void()> firstInterval_;
    Clock clock_;
    std::optional<Times> last_;
    std::chrono::steady_clock::time_point lastAt_{};
    int lastPercent_ = 0;
};

// Creates the component by its name, "cpumon.cpuuse".
class PosixCpuUsageFactory : public CpuUsageFactory {
public:
    explicit PosixCpuUsageFactory(std::string statPath = "/proc/stat");
    std::unique_ptr<CpuUsage> create(const std::string& progId) override;

private:
    std::string statPath_;
};

} // namespace torv

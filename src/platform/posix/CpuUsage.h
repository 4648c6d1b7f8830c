#pragma once
// The CPU usage component on Linux: the share of non-idle time in the machine's
// total ("cpu" line of /proc/stat) between two readings.
#include "base/CounterCpuUsage.h"

#include <functional>
#include <string>

namespace torv {

class ProcStatCpuUsage : public CounterCpuUsage {
public:
    // Cumulative clock ticks of all processors, as the stat file counts them
    // (idle includes waiting for I/O).
    using Times = CpuTimes;

    // Tests pass a firstInterval that rewrites the file. cpuuse() throws
    // Failure when the file cannot be read or is not a stat file.
    explicit ProcStatCpuUsage(std::string statPath, std::function<void()> firstInterval = {}, Clock clock = {});

    // The aggregate "cpu" line of a stat file's text; throws Failure when there
    // is none or it is malformed.
    static Times parse(const std::string& text);
    // Reads and parses a stat file; throws Failure as parse does, or 53 when the
    // file cannot be opened.
    static Times readFile(const std::string& statPath);
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

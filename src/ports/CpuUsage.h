#pragma once
// The CPU usage component: something outside the console that reports the
// machine's current total CPU usage. The console only creates it by name and
// asks it for one number.
#include <memory>
#include <string>

namespace torv {

inline constexpr const char* kCpuUsageProgId = "cpumon.cpuuse";

class CpuUsage {
public:
    virtual ~CpuUsage() = default;
    // The machine's CPU usage now, in percent (whole numbers from the real
    // component). Throws Failure when no sample can be taken.
    virtual double cpuuse() = 0;
};

class CpuUsageFactory {
public:
    virtual ~CpuUsageFactory() = default;
    // Creates the component registered under progId; throws Failure (or
    // returns null, taken as "cannot create") when the name is unknown or the
    // component cannot be made here.
    virtual std::unique_ptr<CpuUsage> create(const std::string& progId) = 0;
};

} // namespace torv

#include "platform/win32/Win32CpuUsage.h"

#include "platform/Failure.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <thread>
#include <windows.h>

namespace torv {

namespace {

std::uint64_t value(const FILETIME& t)
{
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

} // namespace

Win32CpuUsage::Win32CpuUsage(Sampler sampler, std::function<void()> firstInterval, Clock clock)
    : sampler_(std::move(sampler)), firstInterval_(std::move(firstInterval)), clock_(std::move(clock))
{
    if (!sampler_)
        sampler_ = &Win32CpuUsage::systemTimes;
    if (!firstInterval_)
        firstInterval_ = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
    if (!clock_)
        clock_ = [] { return std::chrono::steady_clock::now(); };
}

Win32CpuUsage::Times Win32CpuUsage::systemTimes()
{
    FILETIME idle{}, kernel{}, user{};
    if (!GetSystemTimes(&idle, &kernel, &user))
        throw Failure::automationError();
    // Kernel time includes the idle time.
    const std::uint64_t i = value(idle), k = value(kernel), u = value(user);
    if (k < i)
        throw Failure::automationError();
    return {k - i + u, i};
}

double Win32CpuUsage::cpuuse()
{
    // The chart samples every 2 s; a base older than this spans a pause.
    constexpr auto kStale = std::chrono::seconds(5);
    const auto at = clock_();
    if (last_ && at - lastAt_ > kStale)
        last_.reset();
    lastAt_ = at;
    Times now = sampler_();
    Times before;
    if (last_) {
        before = *last_;
    } else {
        before = now;
        firstInterval_();
        now = sampler_();
    }
    last_ = now;
    if (now.busy < before.busy || now.idle < before.idle)
        return lastPercent_;
    const std::uint64_t busy = now.busy - before.busy;
    const std::uint64_t idle = now.idle - before.idle;
    if (busy == 0 && idle == 0)
        return lastPercent_;
    const long double share = static_cast<long double>(busy) / (static_cast<long double>(busy) + idle);
    lastPercent_ = static_cast<int>(std::floor(share * 100.0L + 0.5L));
    return lastPercent_;
}

std::unique_ptr<CpuUsage> Win32CpuUsageFactory::create(const std::string& progId)
{
    const std::string name = kCpuUsageProgId;
    if (progId.size() != name.size() ||
        !std::equal(progId.begin(), progId.end(), name.begin(),
                    [](unsigned char a, unsigned char b) { return std::tolower(a) == std::tolower(b); }))
        throw Failure::cannotCreateObject();
    try {
        Win32CpuUsage::systemTimes();
    } catch (const Failure&) {
        throw Failure::cannotCreateObject();
    }
    return std::make_unique<Win32CpuUsage>();
}

} // namespace torv

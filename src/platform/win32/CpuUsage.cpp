#include "platform/win32/CpuUsage.h"

#include "base/AsciiCase.h"
#include "base/Failure.h"

#include <windows.h>

namespace torv {

namespace {

std::uint64_t value(const FILETIME& t)
{
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

} // namespace

Win32CpuUsage::Win32CpuUsage(Sampler sampler, std::function<void()> firstInterval, Clock clock)
    : CounterCpuUsage(sampler ? std::move(sampler) : Sampler(&Win32CpuUsage::systemTimes), std::move(firstInterval),
                      std::move(clock))
{
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

std::unique_ptr<CpuUsage> Win32CpuUsageFactory::create(const std::string& progId)
{
    const std::string name = kCpuUsageProgId;
    if (!equalsIgnoringAsciiCase(progId, name))
        throw Failure::cannotCreateObject();
    try {
        Win32CpuUsage::systemTimes();
    } catch (const Failure&) {
        throw Failure::cannotCreateObject();
    }
    return std::make_unique<Win32CpuUsage>();
}

} // namespace torv

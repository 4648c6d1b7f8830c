#include "platform/Platform.h"
#include "platform/win32/CpuUsage.h"
#include "platform/win32/Launcher.h"
#include "platform/win32/Program.h"
#include "platform/win32/Sound.h"

namespace torv {

PlatformAdapters makePlatform()
{
    PlatformAdapters p;
    p.launcher = std::make_unique<Win32Launcher>();
    p.sound = makeSound();
    p.program = std::make_unique<Win32Program>();
    p.cpuUsage = std::make_unique<Win32CpuUsageFactory>();
    return p;
}

std::unique_ptr<Sound> makeSound()
{
    return std::make_unique<Win32Sound>();
}

} // namespace torv

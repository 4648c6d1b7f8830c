#include "platform/Platform.h"
#include "platform/posix/CpuUsage.h"
#include "platform/posix/Launcher.h"
#include "platform/posix/Program.h"
#include "platform/qt/QtSound.h"

namespace torv {

PlatformAdapters makePlatform()
{
    PlatformAdapters p;
    p.launcher = std::make_unique<PosixLauncher>();
    p.sound = makeSound();
    p.program = std::make_unique<PosixProgram>();
    p.cpuUsage = std::make_unique<PosixCpuUsageFactory>();
    return p;
}

std::unique_ptr<Sound> makeSound()
{
    return std::make_unique<QtSound>();
}

} // namespace torv

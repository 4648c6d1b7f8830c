#include "platform/Platform.h"
#include "platform/posix/Launcher.h"
#include "platform/posix/Program.h"
#include "platform/posix/StopSignal.h"

namespace torv {

CoreAdapters makeCorePlatform()
{
    CoreAdapters p;
    p.launcher = std::make_unique<PosixLauncher>();
    p.program = std::make_unique<PosixProgram>();
    p.stop = std::make_unique<PosixStopSignal>();
    return p;
}

} // namespace torv

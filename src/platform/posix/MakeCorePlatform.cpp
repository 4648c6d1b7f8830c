#include "platform/Platform.h"
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/PosixProgram.h"
#include "platform/posix/PosixStopSignal.h"

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

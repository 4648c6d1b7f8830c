#include "platform/Platform.h"
#include "platform/win32/Launcher.h"
#include "platform/win32/Program.h"
#include "platform/win32/StopSignal.h"

namespace torv {

CoreAdapters makeCorePlatform()
{
    CoreAdapters p;
    p.launcher = std::make_unique<Win32Launcher>();
    p.program = std::make_unique<Win32Program>();
    p.stop = std::make_unique<Win32StopSignal>();
    return p;
}

} // namespace torv

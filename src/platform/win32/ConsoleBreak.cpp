#include "platform/win32/ConsoleBreak.h"

#include <windows.h>

namespace torv {

int sendConsoleBreak(unsigned long pid)
{
    FreeConsole();
    if (pid == 0 || !AttachConsole(pid))
        return 1;
    // The break reaches every process on the console, this one too.
    SetConsoleCtrlHandler(nullptr, TRUE);
    return GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, pid) ? 0 : 1;
}

} // namespace torv

#include "ports/StandardStreams.h"

#include <cstdio>
#include <windows.h>

namespace torv {

namespace {

bool missing(DWORD which)
{
    const HANDLE h = GetStdHandle(which);
    return h == nullptr || h == INVALID_HANDLE_VALUE;
}

} // namespace

void attachToStartingConsole()
{
    // A program of the window subsystem started from a console gets no
    // standard streams unless they were redirected: its output would vanish.
    const bool noOut = missing(STD_OUTPUT_HANDLE), noErr = missing(STD_ERROR_HANDLE);
    if (!(noOut || noErr) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    if (noOut)
        std::freopen("CONOUT$", "w", stdout);
    if (noErr)
        std::freopen("CONOUT$", "w", stderr);
}

// Windows has no journal reading standard streams (its Event Log is another
// interface).
bool streamIsJournal(StandardStream)
{
    return false;
}

} // namespace torv

#include "ports/ProgramArguments.h"

#include "platform/win32/Wide.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

namespace torv {

std::vector<std::string> programArguments(int argc, char** argv)
{
    // argv went through the ANSI code page, which loses what it cannot hold
    // (a key file under another alphabet's user name, a command to sign); the
    // wide command line has every character.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return {argv, argv + argc};
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(narrow(wide[i]));
    LocalFree(wide);
    return args;
}

} // namespace torv

#include "platform/win32/Launcher.h"

#include "base/CommandLine.h"
#include "platform/Failure.h"
#include "platform/WatchedProcess.h"
#include "platform/win32/Wide.h"

#include <windows.h>

namespace torv {

Failure launchFailure(unsigned long error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return Failure::fileNotFound();
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case 740: // ERROR_ELEVATION_REQUIRED, missing from mingw-w64 headers
        return Failure::permissionDenied();
    default:
        break;
    }
    // The console tells a few codes apart; a system error with the same
    // number must not pass for one of them.
    switch (error) {
    case 5:
    case 6:
    case 9:
    case 13:
    case 52:
    case 53:
    case 62:
    case 68:
    case 70:
    case 75:
    case 76:
    case 91:
        return {75, systemMessage(error)};
    default:
        return {static_cast<int>(error), systemMessage(error)};
    }
}

namespace {

// The process's handle; its thread's handle is closed at once.
HANDLE createProcess(const std::string& commandLine, WindowStyle style)
{
    checkCommandLine(commandLine);
    // CreateProcessW may write into the command line; it gets its own copy.
    std::wstring line = widen(commandLine);
    if (line.empty())
        throw Failure::invalidCall();
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = style == WindowStyle::Minimized ? SW_SHOWMINIMIZED : SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        throw launchFailure(GetLastError());
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

} // namespace

void Win32Launcher::run(const std::string& commandLine, WindowStyle style)
{
    CloseHandle(createProcess(commandLine, style));
}

std::unique_ptr<RunningProcess> Win32Launcher::start(const std::string& commandLine, WindowStyle style)
{
    HANDLE process = createProcess(commandLine, style);
    return std::make_unique<WatchedProcess>([process] {
        DWORD code = 0;
        WaitForSingleObject(process, INFINITE);
        if (!GetExitCodeProcess(process, &code))
            code = 128;
        CloseHandle(process);
        return static_cast<int>(code);
    });
}

void Win32Launcher::openInTextEditor(const std::string& path)
{
    const std::string line = "notepad.exe \"" + path + "\"";
    try {
        run(line, WindowStyle::Normal);
    } catch (Failure& failure) {
        failure.commandLine = line;
        throw;
    }
}

} // namespace torv

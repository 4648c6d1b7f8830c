#include "platform/win32/Launcher.h"

#include "base/CommandLine.h"
#include "platform/Failure.h"
#include "platform/WatchedProcess.h"
#include "platform/win32/Wide.h"

#include <windows.h>

#include <cwchar>
#include <vector>

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

// Names of variables are compared without regard to case on Windows.
bool sameName(const std::wstring& a, const std::wstring& b)
{
    return _wcsicmp(a.c_str(), b.c_str()) == 0;
}

// A Unicode environment block: the console's variables less the names `extra`
// sets, then `extra`'s, each ended by a null, the block by another.
std::wstring environmentBlock(const ExtraEnvironment& extra)
{
    std::vector<std::pair<std::wstring, std::wstring>> wide;
    for (const auto& [name, value] : extra)
        wide.emplace_back(widen(name), widen(value));
    std::wstring block;
    if (wchar_t* own = GetEnvironmentStringsW()) {
        for (const wchar_t* e = own; *e; e += wcslen(e) + 1) {
            const std::wstring line = e;
            // Entries such as "=C:=C:\dir" start with '=': their name runs to the second one.
            const std::wstring name = line.substr(0, line.find(L'=', 1));
            bool replaced = false;
            for (const auto& [n, v] : wide)
                replaced = replaced || sameName(n, name);
            if (!replaced)
                block += line + L'\0';
        }
        FreeEnvironmentStringsW(own);
    }
    for (const auto& [name, value] : wide)
        block += name + L'=' + value + L'\0';
    block += L'\0';
    return block;
}

// The process's handle; its thread's handle is closed at once.
HANDLE createProcess(const std::string& commandLine, WindowStyle style, const ExtraEnvironment& extra = {})
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
    std::wstring environment = extra.empty() ? std::wstring() : environmentBlock(extra);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, extra.empty() ? 0 : CREATE_UNICODE_ENVIRONMENT,
                        extra.empty() ? nullptr : environment.data(), nullptr, &si, &pi))
        throw launchFailure(GetLastError());
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

} // namespace

void Win32Launcher::run(const std::string& commandLine, WindowStyle style)
{
    CloseHandle(createProcess(commandLine, style));
}

void Win32Launcher::runWithEnvironment(const std::string& commandLine, WindowStyle style, const ExtraEnvironment& extra)
{
    CloseHandle(createProcess(commandLine, style, extra));
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

#include "platform/win32/Launcher.h"

#include "base/CommandLine.h"
#include "platform/Failure.h"
#include "platform/WatchedProcess.h"
#include "platform/win32/Wide.h"

#include <windows.h>

#include <algorithm>
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

// The name of a "NAME=value" entry; the drive entries ("=C:=C:\\x") keep
// their leading '='.
std::wstring nameOf(const std::wstring& entry)
{
    return entry.substr(0, entry.find(L'=', 1));
}

// A CREATE_UNICODE_ENVIRONMENT block: the console's variables without the
// names given, then the given ones, sorted by name without regard to case as
// Windows keeps them, each ended by a NUL and the whole by one more.
std::wstring environmentBlock(const ExtraEnvironment& extra)
{
    std::vector<std::wstring> added;
    for (const auto& [name, value] : extra)
        added.push_back(widen(name) + L"=" + widen(value));
    std::vector<std::wstring> entries;
    if (wchar_t* own = GetEnvironmentStringsW()) {
        for (const wchar_t* e = own; *e; e += std::wcslen(e) + 1) {
            const std::wstring entry = e;
            const bool replaced = std::any_of(added.begin(), added.end(), [&](const std::wstring& a) {
                return _wcsicmp(nameOf(a).c_str(), nameOf(entry).c_str()) == 0;
            });
            if (!replaced)
                entries.push_back(entry);
        }
        FreeEnvironmentStringsW(own);
    }
    entries.insert(entries.end(), added.begin(), added.end());
    std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return _wcsicmp(nameOf(a).c_str(), nameOf(b).c_str()) < 0;
    });
    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    return block;
}

// The process's handle; its thread's handle is closed at once. environment:
// a block for CREATE_UNICODE_ENVIRONMENT, or null for the console's own.
HANDLE createProcess(const std::string& commandLine, WindowStyle style, std::wstring* environment = nullptr)
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
    const DWORD flags = environment ? CREATE_UNICODE_ENVIRONMENT : 0;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags,
                        environment ? environment->data() : nullptr, nullptr, &si, &pi))
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
    std::wstring environment = environmentBlock(extra);
    CloseHandle(createProcess(commandLine, style, &environment));
}

namespace {

std::unique_ptr<RunningProcess> watched(HANDLE process)
{
    return std::make_unique<WatchedProcess>([process] {
        DWORD code = 0;
        WaitForSingleObject(process, INFINITE);
        if (!GetExitCodeProcess(process, &code))
            code = 128;
        CloseHandle(process);
        return static_cast<int>(code);
    });
}

} // namespace

std::unique_ptr<RunningProcess> Win32Launcher::start(const std::string& commandLine, WindowStyle style)
{
    return watched(createProcess(commandLine, style));
}

std::unique_ptr<RunningProcess> Win32Launcher::startWithEnvironment(const std::string& commandLine,
                                                                    const ExtraEnvironment& extra)
{
    std::wstring block = environmentBlock(extra);
    return watched(createProcess(commandLine, WindowStyle::Minimized, &block));
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

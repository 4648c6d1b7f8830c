#include "platform/win32/Launcher.h"

#include "base/CommandLine.h"
#include "platform/Failure.h"
#include "platform/WatchedProcess.h"
#include "platform/win32/Wide.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <mutex>
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

// The process's handle and, with `suspended`, its first thread's (else that
// is closed at once). environment: a block for CREATE_UNICODE_ENVIRONMENT, or
// null for the console's own.
PROCESS_INFORMATION createProcess(const std::string& commandLine, WindowStyle style,
                                  std::wstring* environment = nullptr, bool suspended = false)
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
    const DWORD flags = (environment ? CREATE_UNICODE_ENVIRONMENT : 0) | (suspended ? CREATE_SUSPENDED : 0);
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, flags,
                        environment ? environment->data() : nullptr, nullptr, &si, &pi))
        throw launchFailure(GetLastError());
    if (!suspended) {
        CloseHandle(pi.hThread);
        pi.hThread = nullptr;
    }
    return pi;
}

} // namespace

void Win32Launcher::run(const std::string& commandLine, WindowStyle style)
{
    CloseHandle(createProcess(commandLine, style).hProcess);
}

void Win32Launcher::runWithEnvironment(const std::string& commandLine, WindowStyle style, const ExtraEnvironment& extra)
{
    std::wstring environment = environmentBlock(extra);
    CloseHandle(createProcess(commandLine, style, &environment).hProcess);
}

namespace {

// The handles end() needs, given up by the waiting thread once the process
// has ended.
struct HeldProcess {
    std::mutex mutex;
    HANDLE process = nullptr;
    HANDLE job = nullptr; // null where the process could not be put in one
};

// A job that holds the process and what it starts, so that end() reaches
// them all. It never ends them on its own: not when its handle is closed
// (the console ending leaves them running), and a program may still start
// one outside it.
HANDLE jobFor(HANDLE process)
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (!job)
        return nullptr;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_BREAKAWAY_OK;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) ||
        !AssignProcessToJobObject(job, process)) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

void endHeld(HeldProcess& held)
{
    std::lock_guard lock(held.mutex);
    if (held.job)
        TerminateJobObject(held.job, 1);
    else if (held.process)
        TerminateProcess(held.process, 1);
}

// Started suspended, so that nothing it starts can slip out before it is in
// its job.
std::unique_ptr<RunningProcess> watched(const PROCESS_INFORMATION& pi)
{
    auto held = std::make_shared<HeldProcess>();
    held->process = pi.hProcess;
    held->job = jobFor(pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    return std::make_unique<WatchedProcess>(
        [held] {
            WaitForSingleObject(held->process, INFINITE);
            DWORD code = 0;
            if (!GetExitCodeProcess(held->process, &code))
                code = 128;
            std::lock_guard lock(held->mutex);
            if (held->job)
                CloseHandle(held->job);
            CloseHandle(held->process);
            held->job = held->process = nullptr;
            return static_cast<int>(code);
        },
        [held] { endHeld(*held); },
        // Until a console break can be sent, a stop ends at once.
        [held] { endHeld(*held); });
}

} // namespace

std::unique_ptr<RunningProcess> Win32Launcher::start(const std::string& commandLine, WindowStyle style)
{
    return watched(createProcess(commandLine, style, nullptr, true));
}

std::unique_ptr<RunningProcess> Win32Launcher::startWithEnvironment(const std::string& commandLine,
                                                                    const ExtraEnvironment& extra)
{
    std::wstring block = environmentBlock(extra);
    return watched(createProcess(commandLine, WindowStyle::Minimized, &block, true));
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

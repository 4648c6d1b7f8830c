// One readiness try on Windows: Winsock, the web client, the file system, the
// Toolhelp process snapshot and a child process in a job object.
#include "platform/ProbeTries.h"

#include "base/CommandLine.h"
#include "base/Failure.h"
#include "platform/win32/Wide.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <tlhelp32.h>

#include <chrono>
#include <mutex>

namespace torv {

namespace {

using Clock = std::chrono::steady_clock;

int limitOf(const ProbeTarget& t, int defaultMs)
{
    return t.limitMs > 0 ? t.limitMs : defaultMs;
}

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool connects(const ADDRINFOW& address, Clock::time_point deadline, int& error)
{
    SOCKET s = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = WSAGetLastError();
        return false;
    }
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    bool ok = false;
    if (::connect(s, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0) {
        ok = true;
    } else if ((error = WSAGetLastError()) == WSAEWOULDBLOCK) {
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        FD_SET(s, &writable);
        FD_SET(s, &failed);
        const int ms = msLeft(deadline);
        timeval limit{ms / 1000, (ms % 1000) * 1000};
        const int n = ::select(0, nullptr, &writable, &failed, &limit);
        if (n == 0) {
            error = WSAETIMEDOUT;
        } else if (n > 0) {
            int soError = 0;
            int length = sizeof soError;
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
            error = soError;
            ok = soError == 0 && FD_ISSET(s, &writable);
        } else {
            error = WSAGetLastError();
        }
    }
    ::closesocket(s);
    return ok;
}

} // namespace

namespace probe {

ProbeResult tryTcp(const ProbeTarget& t)
{
    static std::once_flag started;
    std::call_once(started, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitOf(t, kNetworkTryMs));
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* found = nullptr;
    if (const int rc = GetAddrInfoW(widen(t.target).c_str(), widen(t.port).c_str(), &hints, &found); rc != 0)
        return {false, "name not resolved: " + systemMessage(static_cast<unsigned long>(rc))};
    int error = 0;
    bool ok = false;
    for (const ADDRINFOW* a = found; a && !ok && msLeft(deadline) > 0; a = a->ai_next)
        ok = connects(*a, deadline, error);
    FreeAddrInfoW(found);
    if (ok)
        return {true, {}};
    return {false, error == WSAETIMEDOUT || error == 0 ? "no answer in time"
                                                       : systemMessage(static_cast<unsigned long>(error))};
}

ProbeResult tryPath(const ProbeTarget& t)
{
    if (GetFileAttributesW(widen(t.target).c_str()) != INVALID_FILE_ATTRIBUTES)
        return {true, {}};
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        return {false, "does not exist"};
    return {false, systemMessage(error)};
}

ProbeResult tryProcess(const ProbeTarget& t)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return {false, "the process list cannot be read"};
    // Windows names are case-insensitive in every script, not only in ASCII,
    // and "postgres" names postgres.exe.
    const std::wstring name = widen(t.target);
    const std::wstring withExe = name + L".exe";
    auto same = [](const wchar_t* a, const std::wstring& b) {
        return CompareStringOrdinal(a, -1, b.c_str(), static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
    };
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !found; more = Process32NextW(snapshot, &entry))
        found = same(entry.szExeFile, name) || same(entry.szExeFile, withExe);
    CloseHandle(snapshot);
    return found ? ProbeResult{true, {}} : ProbeResult{false, "no such process"};
}

ProbeResult tryCommand(const ProbeTarget& t)
{
    try {
        checkCommandLine(t.target);
    } catch (const Failure& f) {
        return {false, f.text()};
    }
    std::wstring line = widen(t.target);
    // A job holds everything the command starts, so the end of the try ends it
    // all (closing the job's last handle would too).
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        const DWORD error = GetLastError();
        CloseHandle(job);
        return {false, "cannot start: " + systemMessage(error)};
    }
    AssignProcessToJobObject(job, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    const DWORD waited = WaitForSingleObject(pi.hProcess, static_cast<DWORD>(limitOf(t, kCommandTryMs)));
    DWORD code = 0;
    const bool ended = waited == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code);
    // However the try ended, what it left running in its job ends with it.
    TerminateJobObject(job, 1);
    ProbeResult result;
    if (waited != WAIT_OBJECT_0) {
        WaitForSingleObject(pi.hProcess, 5000);
        result = {false, "still running at its time limit; stopped"};
    } else if (ended && code == 0) {
        result = {true, {}};
    } else {
        result = {false, "exit status " + std::to_string(code)};
    }
    CloseHandle(pi.hProcess);
    CloseHandle(job);
    return result;
}

} // namespace probe

} // namespace torv

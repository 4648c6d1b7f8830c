#include "platform/win32/Program.h"

#include "platform/win32/Wide.h"

#include <cstdint>
#include <cstdio>
#include <cwctype>
#include <vector>
#include <windows.h>

namespace torv {

namespace {

std::string moduleFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return ".";
        if (n < buffer.size()) {
            std::wstring path(buffer.data(), n);
            auto cut = path.find_last_of(L"\\/");
            if (cut == std::wstring::npos)
                return ".";
            // "C:\" keeps its separator; any other folder loses it.
            if (cut == 2 && path[1] == L':')
                ++cut;
            return narrow(path.substr(0, cut));
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

Win32Program::Win32Program() : folder_(moduleFolder())
{
}

Win32Program::~Win32Program()
{
    if (mutex_)
        CloseHandle(mutex_);
}

std::string Win32Program::driveRoot() const
{
    if (folder_.size() >= 2 && folder_[1] == ':')
        return folder_.substr(0, 2) + "\\";
    if (folder_.rfind("\\\\", 0) == 0) {
        const auto server = folder_.find('\\', 2);
        const auto share = server == std::string::npos ? server : folder_.find('\\', server + 1);
        return (share == std::string::npos ? folder_ : folder_.substr(0, share)) + "\\";
    }
    return folder_.substr(0, 3);
}

Version Win32Program::version() const
{
    return {TORV_VERSION_MAJOR, TORV_VERSION_MINOR, TORV_VERSION_PATCH};
}

std::string Win32Program::fileDescription() const
{
    return "TORV Server Console";
}

std::string Win32Program::hostName() const
{
    wchar_t name[256] = {};
    DWORD size = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, name, &size))
        return {};
    return narrow(std::wstring(name, size));
}

std::optional<std::string> Win32Program::environment(const std::string& name) const
{
    // Windows matches environment names without regard to case itself.
    const std::wstring wideName = widen(name);
    DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt : std::optional<std::string>("");
    std::wstring value(size, L'\0');
    size = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(size);
    return narrow(value);
}

std::string Win32Program::instanceName(const std::string& folder)
{
    std::wstring key = widen(folder);
    for (auto& c : key)
        c = c == L'/' ? L'\\' : static_cast<wchar_t>(std::towlower(c));
    while (key.size() > 3 && key.back() == L'\\')
        key.pop_back();
    std::uint64_t h = 1469598103934665603ULL;
    for (wchar_t c : key)
        h = (h ^ static_cast<std::uint16_t>(c)) * 1099511628211ULL;
    char name[64];
    std::snprintf(name, sizeof name, "Global\\torv-%016llx", static_cast<unsigned long long>(h));
    return name;
}

bool Win32Program::anotherInstanceRunning()
{
    if (mutex_)
        return false; // this process already holds it (a reload)
    HANDLE m = CreateMutexW(nullptr, FALSE, widen(instanceName(folder_)).c_str());
    const DWORD error = GetLastError();
    if (!m)
        // Made by another user's copy, whose rights keep us out.
        return error == ERROR_ACCESS_DENIED;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(m);
        return true;
    }
    mutex_ = m;
    return false;
}

void Win32Program::endNow()
{
    std::fflush(nullptr);
    // At once: no event loop unwinding, no destructors, no DLL clean-up.
    TerminateProcess(GetCurrentProcess(), 0);
    ExitProcess(0);
}

} // namespace torv

// The program folder's console as a service of the Service Control Manager:
// "<folder>\torv.exe" --service-run NAME, as LocalSystem, with an event
// source of the same name so that the Event Viewer shows its lines.
#include "ports/ServiceControl.h"

#include "platform/win32/ServiceLog.h"
#include "platform/win32/Wide.h"

#include <cstdio>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

namespace torv {

namespace {

constexpr DWORD kWaitMs = 60000;
constexpr DWORD kPollMs = 250;

struct HandleCloser {
    void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};
using ScHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, HandleCloser>;

// One line with the system's words; access denied means an administrator
// is needed.
int failed(const std::string& what, DWORD error)
{
    if (error == ERROR_ACCESS_DENIED) {
        std::fprintf(stderr, "torv: %s: not allowed (%s); run it as an administrator\n", what.c_str(),
                     systemMessage(error).c_str());
        return servicestatus::NotAllowed;
    }
    std::fprintf(stderr, "torv: %s: %s\n", what.c_str(), systemMessage(error).c_str());
    return servicestatus::Failed;
}

std::wstring modulePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring lower(std::wstring text)
{
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

// The program a service's command line starts, as written there.
std::wstring programOf(const std::wstring& commandLine)
{
    if (!commandLine.empty() && commandLine[0] == L'"') {
        const auto end = commandLine.find(L'"', 1);
        return commandLine.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    }
    return commandLine.substr(0, commandLine.find(L' '));
}

// The command line of an installed service; empty when it cannot be read.
std::wstring commandLineOf(SC_HANDLE service)
{
    DWORD needed = 0;
    QueryServiceConfigW(service, nullptr, 0, &needed);
    if (needed == 0)
        return {};
    std::vector<unsigned char> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service, config, needed, &needed) || !config->lpBinaryPathName)
        return {};
    return config->lpBinaryPathName;
}

// The name of a service whose command line starts this torv.exe, if any.
std::wstring serviceOfThisProgram(SC_HANDLE manager)
{
    DWORD needed = 0, count = 0, resume = 0;
    EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, nullptr, 0, &needed, &count,
                          &resume, nullptr);
    std::vector<unsigned char> buffer(needed + 1024);
    resume = 0;
    if (!EnumServicesStatusExW(manager, SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_STATE_ALL, buffer.data(),
                               static_cast<DWORD>(buffer.size()), &needed, &count, &resume, nullptr))
        return {};
    const std::wstring self = lower(modulePath());
    const auto* services = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        ScHandle service(OpenServiceW(manager, services[i].lpServiceName, SERVICE_QUERY_CONFIG));
        if (service && lower(programOf(commandLineOf(service.get()))) == self)
            return services[i].lpServiceName;
    }
    return {};
}

// The manager, or nothing after saying why.
ScHandle openManager(DWORD access, int& status)
{
    ScHandle manager(OpenSCManagerW(nullptr, nullptr, access));
    if (!manager)
        status = failed("the Service Control Manager cannot be opened", GetLastError());
    return manager;
}

// The service, or nothing after saying why (4 when there is none).
ScHandle openService(SC_HANDLE manager, const ServiceTarget& target, DWORD access, int& status)
{
    ScHandle service(OpenServiceW(manager, widen(target.name).c_str(), access));
    if (service)
        return service;
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
        std::fprintf(stderr, "torv: %s is not installed\n", target.name.c_str());
        status = servicestatus::NotInstalled;
    } else {
        status = failed(target.name + " cannot be opened", error);
    }
    return nullptr;
}

bool query(SC_HANDLE service, SERVICE_STATUS_PROCESS& status)
{
    DWORD needed = 0;
    return QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                &needed);
}

// Polls until the service is in one of two states (the manager returns from
// a start or stop request long before); false when it cannot be asked. After
// the wait `status` may still be another state.
bool waitFor(SC_HANDLE service, DWORD state, DWORD orState, SERVICE_STATUS_PROCESS& status)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        if (!query(service, status))
            return false;
        if (status.dwCurrentState == state || status.dwCurrentState == orState || waited >= kWaitMs)
            return true;
        Sleep(kPollMs);
    }
}

std::string exitText(const SERVICE_STATUS_PROCESS& status)
{
    if (status.dwWin32ExitCode == ERROR_SERVICE_SPECIFIC_ERROR)
        return "exit status " + std::to_string(status.dwServiceSpecificExitCode);
    if (status.dwWin32ExitCode != NO_ERROR)
        return systemMessage(status.dwWin32ExitCode);
    return {};
}

// Stops a service and waits for it; says how it ended.
int stopAndWait(SC_HANDLE service, const ServiceTarget& target)
{
    SERVICE_STATUS_PROCESS status{};
    if (!query(service, status))
        return failed(target.name + " cannot be asked", GetLastError());
    if (status.dwCurrentState == SERVICE_STOPPED) {
        std::printf("%s is already stopped\n", target.name.c_str());
        return servicestatus::Ok;
    }
    if (status.dwCurrentState != SERVICE_STOP_PENDING) {
        SERVICE_STATUS ignored{};
        if (!ControlService(service, SERVICE_CONTROL_STOP, &ignored) && GetLastError() != ERROR_SERVICE_NOT_ACTIVE)
            return failed(target.name + " cannot be stopped", GetLastError());
    }
    if (!waitFor(service, SERVICE_STOPPED, SERVICE_STOPPED, status))
        return failed(target.name + " cannot be asked", GetLastError());
    if (status.dwCurrentState != SERVICE_STOPPED) {
        std::fprintf(stderr, "torv: %s has not stopped within %lu s\n", target.name.c_str(), kWaitMs / 1000);
        return servicestatus::Failed;
    }
    const std::string how = exitText(status);
    std::printf("stopped %s%s\n", target.name.c_str(), how.empty() ? "" : (" (" + how + ")").c_str());
    return servicestatus::Ok;
}

// Restart after a crash: 10 s, then every 60 s; the count starts again after
// a day. An end with a status of its own (2, 3) is no crash.
void setFailureActions(SC_HANDLE service)
{
    SC_ACTION actions[2] = {{SC_ACTION_RESTART, 10000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = 24 * 3600;
    failure.cActions = 2;
    failure.lpsaActions = actions;
    SERVICE_FAILURE_ACTIONS_FLAG onlyCrashes{FALSE};
    std::string why;
    if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure))
        why = systemMessage(GetLastError());
    else if (!ChangeServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &onlyCrashes))
        why = "crashes only: " + systemMessage(GetLastError());
    if (why.empty()) {
        // Some managers take the actions and keep none.
        DWORD needed = 0;
        QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, nullptr, 0, &needed);
        std::vector<unsigned char> buffer(needed + sizeof(SERVICE_FAILURE_ACTIONSW));
        const auto* kept = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(buffer.data());
        if (!QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, buffer.data(),
                                  static_cast<DWORD>(buffer.size()), &needed) ||
            kept->cActions != 2)
            why = "the service manager did not keep them";
    }
    if (!why.empty())
        std::printf("no restart after a crash (the failure actions were refused: %s); installing on\n", why.c_str());
}

} // namespace

int installService(const ServiceTarget& target)
{
    if (!target.userName.empty()) {
        std::fprintf(stderr, "torv: --user-name is not available on Windows: the service runs as LocalSystem\n");
        return servicestatus::WrongUse;
    }
    int status = servicestatus::Ok;
    const ScHandle manager =
        openManager(SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE | SC_MANAGER_ENUMERATE_SERVICE, status);
    if (!manager)
        return status;
    if (const std::wstring other = serviceOfThisProgram(manager.get()); !other.empty()) {
        std::fprintf(stderr, "torv: already installed as %s\n", narrow(other).c_str());
        return servicestatus::Failed;
    }
    const std::wstring name = widen(target.name);
    const std::wstring commandLine = L"\"" + modulePath() + L"\" --service-run " + name;
    const std::wstring display = L"TORV (" + name + L")";
    ScHandle service(CreateServiceW(manager.get(), name.c_str(), display.c_str(), SERVICE_ALL_ACCESS,
                                    SERVICE_WIN32_OWN_PROCESS,
                                    target.manual ? SERVICE_DEMAND_START : SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    commandLine.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service)
        return failed(target.name + " cannot be installed", GetLastError());
    std::wstring text = L"TORV server command console of " + widen(target.programFolder) + L", without a window.";
    SERVICE_DESCRIPTIONW description{text.data()};
    ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    setFailureActions(service.get());
    std::string why;
    if (!registerEventSource(target.name, modulePath(), why))
        std::printf("no Event Log source %s (%s); its lines are in torv-service.log only\n", target.name.c_str(),
                    why.c_str());
    std::printf("installed %s\n", target.name.c_str());
    return servicestatus::Ok;
}

int uninstallService(const ServiceTarget& target)
{
    int status = servicestatus::Ok;
    const ScHandle manager = openManager(SC_MANAGER_CONNECT, status);
    if (!manager)
        return status;
    const ScHandle service =
        openService(manager.get(), target, SERVICE_STOP | SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG | DELETE, status);
    if (!service)
        return status;
    // Only a console's service: any other name is left alone.
    if (commandLineOf(service.get()).find(L" --service-run ") == std::wstring::npos) {
        std::fprintf(stderr, "torv: %s is no TORV service (it runs %s)\n", target.name.c_str(),
                     narrow(commandLineOf(service.get())).c_str());
        return servicestatus::Failed;
    }
    if (const int stopped = stopAndWait(service.get(), target); stopped != servicestatus::Ok)
        return stopped;
    if (!DeleteService(service.get()))
        return failed(target.name + " cannot be uninstalled", GetLastError());
    removeEventSource(target.name);
    std::printf("uninstalled %s\n", target.name.c_str());
    return servicestatus::Ok;
}

int startService(const ServiceTarget& target)
{
    int status = servicestatus::Ok;
    const ScHandle manager = openManager(SC_MANAGER_CONNECT, status);
    if (!manager)
        return status;
    const ScHandle service = openService(manager.get(), target, SERVICE_START | SERVICE_QUERY_STATUS, status);
    if (!service)
        return status;
    SERVICE_STATUS_PROCESS state{};
    if (!query(service.get(), state))
        return failed(target.name + " cannot be asked", GetLastError());
    if (state.dwCurrentState == SERVICE_RUNNING) {
        std::printf("%s is already running\n", target.name.c_str());
        return servicestatus::Ok;
    }
    if (state.dwCurrentState != SERVICE_START_PENDING && !StartServiceW(service.get(), 0, nullptr) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return failed(target.name + " cannot be started", GetLastError());
    if (!waitFor(service.get(), SERVICE_RUNNING, SERVICE_STOPPED, state))
        return failed(target.name + " cannot be asked", GetLastError());
    if (state.dwCurrentState == SERVICE_RUNNING) {
        std::printf("started %s\n", target.name.c_str());
        return servicestatus::Ok;
    }
    if (state.dwCurrentState == SERVICE_START_PENDING)
        std::fprintf(stderr, "torv: %s is still starting after %lu s\n", target.name.c_str(), kWaitMs / 1000);
    else
        std::fprintf(stderr, "torv: %s stopped while starting (%s); see torv-service.log\n", target.name.c_str(),
                     exitText(state).empty() ? "no status" : exitText(state).c_str());
    return servicestatus::Failed;
}

int stopService(const ServiceTarget& target)
{
    int status = servicestatus::Ok;
    const ScHandle manager = openManager(SC_MANAGER_CONNECT, status);
    if (!manager)
        return status;
    const ScHandle service = openService(manager.get(), target, SERVICE_STOP | SERVICE_QUERY_STATUS, status);
    if (!service)
        return status;
    return stopAndWait(service.get(), target);
}

std::optional<ServiceState> serviceState(const ServiceTarget& target)
{
    int status = servicestatus::Ok;
    const ScHandle manager = openManager(SC_MANAGER_CONNECT, status);
    if (!manager)
        return std::nullopt;
    ScHandle service(OpenServiceW(manager.get(), widen(target.name).c_str(), SERVICE_QUERY_STATUS));
    if (!service) {
        if (GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST)
            return ServiceState::NotInstalled;
        failed(target.name + " cannot be opened", GetLastError());
        return std::nullopt;
    }
    SERVICE_STATUS_PROCESS state{};
    if (!query(service.get(), state)) {
        failed(target.name + " cannot be asked", GetLastError());
        return std::nullopt;
    }
    switch (state.dwCurrentState) {
    case SERVICE_STOPPED:
        return ServiceState::Stopped;
    case SERVICE_START_PENDING:
        return ServiceState::StartPending;
    case SERVICE_STOP_PENDING:
        return ServiceState::StopPending;
    default: // running, or paused, which the console never asks for
        return ServiceState::Running;
    }
}

} // namespace torv

// The Service Control Manager's side of a console run as a service. The
// dispatcher (StartServiceCtrlDispatcherW) keeps a thread of its own for the
// whole run, so the console keeps the main thread and its event loop; the
// manager's thread only hands the stop request on.
#include "ports/ServiceHost.h"

#include "platform/win32/ServiceHost.h"
#include "platform/win32/ServiceLog.h"
#include "platform/win32/Wide.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>
#include <windows.h>

namespace torv {

namespace {

// The manager connects within 30 s of the start, or counts the start as failed.
constexpr auto kConnectWait = std::chrono::seconds(25);

std::atomic<bool> gInService{false};

// What the dispatcher's threads and the console share; one service per process.
struct Dispatch {
    std::wstring name;
    std::mutex mutex;
    std::condition_variable changed;
    bool answered = false; // the connection made or refused
    DWORD error = 0;
    SERVICE_STATUS_HANDLE handle = nullptr;
    bool stopped = false; // stopped reported: the service's thread may end
    std::function<void()> onStop;
    bool stopAsked = false;
};
// Never destroyed: the dispatcher's threads may still wait on it as the
// process ends.
Dispatch& gDispatch = *new Dispatch;

DWORD WINAPI control(DWORD code, DWORD, void*, void*)
{
    switch (code) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_PRESHUTDOWN:
    case SERVICE_CONTROL_SHUTDOWN: {
        std::function<void()> handler;
        {
            std::lock_guard<std::mutex> lock(gDispatch.mutex);
            gDispatch.stopAsked = true;
            handler = gDispatch.onStop;
        }
        if (handler)
            handler();
        return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI serviceMain(DWORD, wchar_t**)
{
    SERVICE_STATUS_HANDLE handle = RegisterServiceCtrlHandlerExW(gDispatch.name.c_str(), control, nullptr);
    std::unique_lock<std::mutex> lock(gDispatch.mutex);
    gDispatch.handle = handle;
    gDispatch.error = handle ? NO_ERROR : GetLastError();
    gDispatch.answered = true;
    gDispatch.changed.notify_all();
    // The service lives as long as this thread does.
    gDispatch.changed.wait(lock, [handle] { return gDispatch.stopped || !handle; });
}

std::string programFolder()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    DWORD n;
    while ((n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()))) >= buffer.size())
        buffer.resize(buffer.size() * 2);
    std::wstring path(buffer.data(), n);
    return narrow(path.substr(0, path.find_last_of(L"\\/")));
}

DWORD stateOf(ServicePhase phase)
{
    switch (phase) {
    case ServicePhase::StartPending:
        return SERVICE_START_PENDING;
    case ServicePhase::Running:
        return SERVICE_RUNNING;
    case ServicePhase::StopPending:
        return SERVICE_STOP_PENDING;
    case ServicePhase::Stopped:
        break;
    }
    return SERVICE_STOPPED;
}

class Win32ServiceHost : public ServiceHost {
public:
    explicit Win32ServiceHost(const std::string& name) : name_(name), log_(programFolder(), name) {}

    void report(const ServiceReport& report) override
    {
        SERVICE_STATUS status{};
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status.dwCurrentState = stateOf(report.phase);
        // Stop requests only while running: start-up and the end are short
        // and run to their end.
        status.dwControlsAccepted =
            report.phase == ServicePhase::Running ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PRESHUTDOWN : 0;
        // A status of its own (2, 3) is no crash: the manager is told which.
        status.dwWin32ExitCode = report.exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
        status.dwServiceSpecificExitCode = static_cast<DWORD>(report.exitStatus);
        status.dwCheckPoint = static_cast<DWORD>(report.checkPoint);
        status.dwWaitHint = static_cast<DWORD>(report.waitHintMs);
        if (report.phase == ServicePhase::Stopped)
            log_.write("Service " + name_ + " stopped" +
                       (report.exitStatus ? " with status " + std::to_string(report.exitStatus) : std::string()) + ".");
        // The handle was set before this host was made; the manager's threads
        // are not held up while it hears the news.
        SetServiceStatus(gDispatch.handle, &status);
        if (report.phase == ServicePhase::Stopped) {
            std::lock_guard<std::mutex> lock(gDispatch.mutex);
            gDispatch.stopped = true;
            gDispatch.changed.notify_all();
        }
    }

    void writeLine(const std::string& line, bool) override { log_.write(line); }

    void onStop(std::function<void()> handler) override
    {
        bool asked;
        {
            std::lock_guard<std::mutex> lock(gDispatch.mutex);
            gDispatch.onStop = handler;
            asked = gDispatch.stopAsked;
        }
        if (asked && handler)
            handler();
    }

private:
    std::string name_;
    ServiceLog log_;
};

} // namespace

bool runsAsService()
{
    return gInService;
}

std::unique_ptr<ServiceHost> connectServiceHost(const std::string& name, std::string& why)
{
    gDispatch.name = widen(name);
    std::thread([] {
        SERVICE_TABLE_ENTRYW table[] = {{gDispatch.name.data(), serviceMain}, {nullptr, nullptr}};
        const bool ran = StartServiceCtrlDispatcherW(table);
        std::lock_guard<std::mutex> lock(gDispatch.mutex);
        if (!gDispatch.answered) {
            gDispatch.error = ran ? ERROR_SERVICE_NOT_ACTIVE : GetLastError();
            gDispatch.answered = true;
            gDispatch.changed.notify_all();
        }
    }).detach(); // returns once stopped is reported, or never: the process ends without it
    std::unique_lock<std::mutex> lock(gDispatch.mutex);
    if (!gDispatch.changed.wait_for(lock, kConnectWait, [] { return gDispatch.answered; })) {
        why = "the service manager did not start service " + name + " within " + std::to_string(kConnectWait.count()) +
              " s";
        return nullptr;
    }
    if (gDispatch.error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
        why =
            "--service-run is the service manager's call; start the service with: torv --service start --name " + name;
        return nullptr;
    }
    if (gDispatch.error != NO_ERROR) {
        why = "service " + name + " cannot connect to the service manager: " + systemMessage(gDispatch.error);
        return nullptr;
    }
    lock.unlock();
    gInService = true;
    auto host = std::make_unique<Win32ServiceHost>(name);
    host->writeLine("Service " + name + " starting: " + programFolder(), false);
    return host;
}

} // namespace torv

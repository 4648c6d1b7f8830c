#pragma once
// The console run by the system's service manager (torv --service-run NAME):
// the manager hears how the service is doing, and stops it; what the console
// would write on its standard streams goes where an administrator finds it,
// since a service has none.
#include <functional>
#include <memory>
#include <string>

namespace torv {

enum class ServicePhase { StartPending, Running, StopPending, Stopped };

struct ServiceReport {
    ServicePhase phase = ServicePhase::StartPending;
    int checkPoint = 0; // raised at each step of a start or an end
    int waitHintMs = 0; // how long the next step may take
    int exitStatus = 0; // with Stopped: the console's exit status
    bool operator==(const ServiceReport&) const = default;
};

// Where the reports go.
class ServiceStatusPort {
public:
    virtual ~ServiceStatusPort() = default;
    // Stopped comes last: the manager may end the process after it.
    virtual void report(const ServiceReport& report) = 0;
};

class ServiceHost : public ServiceStatusPort {
public:
    // A line the console would write on standard output, or (error) on
    // standard error.
    virtual void writeLine(const std::string& line, bool error) = 0;
    // The manager's stop request. The handler runs on a thread of the
    // manager's; a request that came before it was given is handed on then.
    virtual void onStop(std::function<void()> handler) = 0;
};

// Connects this process to the service manager as service `name`. Nothing,
// with the reason in `why`, when the manager did not start it (or this
// system's manager starts the console another way).
std::unique_ptr<ServiceHost> connectServiceHost(const std::string& name, std::string& why);

} // namespace torv

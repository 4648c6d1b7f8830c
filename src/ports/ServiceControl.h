#pragma once
// Installing and controlling this program folder's console as a system
// service: the command line's words and exit statuses are the same on every
// platform, the service manager behind them is the platform's.
#include <optional>
#include <string>

namespace torv {

struct ServiceTarget {
    std::string name;          // letters, digits, '-', '_', '.'
    std::string userName;      // the account to run as; empty: the platform's default
    std::string programFolder; // the folder whose torv --headless the service runs
    bool manual = false;       // starts when asked, not with the system
};

// Pending: on the way to running or to stopped.
enum class ServiceState { Running, Stopped, StartPending, StopPending, NotInstalled };

// Exit statuses of --service.
namespace servicestatus {
inline constexpr int Ok = 0;
inline constexpr int Failed = 1;
inline constexpr int WrongUse = 2;
inline constexpr int Stopped = 3; // or on the way
inline constexpr int NotInstalled = 4;
inline constexpr int NotAllowed = 5;
} // namespace servicestatus

// Each says what it did on standard output, or why it could not on standard
// error, and returns the exit status.
int installService(const ServiceTarget& target);
int uninstallService(const ServiceTarget& target);
int startService(const ServiceTarget& target);
int stopService(const ServiceTarget& target);
// Nothing after saying why the state cannot be told.
std::optional<ServiceState> serviceState(const ServiceTarget& target);

} // namespace torv

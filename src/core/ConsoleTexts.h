#pragma once
// The console's fixed texts that more than one view shows or looks for.
namespace torv {

inline constexpr const char* kIdleStatus = "SERVER COMMND CENTER";
inline constexpr const char* kAbnormalStopText =
    "Error Loading Config.ini File. Default values have been written to the file and the program has been "
    "de-activated. Please re-start the application";
// A readiness check's wait, in the log and, while it lasts, the status line.
inline constexpr const char* kWaitingFor = "Waiting For: ";

} // namespace torv

#pragma once
// The console's fixed texts that more than one view shows or looks for.
namespace torv {

inline constexpr const char* kIdleStatus = "SERVER COMMND CENTER";
inline constexpr const char* kAbnormalStopText =
    "Error Loading Config.ini File. Default values have been written to the file and the program has been "
    "de-activated. Please re-start the application";

} // namespace torv

#pragma once
#include "base/Int16.h"

#include <array>
#include <string>

namespace torv {

// The eight settings of config.ini, in file order.
struct SettingsRecord {
    std::string LaunchOpt;
    std::string ExchangeDir;
    std::string UserCmd;
    int16 InitTime = 0;
    int16 CheckTime = 0;
    std::string RemoteOpt;
    std::string Sounds;
    std::string UserComment;
};

inline constexpr int kMaxTasks = 100;

// Slots 0 to 100; tasks live in 1 .. TotalApps, slot 0 is never a task.
struct TaskTable {
    std::array<std::string, kMaxTasks + 1> TaskDesc;
    std::array<std::string, kMaxTasks + 1> TaskLoc;
};

} // namespace torv

#pragma once
// The platform's adapters the console works through, handed in by the program.
#include "platform/Clock.h"
#include "platform/CpuUsage.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Launcher.h"
#include "platform/Program.h"
#include "platform/ReadinessProbe.h"
#include "platform/Sound.h"
#include "platform/TrayShell.h"
#include "platform/WebClient.h"

#include <cstdint>

namespace torv {

struct Ports {
    EventLoop& events;
    Clock& clock;
    Launcher& launcher;
    Sound& sound;
    Dialogs& dialogs;
    Program& program;
    TrayShell& tray;
    CpuUsageFactory& cpuFactory;
    std::uint32_t consoleIcon; // the console window's icon, as the tray shell knows it
    ReadinessProbe& probe;     // the tries of the tasks' readiness checks
    WebClient& web;            // the external address watcher's GETs
};

} // namespace torv

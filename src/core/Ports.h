#pragma once
// The platform's adapters the console works through, handed in by the program.
#include "ports/Clock.h"
#include "ports/CpuUsage.h"
#include "ports/Dialogs.h"
#include "ports/EventLoop.h"
#include "ports/Launcher.h"
#include "ports/Program.h"
#include "ports/ReadinessProbe.h"
#include "ports/Sound.h"
#include "ports/TrayShell.h"
#include "ports/WebClient.h"

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

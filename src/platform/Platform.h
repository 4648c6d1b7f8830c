#pragma once
// The adapters of the platform the program was built for. The program gets
// them here and nowhere else; src/platform/<platform>/MakePlatform.cpp and
// MakeCorePlatform.cpp make them.
#include "ports/CpuUsage.h"
#include "ports/Launcher.h"
#include "ports/Program.h"
#include "ports/Sound.h"
#include "ports/StopSignal.h"

#include <memory>

namespace torv {

struct PlatformAdapters {
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<Sound> sound;
    std::unique_ptr<Program> program;
    std::unique_ptr<CpuUsageFactory> cpuUsage;
};

// Call once QApplication exists: some adapters are Qt objects.
PlatformAdapters makePlatform();
// The cue player alone (in the window module, lent to the headless console).
std::unique_ptr<Sound> makeSound();

// What a console without a window needs, on Qt Core alone.
struct CoreAdapters {
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<Program> program;
    // The system's request to end (SIGTERM/SIGINT, a console control event).
    std::unique_ptr<StopSignal> stop;
};

// Call once QCoreApplication exists.
CoreAdapters makeCorePlatform();

} // namespace torv

#pragma once
// The adapters of the platform the program was built for. main.cpp gets them
// here and nowhere else; src/platform/<platform>/MakePlatform.cpp makes them.
#include "platform/CpuUsage.h"
#include "platform/Launcher.h"
#include "platform/Program.h"
#include "platform/Sound.h"

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

} // namespace torv

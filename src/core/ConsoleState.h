#pragma once
// The console's shared state: what start-up, the sequencer, the remote poll
// and the settings editor read and change. The console (Form1) owns it for the
// life of the program; collaborators are handed a reference, never the console.
#include "base/Int16.h"
#include "core/Log.h"
#include "ports/EventLoop.h"
#include "settings/IpOptions.h"
#include "settings/Settings.h"
#include "settings/TaskChecks.h"

#include <memory>
#include <string>

namespace torv {

struct ConsoleState {
    SettingsRecord settings;
    TaskTable tasks;
    int16 TotalApps = 0;
    CheckTable checks;       // torv.ini's [task N] sections that match their task
    int optionsReadings = 0; // how often torv.ini was read: a check wait restarts on a new reading
    IpOptions ip;            // torv.ini's [ip] section as last read or saved by the IP Options window
    int16 Seconds = 0;
    Log DumpString;
    std::string CommentLine;
    bool FirstCancel = false;
    bool SequenceRunning = false;
    bool ReloadInSequence = false;
    bool CpuMonCreated = false;
    bool Reloading = false; // program-wide: a reload is under way
    // The last start-up ended in the abnormal stop (no sequence runs).
    bool StartUpStopped = false;
    // The console's end is under way: nothing new is launched, restarted,
    // polled or reloaded, and every wait of a sequence stands down.
    bool Ending = false;

    std::unique_ptr<Timer> Timer1;   // 1 s countdown tick
    std::unique_ptr<Timer> Timer2;   // 10 s remote poll
    std::unique_ptr<Timer> CPUTimer; // 2 s chart tick
};

} // namespace torv

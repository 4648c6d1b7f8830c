#pragma once
// The console: owns all shared state (settings, task table, log, flags) and runs
// start-up, the buttons and shutdown. Collaborators do the rest of the work.
#include "console/ConsoleView.h"
#include "console/Log.h"
#include "cpumon/CpuChart.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/EventLoop.h"
#include "platform/Failure.h"
#include "platform/Launcher.h"
#include "platform/Program.h"
#include "platform/Sound.h"
#include "settings/Settings.h"
#include "tray/ConsoleTray.h"

#include <memory>
#include <string>

namespace torv {

class Sequencer;
class CommandInterface;

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
};

inline constexpr const char* kIdleStatus = "SERVER COMMND CENTER";
inline constexpr const char* kAbnormalStopText =
    "Error Loading Config.ini File. Default values have been written to the file and the program has been "
    "de-activated. Please re-start the application";

class Form1 : public TrayHost {
public:
    Form1(const Ports& ports, ConsoleView& view);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Start-up; run when the window is created and again by every reload.
    void Form_Load();
    // Shutdown: removes the tray icon and ends the program.
    [[noreturn]] void Form_Unload();

    void cmdRestart_Click();
    void cmdConfig_Click();
    void cmdEdit_Click();
    void cmdClear_Click();
    void Command8_Click();
    void cmdTray_Click();
    // The user pressed or released the remote toggle.
    void chkRemote_UserSet(bool on);
    void Chart_UserSet(bool on);

    // The sequencer, run by start-up.
    void WorkHorse();
    // One remote poll, run by each tick of Timer2.
    void Command_Interface();
    CommandInterface& remote() { return *remote_; }

    // --- the log, shared by every part ---
    void appendLog(const std::string& entry)
    {
        DumpString.append(entry);
        view_.logEntryAppended(entry);
    }
    // entry + date + ":" + time, or time first.
    void appendStamped(const std::string& entry, bool timeFirst = false);
    void showLog();
    // Puts other text into the log box (comment line, error text).
    void setLogBox(const std::string& text);
    void playCue(const char* cueFile);
    void setStatus(const std::string& text) { view_.setStatus(text); }

    // --- toggles and enables ---
    void setControlEnabled(Control control, bool enabled);
    // Sets the remote toggle's value from code; runs its handler on a change.
    void setRemoteToggle(bool on);
    bool remoteToggle() const { return chkRemoteValue_; }

    // Ends the program at once, taking the tray icon away first.
    [[noreturn]] void endProgram() override;

    // The tray's view of the console window.
    void showWindow() override { view_.showWindow(); }
    void focusWindow() override { view_.focusWindow(); }
    void hideWindow() override { view_.hideWindow(); }
    void minimizeWindow() override { view_.minimizeWindow(); }
    ConsoleTray& tray() { return *tray_; }

    std::string configPath() const;
    std::string commentsPath() const;

    // Console state
    SettingsRecord settings;
    TaskTable tasks;
    int16 TotalApps = 0;
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

    std::unique_ptr<Timer> Timer1;   // 1 s countdown tick
    std::unique_ptr<Timer> Timer2;   // 10 s remote poll
    std::unique_ptr<Timer> CPUTimer; // 2 s chart tick

    Ports ports;
    ConsoleView& view() { return view_; }
    CpuChart chart;

private:
    void startUp();
    void startUpFailure(const Failure& failure, bool whileReadingSettings);
    void firstRunPath();
    // configFate: a line for the log box when config.ini was left as it was
    // (nothing written, or a write that failed); empty when the default was written.
    void abnormalStop(const Failure& failure, const std::string& configFate);
    void createCommentsFileIfMissing();
    std::string caption();
    void chkRemote_Click();
    void setUpTray();
    void CreateCpuMon();

    ConsoleView& view_;
    std::unique_ptr<Sequencer> sequencer_;
    std::unique_ptr<CommandInterface> remote_;
    std::unique_ptr<ConsoleTray> tray_;
    bool chkRemoteValue_ = false;
    bool chartValue_ = false;
    // What the log box shows: a prefix of the log, or something else.
    bool logBoxHoldsLog_ = true;
    size_t logBoxLength_ = 0;
    std::uint64_t logBoxRewrites_ = 0;
};

} // namespace torv

#pragma once
// The console: owns the shared state (settings, task table, log, flags, timers)
// and runs start-up, the buttons and shutdown. Its collaborators get the state,
// the actions and the ports they use, never the console itself.
#include "base/Failure.h"
#include "console/ConsoleView.h"
#include "core/ConsoleActions.h"
#include "core/ConsoleListener.h"
#include "core/ConsoleState.h"
#include "core/ConsoleTexts.h"
#include "core/Ports.h"
#include "cpumon/CpuChart.h"
#include "tray/ConsoleTray.h"

#include <memory>
#include <string>
#include <vector>

namespace torv {

class Sequencer;
class CommandInterface;
class IpWatcher;
class AlertDispatcher;
class MetricsWriter;
class Supervisor;
class RestartChecks;
struct FeatureOptions;

class Form1 : public TrayHost, public ConsoleActions {
public:
    Form1(const Ports& ports, ConsoleView& view);
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Start-up; run when the window is created and again by every reload.
    void Form_Load();
    // Shutdown: removes the tray icon and ends the program, once the kept
    // programs are stopped (until then it returns).
    void Form_Unload();

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
    CommandInterface& remote() { return *remote_; }

    // --- the console's actions, shared by every part ---
    void appendLog(const std::string& entry) override
    {
        state_.DumpString.append(entry);
        view_.logEntryAppended(entry);
    }
    std::string appendStamped(const std::string& entry, bool timeFirst = false) override;
    void showLog() override;
    void setLogBox(const std::string& text) override;
    void playCue(const char* cueFile) override;
    void setStatus(const std::string& text) override;
    void needsAttention(const std::string& line) override { view_.attention(line); }
    void notify(const ConsoleEvent& event) override;
    void setControlEnabled(Control control, bool enabled) override;
    void setRemoteToggle(bool on) override;
    bool remoteToggle() const { return chkRemoteValue_; }

    void requestEnd() override;
    // Hears every event, status change and clean end from now on.
    void addListener(ConsoleListener& listener) { listeners_.push_back(&listener); }

    // The window, for the tray and the other parts alike.
    void showWindow() override { view_.showWindow(); }
    void focusWindow() override { view_.focusWindow(); }
    void hideWindow() override { view_.hideWindow(); }
    void minimizeWindow() override { view_.minimizeWindow(); }
    ConsoleTray& tray() { return *tray_; }

    std::string configPath() const;
    std::string commentsPath() const;

    ConsoleState& state() { return state_; }
    const ConsoleState& state() const { return state_; }
    const Ports& ports() const { return ports_; }
    ConsoleView& view() { return view_; }
    CpuChart& chart() { return chart_; }

private:
    void startUp();
    void startUpFailure(const Failure& failure, bool whileReadingSettings);
    void firstRunPath();
    // configFate: a line for the log box when config.ini was left as it was
    // (nothing written, or a write that failed); empty when the default was written.
    void abnormalStop(const Failure& failure, const std::string& configFate);
    void createCommentsFileIfMissing();
    // torv.ini's task checks and [ip] section; each reading reports its problems once.
    void readOptionsFile();
    // The alert command and the metrics file, as torv.ini now says.
    void setUpListeners(const FeatureOptions& features);
    // Before an abnormal stop: torv.ini's listeners, when this start-up has
    // not read the file yet (config.ini failed first).
    void readListenerOptions();
    // A line of a listener's own (a command that failed, a file not written).
    void listenerSays(const std::string& line);
    std::string caption();
    void chkRemote_Click();
    void setUpTray();
    void CreateCpuMon();
    // The end's last steps, once the kept programs are stopped; never returns.
    [[noreturn]] void finishEnd();

    Ports ports_;
    ConsoleView& view_;
    ConsoleState state_;
    CpuChart chart_;
    std::unique_ptr<CommandInterface> remote_;
    std::unique_ptr<RestartChecks> restartChecks_;
    std::unique_ptr<Supervisor> supervisor_;
    std::unique_ptr<Sequencer> sequencer_;
    std::unique_ptr<ConsoleTray> tray_;
    std::unique_ptr<IpWatcher> ipWatcher_;
    std::unique_ptr<AlertDispatcher> alerts_;
    std::unique_ptr<MetricsWriter> metrics_;
    std::vector<ConsoleListener*> listeners_;
    bool ending_ = false;      // requestEnd has run
    bool optionsRead_ = false; // torv.ini read by the start-up under way
    bool chkRemoteValue_ = false;
    bool chartValue_ = false;
    // What the log box shows: a prefix of the log, or something else.
    bool logBoxHoldsLog_ = true;
    size_t logBoxLength_ = 0;
    std::uint64_t logBoxRewrites_ = 0;
};

} // namespace torv

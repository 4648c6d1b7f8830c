#include "console/Form1.h"

#include "alerts/AlertDispatcher.h"
#include "alerts/MetricsWriter.h"
#include "base/AsciiCase.h"
#include "base/NamedLaunch.h"
#include "core/ConsolePaths.h"
#include "core/Cues.h"
#include "ipwatch/IpWatcher.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"
#include "ports/Paths.h"
#include "remote/CommandInterface.h"
#include "sequencer/Sequencer.h"
#include "settings/AlertOptions.h"
#include "settings/ConfigFile.h"
#include "settings/OptionsRules.h"
#include "supervisor/RestartChecks.h"
#include "supervisor/Supervisor.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string_view>

namespace torv {

namespace {

// More than a comment line shown above the log could ever use.
constexpr std::size_t kCommentReadLimit = 64 * 1024;

// As the caption and the metrics show it: major.minor.revision.
std::string versionText(const Version& v)
{
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.revision);
}

// The first line of the comments file. Only that line is shown, so a bounded
// start is read, without blocking: a pipe or a device planted under the name
// is 75 (an abnormal stop), never a hang. Decoded as every text file is.
std::string readCommentLine(const std::string& path)
{
    try {
        const std::string text = decodeFileText(readRegularFile(path, kCommentReadLimit, Links::Follow));
        return text.substr(0, text.find_first_of("\r\n"));
    } catch (const std::bad_alloc&) {
        throw Failure::outOfMemory();
    }
}

} // namespace

Form1::Form1(const Ports& p, ConsoleView& view)
    : ports_(p), view_(view), remote_(std::make_unique<CommandInterface>(state_, *this, ports_)),
      restartChecks_(std::make_unique<RestartChecks>(p.events, p.probe, *this)),
      supervisor_(std::make_unique<Supervisor>(
          SupervisorContext{p.events, p.clock, p.launcher, *this,
                            [this](int task, RunningProcess&) {
                                auto found = state_.checks.find(task);
                                if (found != state_.checks.end())
                                    restartChecks_->start(task, state_.tasks.TaskDesc[task], found->second,
                                                          withPathsIn(ports_.program.folder(), found->second.ready));
                            }})),
      sequencer_(std::make_unique<Sequencer>(state_, *this, ports_, *remote_, *supervisor_)),
      tray_(std::make_unique<ConsoleTray>(*this, p.tray, p.program.fileDescription(), p.consoleIcon)),
      ipWatcher_(std::make_unique<IpWatcher>(*this, ports_))
{
    // Kept programs are stopped before `off` and `restart` hand over to the
    // system; the console runs on, and a shutdown that cannot be started
    // leaves them stopped.
    remote_->holdShutdown([this](std::function<void(bool)> then) {
        if (!supervisor_->anyToStop())
            return false;
        state_.Ending = true;
        supervisor_->stopAll([this, then = std::move(then)] {
            state_.Ending = false;
            then(true);
        });
        return true;
    });
    const auto says = [this](const std::string& line) { listenerSays(line); };
    alerts_ = std::make_unique<AlertDispatcher>(ports_.events, ports_.clock, ports_.launcher, ports_.program.hostName(),
                                                says);
    metrics_ =
        std::make_unique<MetricsWriter>(ports_.events, ports_.clock, versionText(ports_.program.version()), says);
    state_.Timer1 = ports_.events.createTimer(1000, false, [this] { sequencer_->Timer1_Timer(); });
    // No event processing inside the poll's tick either: a sequence started by
    // a click inside it would stop the remote poll until it ended.
    state_.Timer2 = ports_.events.createTimer(10000, false, [this] { remote_->Command_Interface(); });
    state_.CPUTimer =
        ports_.events.createTimer(2000, true, [this] { chart_.CPUTimer_Timer(chartValue_, view_.scope()); });
    // Enabled states at creation: E, R, _ and Z wait for the end of a sequence.
    for (Control c : {Control::cmdEdit, Control::cmdRestart, Control::cmdTray, Control::chkRemote})
        view_.setControlEnabled(c, false);
    for (Control c : {Control::cmdClear, Control::Command8, Control::cmdConfig, Control::Chart})
        view_.setControlEnabled(c, true);
    view_.setStatus(kIdleStatus);
}

Form1::~Form1() = default;

std::string Form1::configPath() const
{
    return torv::configPath(ports_.program);
}

std::string Form1::commentsPath() const
{
    return torv::commentsPath(ports_.program);
}

std::string Form1::caption()
{
    // The stamp is yymmddhhmm.
    DateTimeFields t = ports_.clock.now();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02d%02d%02d%02d%02d", t.year % 100, t.month, t.day, t.hour, t.minute);
    return "TORV   " + ports_.program.environment("logonserver").value_or("") + "    " + stamp +
           " Version:" + versionText(ports_.program.version());
}

void Form1::Form_Load()
{
    if (ports_.program.anotherInstanceRunning())
        ports_.program.endNow();
    // Only this copy keeps these files, so a temporary file of ours is left
    // from a write that was killed; but `--write-config` may be writing one
    // right now, hence the minute. (A linked file is written beside its target.)
    const std::chrono::minutes stale(1);
    removeStaleTemporaries(configPath(), stale, true);
    removeStaleTemporaries(configPath() + ".bak", stale);
    removeStaleTemporaries(optionsPath(ports_.program), stale, true);
    view_.setCaption(caption());
    CreateCpuMon();
    startUp();
}

void Form1::startUp()
{
    bool readingSettings = false;
    state_.StartUpStopped = false;
    optionsRead_ = false;
    try {
        // The window's position is in twips from the screen's top-left corner.
        view_.moveToTwips(100, 100);
        readingSettings = true;
        readConfig(configPath(), state_.settings, state_.tasks, state_.TotalApps);
        readingSettings = false;
        if (state_.settings.Sounds == "SOUNDON")
            playCue(cue::Start);
        appendLog("Seuquence Init");
        readOptionsFile();
        showLog();
        if (!state_.Reloading)
            setUpTray();
        if (equalsIgnoringAsciiCase(state_.settings.UserComment, "COMMENTSON")) {
            setLogBox("");
            ports_.events.processPending();
            // An empty comments file gives an empty comment line, never a failure.
            state_.CommentLine = readCommentLine(commentsPath());
            setLogBox(state_.CommentLine + "\r\n" + state_.DumpString.text());
        }
    } catch (const Failure& failure) {
        startUpFailure(failure, readingSettings);
        return;
    }
    state_.Reloading = false;
    WorkHorse();
}

void Form1::readOptionsFile()
{
    OptionsFile file = readOptions(optionsPath(ports_.program), knownOptionsRules());
    state_.checks = readTaskChecks(file, state_.tasks, state_.TotalApps);
    supervisor_->reconcile(state_.tasks, state_.TotalApps, state_.checks, state_.Reloading);
    const FeatureOptions features = readFeatureOptions(file);
    state_.ip = features.ip;
    ipWatcher_->configure(state_.ip);
    ++state_.optionsReadings;
    optionsRead_ = true;
    setUpListeners(features);
    for (const std::string& problem : file.problemLines()) {
        appendLog(problem);
        needsAttention("WARNING: " + problem);
    }
}

void Form1::setUpListeners(const FeatureOptions& features)
{
    alerts_->configure(features.alert.command, AlertFilter(features.alert.events), features.alert.timeoutSeconds);
    metrics_->configure(features.metrics.file);
}

void Form1::readListenerOptions()
{
    if (optionsRead_)
        return;
    optionsRead_ = true;
    // The tasks are not known, so their checks are not read; the log box
    // shows the stop, so the problems go only where a person reads them.
    OptionsFile file = readOptions(optionsPath(ports_.program), knownOptionsRules());
    setUpListeners(readFeatureOptions(file));
    for (const std::string& problem : file.problemLines())
        needsAttention("WARNING: " + problem);
}

void Form1::listenerSays(const std::string& line)
{
    appendLog(line);
    showLog();
    needsAttention("WARNING: " + line);
}

void Form1::notify(const ConsoleEvent& event)
{
    alerts_->notify(event);
    metrics_->notify(event);
    for (ConsoleListener* listener : listeners_)
        listener->notify(event);
}

void Form1::setStatus(const std::string& text)
{
    view_.setStatus(text);
    for (ConsoleListener* listener : listeners_)
        listener->statusChanged(text);
}

void Form1::startUpFailure(const Failure& failure, bool whileReadingSettings)
{
    if (state_.settings.LaunchOpt == "FIRSTRUN") {
        firstRunPath();
        return;
    }
    if (failure.code == 62 && whileReadingSettings) {
        readListenerOptions();
        const std::string notWritten = replaceWithDefault(configPath());
        if (notWritten.empty())
            notify(consoleEvent(Event::SettingsReplaced, 0, {},
                                "config.ini (" + failure.text() + ") was replaced by the default file"));
        abnormalStop(failure,
                     notWritten.empty() ? "" : "Could not write " + notWritten + ": config.ini was left as it was.");
        return;
    }
    if (failure.code == 53) {
        firstRunPath();
        return;
    }
    abnormalStop(failure, "Nothing was written: config.ini was left as it was.");
}

void Form1::abnormalStop(const Failure& failure, const std::string& configFate)
{
    state_.StartUpStopped = true;
    createCommentsFileIfMissing();
    // The text says the default values were written; when they were not, the
    // next line says so.
    std::string text = kAbnormalStopText;
    if (!configFate.empty())
        text += "\r\n" + configFate;
    setLogBox(text);
    readListenerOptions();
    notify(consoleEvent(Event::AbnormalStop, 0, {}, "Abnormal Stop:" + failure.text(), std::to_string(failure.code)));
    ports_.dialogs.messageBox("Abnormal Stop:" + failure.text());
}

void Form1::firstRunPath()
{
    state_.settings.LaunchOpt = "NORM";
    state_.settings.ExchangeDir = ports_.program.driveRoot();
    state_.settings.InitTime = 30;
    state_.settings.CheckTime = 10;
    state_.settings.RemoteOpt = "REMOTEON";
    state_.settings.Sounds = "SOUNDON";
    state_.tasks.TaskDesc[1] = "running notepad";
    state_.tasks.TaskLoc[1] = "notepad.exe";
    state_.settings.UserComment = "COMMENTSOFF";
    setUpTray();
    createCommentsFileIfMissing();
    state_.FirstCancel = true;
    ports_.dialogs.showSettingsEditor();
    ports_.events.processPending();
    cmdRestart_Click();
}

void Form1::createCommentsFileIfMissing()
{
    // Only ever creates; an existing comments file keeps its content.
    std::error_code ec;
    if (std::filesystem::exists(commentsPath(), ec) || ec)
        return;
    std::ofstream(commentsPath(), std::ios::binary | std::ios::app);
}

void Form1::setUpTray()
{
    // One icon for the whole run, however often start-up takes this step.
    tray_->setUp();
}

void Form1::CreateCpuMon()
{
    // A component that cannot be made leaves the chart toggle disabled after the
    // sequence; an unattended console carries on without a chart rather than
    // stop at a message.
    chart_.CreateCpuMon(state_.Reloading, ports_.cpuFactory);
    state_.CpuMonCreated = chart_.CpuMonCreated;
}

void Form1::WorkHorse()
{
    sequencer_->WorkHorse();
}

std::string Form1::appendStamped(const std::string& entry, bool timeFirst)
{
    const std::string date = ports_.clock.dateText();
    const std::string time = ports_.clock.timeText();
    std::string line = entry + (timeFirst ? time + ":" + date : date + ":" + time);
    appendLog(line);
    return line;
}

void Form1::showLog()
{
    const std::string& text = state_.DumpString.text();
    if (logBoxHoldsLog_ && logBoxRewrites_ == state_.DumpString.rewrites() && logBoxLength_ <= text.size()) {
        // The log only grew: hand the view just the new tail.
        if (logBoxLength_ < text.size())
            view_.appendLogText(text.substr(logBoxLength_));
    } else {
        view_.setLogText(text);
    }
    logBoxHoldsLog_ = true;
    logBoxLength_ = text.size();
    logBoxRewrites_ = state_.DumpString.rewrites();
}

void Form1::setLogBox(const std::string& text)
{
    view_.setLogText(text);
    logBoxHoldsLog_ = false;
}

void Form1::playCue(const char* cueFile)
{
    if (state_.settings.Sounds == "SOUNDON")
        ports_.sound.play(inFolder(ports_.program.folder(), cueFile));
}

void Form1::setControlEnabled(Control control, bool enabled)
{
    view_.setControlEnabled(control, enabled);
}

void Form1::cmdRestart_Click()
{
    if (state_.Ending)
        return;
    state_.Timer1->setEnabled(true);
    state_.Reloading = true;
    for (Control c : {Control::Chart, Control::cmdEdit, Control::cmdTray, Control::chkRemote, Control::cmdRestart})
        setControlEnabled(c, false);
    Form_Load();
}

void Form1::cmdConfig_Click()
{
    if (state_.Ending)
        return;
    state_.Timer1->setEnabled(false);
    ports_.dialogs.showSettingsEditor();
    ports_.events.processPending();
    state_.Timer1->setEnabled(true);
    // The IP Options window saves at once, whatever the editor's own end.
    ipWatcher_->configure(state_.ip);
    if (state_.Reloading) {
        state_.DumpString.clear();
        showLog();
        setRemoteToggle(false);
        if (state_.SequenceRunning)
            state_.ReloadInSequence = true;
        Form_Load();
    }
}

void Form1::cmdEdit_Click()
{
    try {
        openInTextEditorNamed(ports_.launcher, configPath());
    } catch (const Failure& failure) {
        ports_.dialogs.messageBox(failure.message());
    }
}

void Form1::cmdClear_Click()
{
    state_.DumpString.clear();
    showLog();
}

void Form1::Command8_Click()
{
    if (state_.settings.UserCmd.empty())
        return;
    try {
        runNamed(ports_.launcher, state_.settings.UserCmd, WindowStyle::Normal);
    } catch (const Failure& failure) {
        ports_.dialogs.messageBox(failure.message());
    }
}

void Form1::cmdTray_Click()
{
    tray_->cmdTray_Click();
}

void Form1::setRemoteToggle(bool on)
{
    if (on == chkRemoteValue_)
        return;
    chkRemoteValue_ = on;
    view_.setToggleValue(Control::chkRemote, on);
    chkRemote_Click();
}

void Form1::chkRemote_UserSet(bool on)
{
    setRemoteToggle(on);
}

void Form1::chkRemote_Click()
{
    if (chkRemoteValue_) {
        if (!state_.Timer2->enabled())
            remote_->pollStarting();
        state_.Timer2->setEnabled(true);
        setStatus("Waiting for Remote Commands");
    } else {
        setStatus("Remote Commands Disabled");
        state_.Timer2->setEnabled(false);
    }
}

void Form1::Chart_UserSet(bool on)
{
    chartValue_ = on;
}

void Form1::requestEnd()
{
    if (state_.Ending && ending_) {
        supervisor_->killAll();
        return;
    }
    ending_ = true;
    if (!supervisor_->anyToStop())
        finishEnd();
    // Nothing new starts while the kept programs stop; every wait of a
    // sequence under way stands down.
    state_.Ending = true;
    state_.Timer1->setEnabled(false);
    state_.Timer2->setEnabled(false);
    for (Control c : {Control::cmdEdit, Control::cmdRestart, Control::cmdClear, Control::cmdTray, Control::Command8,
                      Control::cmdConfig, Control::chkRemote, Control::Chart})
        setControlEnabled(c, false);
    supervisor_->stopAll([this] { finishEnd(); });
}

void Form1::finishEnd()
{
    metrics_->stop();
    for (ConsoleListener* listener : listeners_)
        listener->ending();
    try {
        tray_->removeIcon();
    } catch (...) {
        // The program ends all the same.
    }
    ports_.program.endNow();
    std::abort(); // endNow never returns
}

void Form1::Form_Unload()
{
    // The tray icon goes first; any failure on the way is dropped and the
    // program ends all the same.
    requestEnd();
}

} // namespace torv

#include "remote/CommandInterface.h"

#include "base/AsciiCase.h"
#include "base/Failure.h"
#include "core/Cues.h"
#include "ports/Files.h"
#include "remote/CommandFile.h"
#include "remote/ResultFile.h"
#include "remote/ResultSignature.h"

namespace torv {

namespace {

// Only the first three characters decide; a shorter command is compared whole.
bool beginsWithDel(const std::string& command)
{
    return equalsIgnoringAsciiCase(std::string_view(command).substr(0, 3), "DEL");
}

constexpr const char* kSignedRequired = "Signed Commands Required";
constexpr const char* kKeyOpenToOthers =
    "REMOTE KEY NOT USED: others may read or change remote.key; commands are refused until only its owner may";
constexpr const char* kKeyUnusable = "REMOTE KEY NOT USED: remote.key is not one line of hex; commands are refused";

// Said once for a command file carried out that cannot be deleted.
const CommandInterface::NotDone kKeptCommand{"COMMAND FILE KEPT", ", it is not carried out again"};

} // namespace

CommandInterface::CommandInterface(ConsoleState& state, ConsoleActions& console, const Ports& ports)
    : state_(state), console_(console), ports_(ports), stamps_(ports.program.folder()),
      undeleted_(ports.program.folder())
{
}

void CommandInterface::loadKey()
{
    key_ = loadRemoteKey(ports_.program.folder());
    if (key_.state == noted_)
        return;
    noted_ = key_.state;
    if (key_.state == KeyState::OpenToOthers || key_.state == KeyState::Unusable) {
        if (key_.state == KeyState::OpenToOthers)
            console_.appendLog(kKeyOpenToOthers);
        else if (!key_.cryptoMissing.empty())
            console_.appendLog("REMOTE KEY NOT USED: the crypto module is " + key_.cryptoMissing +
                               "; commands are refused");
        else
            console_.appendLog(kKeyUnusable);
        console_.showLog();
    }
}

void CommandInterface::pollStarting()
{
    loadKey();
    if (key_.state == KeyState::None)
        return;
    console_.appendLog(kSignedRequired);
    checkStampRecord();
    console_.showLog();
}

void CommandInterface::checkStampRecord()
{
    if (key_.state != KeyState::Usable || stampChecked_)
        return;
    stampChecked_ = true;
    try {
        stamps_.rewrite();
    } catch (const Failure& failure) {
        const std::string line = std::string(kStampFileName) + " cannot be written (" + failure.text() +
                                 "): signed commands will be refused";
        console_.appendLog(line);
        console_.needsAttention("WARNING: " + line);
    }
}

void CommandInterface::signResult(const std::string& resultBytes)
{
    // The sequence's own result file was just written.
    answerFailed_ = false;
    loadKey();
    writeResultSignature(state_.settings.ExchangeDir, key_, resultBytes, 0, ports_.clock.utcMilliseconds());
}

void CommandInterface::Command_Interface()
{
    // No command is taken while the console ends.
    if (state_.Ending)
        return;
    console_.notify(consoleEvent(Event::RemotePoll));
    try {
        poll();
    } catch (const Failure&) {
        // Idle folders, unreadable files and unlaunchable commands end up
        // here; the command file stays for the next poll.
    }
}

void CommandInterface::poll()
{
    // The folder is read afresh each time, so a reload takes effect at once.
    path_ = commandFilePath(state_.settings.ExchangeDir);
    try {
        command_ = readCommand(path_);
    } catch (const Failure& failure) {
        // A missing folder reads like a missing file: only a folder that is
        // there tells that the file is gone.
        if (failure.code == Failure::fileNotFound().code && folderExists(state_.settings.ExchangeDir))
            undeleted_.forget();
        throw;
    }
    // Carried out already; it only could not be removed.
    if (undeleted_.is(command_.fingerprint))
        return;
    const std::string& command = command_.field;
    if (command.empty())
        return;

    stamp_ = 0;
    loadKey();
    if (key_.state != KeyState::None) {
        const Admission admission =
            admitSignedCommand(key_, command, command_.nextLine, ports_.clock.utcMilliseconds(), stamps_);
        if (admission.refusal != Refusal::None) {
            refuse(admission);
            return;
        }
        stamp_ = admission.stamp;
    }

    if (command == "off") {
        acknowledgeShutdown(Event::Shutdown, "System Shutdown Acknowledged at:", {"SHUTDOWN NOT CARRIED OUT", ""},
                            ports_.program.shutdownCommand());
    } else if (command == "restart") {
        acknowledgeShutdown(Event::Restart, "System Restart Acknowledged at:", {"RESTART NOT CARRIED OUT", ""},
                            ports_.program.restartCommand());
    } else if (command == "report") {
        console_.playCue(cue::Relay);
        const std::string line = console_.appendStamped("Report Requested and Generated at:");
        console_.showLog();
        tell(Event::Command, "report", line);
        answer();
    } else if (beginsWithDel(command)) {
        // The refused text itself is never logged.
        const std::string line = console_.appendStamped("HOSTILE COMMAND DEL:");
        console_.showLog();
        tell(Event::CommandRefused, "refused", line);
        answer();
    } else {
        // Launched first: a command that cannot start leaves no trace.
        ports_.launcher.run(command, WindowStyle::Normal);
        const std::string line = console_.appendStamped("Executing Remote Command:" + command + " at:");
        console_.showLog();
        tell(Event::Command, "launch", line);
        answer();
        console_.playCue(cue::Command);
    }
}

void CommandInterface::refuse(const Admission& admission)
{
    // Refused like "DEL": its text is never logged, only why.
    const std::string line = console_.appendStamped("REFUSED UNSIGNED COMMAND (" + refusalReason(admission) + ") at:");
    console_.showLog();
    tell(Event::CommandRefused, "refused", line, refusalWord(admission.refusal));
    answer();
}

void CommandInterface::tell(Event event, const char* kind, const std::string& line, const std::string& reason)
{
    ConsoleEvent e = consoleEvent(event, 0, {}, line);
    e.reason = reason;
    e.kind = kind;
    console_.notify(e);
}

void CommandInterface::acknowledgeShutdown(Event event, const std::string& entry, const NotDone& notDone,
                                           const std::string& commandLine)
{
    console_.playCue(cue::Shutdown);
    const std::string line = console_.appendStamped(entry, true);
    console_.showLog();
    const bool removed = removeCommandFile(notDone);
    writeAnswer();
    // A file left behind would be met again after the reboot.
    if (!removed)
        return;
    // Told before the system is asked: it may not give the alert time after.
    tell(event, eventWord(event), line);
    if (hold_ && hold_([this, commandLine](bool) { shutdownAfterHold(commandLine); })) {
        state_.Timer2->setEnabled(false);
        return;
    }
    // A failed launch leaves the acknowledgement in place and the poll on.
    ports_.launcher.run(commandLine, WindowStyle::Minimized);
    state_.Timer2->setEnabled(false);
}

void CommandInterface::shutdownAfterHold(const std::string& commandLine)
{
    try {
        ports_.launcher.run(commandLine, WindowStyle::Minimized);
    } catch (const Failure&) {
        // As when nothing was held: the acknowledgement stays and the poll
        // goes on; what was stopped for the shutdown stays stopped.
        console_.appendLog("Stopped Tasks Stay Stopped");
        console_.showLog();
        state_.Timer2->setEnabled(true);
    }
}

void CommandInterface::writeAnswer()
{
    const char* file = "Result.txt";
    try {
        const std::string bytes = writeResultFile(state_.settings.ExchangeDir, state_.DumpString.text());
        file = "Result.txt.sig";
        writeResultSignature(state_.settings.ExchangeDir, key_, bytes, stamp_, ports_.clock.utcMilliseconds());
        answerFailed_ = false;
    } catch (const Failure& failure) {
        // The command is done and its file gone: a failed answer must not
        // end the poll as if nothing had happened. Said once, not at every
        // command, until an answer gets through again.
        if (answerFailed_)
            return;
        answerFailed_ = true;
        const std::string line = std::string(file) + " Not Written: " + failure.text();
        console_.appendLog(line);
        console_.showLog();
        console_.needsAttention("WARNING: " + line);
    }
}

void CommandInterface::answer()
{
    removeCommandFile(kKeptCommand);
    writeAnswer();
}

bool CommandInterface::removeCommandFile(const NotDone& notDone)
{
    try {
        deleteCommandFile(path_);
        return true;
    } catch (const Failure& failure) {
        // Gone already (someone else removed it): nothing to remember.
        if (failure.code == Failure::fileNotFound().code)
            return true;
        try {
            undeleted_.remember(command_.fingerprint);
        } catch (const Failure&) {
            // Remembered until the program ends, at least.
        }
        console_.appendStamped(notDone.first + ": command.txt could not be deleted (" + failure.text() + ")" +
                               notDone.second + " at:");
        console_.showLog();
        return false;
    }
}

} // namespace torv

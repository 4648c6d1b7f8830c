#include "remote/CommandInterface.h"

#include "core/Cues.h"
#include "platform/Failure.h"
#include "remote/CommandFile.h"
#include "remote/ResultFile.h"
#include "remote/ResultSignature.h"

#include <algorithm>
#include <cctype>

namespace torv {

namespace {

// Only the first three characters decide; a shorter command is compared whole.
bool beginsWithDel(const std::string& command)
{
    std::string head = command.substr(0, 3);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return head == "DEL";
}

constexpr const char* kSignedRequired = "Signed Commands Required";
constexpr const char* kKeyOpenToOthers =
    "REMOTE KEY NOT USED: others may read or change remote.key; commands are refused until only its owner may";
constexpr const char* kKeyUnusable = "REMOTE KEY NOT USED: remote.key is not one line of hex; commands are refused";

} // namespace

CommandInterface::CommandInterface(ConsoleState& state, ConsoleActions& console, const Ports& ports)
    : state_(state), console_(console), ports_(ports), stamps_(ports.program.folder())
{
}

void CommandInterface::loadKey()
{
    key_ = loadRemoteKey(ports_.program.folder());
    if (key_.state == noted_)
        return;
    noted_ = key_.state;
    if (key_.state == KeyState::OpenToOthers || key_.state == KeyState::Unusable) {
        console_.appendLog(key_.state == KeyState::OpenToOthers ? kKeyOpenToOthers : kKeyUnusable);
        console_.showLog();
    }
}

void CommandInterface::pollStarting()
{
    loadKey();
    if (key_.state == KeyState::None)
        return;
    console_.appendLog(kSignedRequired);
    console_.showLog();
}

void CommandInterface::signResult(const std::string& log)
{
    loadKey();
    writeResultSignature(state_.settings.ExchangeDir, key_, resultFileText(log), 0);
}

void CommandInterface::Command_Interface()
{
    try {
        poll();
    } catch (const Failure&) {
        // Idle folders, unlaunchable commands and unwritable results all end
        // up here; the command file stays for the next poll.
    }
}

void CommandInterface::poll()
{
    // The folder is read afresh each time, so a reload takes effect at once.
    const std::string path = commandFilePath(state_.settings.ExchangeDir);
    const CommandText text = readCommand(path);
    const std::string& command = text.field;
    if (command.empty())
        return;

    stamp_ = 0;
    loadKey();
    if (key_.state != KeyState::None) {
        const auto stamp = admitSignedCommand(key_, command, text.nextLine, ports_.clock.utcMilliseconds(), stamps_);
        if (!stamp) {
            // Refused like "DEL": its text is never logged.
            console_.appendStamped("REFUSED UNSIGNED COMMAND at:");
            console_.showLog();
            answer(path);
            return;
        }
        stamp_ = *stamp;
    }

    if (command == "off") {
        acknowledgeShutdown(path, "System Shutdown Acknowledged at:", ports_.program.shutdownCommand());
    } else if (command == "restart") {
        acknowledgeShutdown(path, "System Restart Acknowledged at:", ports_.program.restartCommand());
    } else if (command == "report") {
        console_.playCue(cue::Relay);
        console_.appendStamped("Report Requested and Generated at:");
        console_.showLog();
        answer(path);
    } else if (beginsWithDel(command)) {
        // The refused text itself is never logged.
        console_.appendStamped("HOSTILE COMMAND DEL:");
        console_.showLog();
        answer(path);
    } else {
        // Launched first: a command that cannot start leaves no trace.
        ports_.launcher.run(command, WindowStyle::Normal);
        console_.appendStamped("Executing Remote Command:" + command + " at:");
        console_.showLog();
        writeResultFile(state_.settings.ExchangeDir, state_.DumpString.text());
        writeResultSignature(state_.settings.ExchangeDir, key_, resultFileText(state_.DumpString.text()), stamp_);
        console_.playCue(cue::Command);
        deleteCommandFile(path);
    }
}

void CommandInterface::acknowledgeShutdown(const std::string& commandFile, const std::string& entry,
                                           const std::string& commandLine)
{
    console_.playCue(cue::Shutdown);
    console_.appendStamped(entry, true);
    console_.showLog();
    answer(commandFile);
    // A failed launch leaves the acknowledgement in place and the poll on.
    ports_.launcher.run(commandLine, WindowStyle::Minimized);
    state_.Timer2->setEnabled(false);
}

void CommandInterface::answer(const std::string& commandFile)
{
    writeResultFile(state_.settings.ExchangeDir, state_.DumpString.text());
    writeResultSignature(state_.settings.ExchangeDir, key_, resultFileText(state_.DumpString.text()), stamp_);
    deleteCommandFile(commandFile);
}

} // namespace torv

#include "remote/CommandInterface.h"

#include "core/Cues.h"
#include "console/Form1.h"
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

CommandInterface::CommandInterface(Form1& form) : f_(form), stamps_(form.ports.program.folder())
{
}

void CommandInterface::loadKey()
{
    key_ = loadRemoteKey(f_.ports.program.folder());
    if (key_.state == noted_)
        return;
    noted_ = key_.state;
    if (key_.state == KeyState::OpenToOthers || key_.state == KeyState::Unusable) {
        f_.appendLog(key_.state == KeyState::OpenToOthers ? kKeyOpenToOthers : kKeyUnusable);
        f_.showLog();
    }
}

void CommandInterface::pollStarting()
{
    loadKey();
    if (key_.state == KeyState::None)
        return;
    f_.appendLog(kSignedRequired);
    f_.showLog();
}

void CommandInterface::signResult(const std::string& log)
{
    loadKey();
    writeResultSignature(f_.settings.ExchangeDir, key_, resultFileText(log), 0);
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
    const std::string path = commandFilePath(f_.settings.ExchangeDir);
    const CommandText text = readCommand(path);
    const std::string& command = text.field;
    if (command.empty())
        return;

    stamp_ = 0;
    loadKey();
    if (key_.state != KeyState::None) {
        const auto stamp = admitSignedCommand(key_, command, text.nextLine, f_.ports.clock.utcMilliseconds(), stamps_);
        if (!stamp) {
            // Refused like "DEL": its text is never logged.
            f_.appendStamped("REFUSED UNSIGNED COMMAND at:");
            f_.showLog();
            answer(path);
            return;
        }
        stamp_ = *stamp;
    }

    if (command == "off") {
        acknowledgeShutdown(path, "System Shutdown Acknowledged at:", f_.ports.program.shutdownCommand());
    } else if (command == "restart") {
        acknowledgeShutdown(path, "System Restart Acknowledged at:", f_.ports.program.restartCommand());
    } else if (command == "report") {
        f_.playCue(cue::Relay);
        f_.appendStamped("Report Requested and Generated at:");
        f_.showLog();
        answer(path);
    } else if (beginsWithDel(command)) {
        // The refused text itself is never logged.
        f_.appendStamped("HOSTILE COMMAND DEL:");
        f_.showLog();
        answer(path);
    } else {
        // Launched first: a command that cannot start leaves no trace.
        f_.ports.launcher.run(command, WindowStyle::Normal);
        f_.appendStamped("Executing Remote Command:" + command + " at:");
        f_.showLog();
        writeResultFile(f_.settings.ExchangeDir, f_.DumpString.text());
        writeResultSignature(f_.settings.ExchangeDir, key_, resultFileText(f_.DumpString.text()), stamp_);
        f_.playCue(cue::Command);
        deleteCommandFile(path);
    }
}

void CommandInterface::acknowledgeShutdown(const std::string& commandFile, const std::string& entry,
                                           const std::string& commandLine)
{
    f_.playCue(cue::Shutdown);
    f_.appendStamped(entry, true);
    f_.showLog();
    answer(commandFile);
    // A failed launch leaves the acknowledgement in place and the poll on.
    f_.ports.launcher.run(commandLine, WindowStyle::Minimized);
    f_.Timer2->setEnabled(false);
}

void CommandInterface::answer(const std::string& commandFile)
{
    writeResultFile(f_.settings.ExchangeDir, f_.DumpString.text());
    writeResultSignature(f_.settings.ExchangeDir, key_, resultFileText(f_.DumpString.text()), stamp_);
    deleteCommandFile(commandFile);
}

} // namespace torv

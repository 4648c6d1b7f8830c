#include "remote/CommandInterface.h"

#include "console/Cues.h"
#include "console/Form1.h"
#include "platform/Failure.h"
#include "remote/CommandFile.h"
#include "remote/ResultFile.h"

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

} // namespace

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
    const std::string command = readCommandField(path);
    if (command.empty())
        return;

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
    deleteCommandFile(commandFile);
}

} // namespace torv

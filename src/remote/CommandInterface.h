#pragma once
// The remote poll: one look at the command file in the exchange folder per
// tick of Timer2, carrying out what it asks and answering in the result file.
// With a key in the program folder, only signed commands are obeyed.
#include "core/ConsoleActions.h"
#include "core/ConsoleState.h"
#include "core/Ports.h"
#include "remote/CommandFile.h"
#include "remote/CommandStamp.h"
#include "remote/RemoteKey.h"
#include "remote/UndeletedCommand.h"

#include <functional>
#include <string>
#include <utility>

namespace torv {

class CommandInterface {
public:
    CommandInterface(ConsoleState& state, ConsoleActions& console, const Ports& ports);

    // One poll. A failure before the command is carried out ends it
    // silently; the command file then stays and is met again at the next
    // poll. Once carried out, a command is never carried out again: its file
    // is removed (or remembered) before the answer is written.
    void Command_Interface();

    // The poll is being switched on: says in the log when signed commands
    // are required, or why none can be obeyed; the first time with a key,
    // also when the last stamp cannot be recorded.
    void pollStarting();

    // Result.txt.sig, answering no command, for the result file whose bytes
    // someone else than the poll (the end of a sequence) just wrote, when a
    // usable key is set. Throws the write's Failure.
    void signResult(const std::string& resultBytes);

    // What runs before `off` and `restart` start the system's command: it
    // returns false when it has nothing to do, else it calls `then` once it
    // is done and the command may start.
    using ShutdownHold = std::function<bool(std::function<void(bool)> then)>;
    void holdShutdown(ShutdownHold hold) { hold_ = std::move(hold); }

    // The log entry of a command file that could not be deleted: what comes
    // before the reason and what after it.
    using NotDone = std::pair<std::string, std::string>;

private:
    void poll();
    void refuse(const Admission& admission);
    // "off" and "restart": acknowledge, answer, then hand over to the system
    // once the command file is gone.
    // event: Shutdown or Restart, told to the listeners once it is ordered.
    void acknowledgeShutdown(Event event, const std::string& entry, const NotDone& notDone,
                             const std::string& commandLine);
    // The system's command, once the kept programs were stopped for it.
    void shutdownAfterHold(const std::string& commandLine);
    // Tells the listeners of a command, with the log line just written.
    void tell(Event event, const char* kind, const std::string& line, const std::string& reason = {});
    // Writes the result file and its signature. A failure is logged (once
    // until a write succeeds again), never thrown.
    void writeAnswer();
    // removeCommandFile, then writeAnswer.
    void answer();
    // Deletes the command file just carried out; true when it is gone. One
    // that cannot be deleted is remembered and the log says so, with
    // notDone as its entry.
    bool removeCommandFile(const NotDone& notDone);
    // Writes remote.stamp back once, and warns when it cannot be written.
    void checkStampRecord();
    // Loads the key as it is now and says once in the log when it cannot be used.
    void loadKey();

    ConsoleState& state_;
    ConsoleActions& console_;
    const Ports& ports_;
    RemoteKey key_;
    StampRecord stamps_;
    UndeletedCommand undeleted_;
    // The command file being handled, and the stamp of the signed command it
    // holds (0 when it holds none that was verified).
    std::string path_;
    CommandText command_;
    long long stamp_ = 0;
    KeyState noted_ = KeyState::None;
    bool stampChecked_ = false;
    // The last answer could not be written, and the log said so.
    bool answerFailed_ = false;
    ShutdownHold hold_;
};

} // namespace torv

#pragma once
// The remote poll: one look at the command file in the exchange folder per
// tick of Timer2, carrying out what it asks and answering in the result file.
// With a key in the program folder, only signed commands are obeyed.
#include "core/ConsoleActions.h"
#include "core/ConsoleState.h"
#include "core/Ports.h"
#include "remote/CommandStamp.h"
#include "remote/RemoteKey.h"

#include <string>

namespace torv {

class CommandInterface {
public:
    CommandInterface(ConsoleState& state, ConsoleActions& console, const Ports& ports);

    // One poll. Any failure ends it silently; the command file then stays and
    // is met again at the next poll.
    void Command_Interface();

    // The poll is being switched on: says in the log when signed commands
    // are required, or why none can be obeyed.
    void pollStarting();

    // Result.txt.sig, at stamp 0, for the result file just written from log
    // by someone else than the poll (the end of a sequence), when a usable
    // key is set. Throws the write's Failure.
    void signResult(const std::string& log);

private:
    void poll();
    // "off" and "restart": acknowledge, answer, then hand over to the system.
    void acknowledgeShutdown(const std::string& commandFile, const std::string& entry, const std::string& commandLine);
    // Writes the result file and its signature, then deletes the command file.
    void answer(const std::string& commandFile);
    // Loads the key as it is now and says once in the log when it cannot be used.
    void loadKey();

    ConsoleState& state_;
    ConsoleActions& console_;
    const Ports& ports_;
    RemoteKey key_;
    StampRecord stamps_;
    long long stamp_ = 0; // of the signed command being answered
    KeyState noted_ = KeyState::None;
};

} // namespace torv

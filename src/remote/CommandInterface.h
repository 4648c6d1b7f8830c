#pragma once
// The remote poll: one look at the command file in the exchange folder per
// tick of Timer2, carrying out what it asks and answering in the result file.
#include <string>

namespace torv {

class Form1;

class CommandInterface {
public:
    explicit CommandInterface(Form1& form) : f_(form) {}

    // One poll. Any failure ends it silently; the command file then stays and
    // is met again at the next poll.
    void Command_Interface();

private:
    void poll();
    // "off" and "restart": acknowledge, answer, then hand over to the system.
    void acknowledgeShutdown(const std::string& commandFile, const std::string& entry, const std::string& commandLine);
    // Writes the result file, then deletes the command file.
    void answer(const std::string& commandFile);

    Form1& f_;
};

} // namespace torv

#pragma once
// The command line. Without options TORV opens its window as it always has.
#include <optional>
#include <string>

namespace torv {

struct Options {
    bool headless = false;                   // --headless: no window, tray, chart or editor; no display needed
    bool newKey = false;                     // --new-key: write remote.key for signed commands
    std::optional<std::string> sign;         // --sign COMMAND: print a signed command file
    std::optional<std::string> verifyAnswer; // --verify-answer FOLDER: check Result.txt there
    std::optional<std::string> expect;       // --expect STAMP: the command stamp --verify-answer requires
    std::optional<std::string> keyFile;      // --key-file F: the key --sign and --verify-answer use
    bool checkConfig = false;                // --check-config [FOLDER|FILE]: print the settings as JSON
    bool writeConfig = false;                // --write-config [FOLDER]: write the settings from JSON
    std::optional<std::string> configTarget; // the folder or file of the two above (default: the program's)
    std::optional<std::string> service;      // --service install|uninstall|start|stop|status
    std::optional<std::string> serviceName;  // --name NAME: which service of this program folder
    std::optional<std::string> serviceUser;  // --user-name USER: the account the service runs as
    bool serviceManual = false;              // --manual: the service starts only when asked
    std::optional<std::string> serviceRun;   // --service-run NAME: run by the service manager as NAME
};

// Reads argv into options. Returns the status to end with at once: 0 after
// --help or --version (printed on standard output), 2 after a wrong option or
// argument (said on standard error); nothing when the program is to run.
// Needs no application object and no display.
std::optional<int> parseOptions(int argc, char** argv, Options& options);

} // namespace torv

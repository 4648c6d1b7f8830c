// The program's entry: reads the command line, then runs the console in its
// window (from the window module) or without one.
#include "app/ConfigToolOptions.h"
#include "app/Headless.h"
#include "app/KeyToolOptions.h"
#include "app/Options.h"
#include "app/ServiceToolOptions.h"
#include "app/WindowModule.h"

#include "ports/StandardStreams.h"

#ifdef _WIN32
#include "platform/win32/ConsoleBreak.h"

#include <cstdlib>
#include <cstring>
#endif

int main(int argc, char** argv)
{
#ifdef _WIN32
    // A console stopping a held program politely (hidden; before any console
    // or Qt object, as the break needs this process's console to itself).
    if (argc == 3 && std::strcmp(argv[1], "--send-break") == 0)
        return torv::sendConsoleBreak(std::strtoul(argv[2], nullptr, 10));
#endif
    // Only with options: a window tied to the console it was started from
    // would end when that console is closed.
    if (argc > 1)
        torv::attachToStartingConsole();
    torv::Options options;
    if (const auto status = torv::parseOptions(argc, argv, options))
        return *status;
    if (const auto status = torv::runKeyTool(options, argc, argv))
        return *status;
    if (const auto status = torv::runConfigTool(options, argc, argv))
        return *status;
    if (const auto status = torv::runServiceTool(options))
        return *status;
    if (options.serviceRun)
        return torv::runHeadless(argc, argv, *options.serviceRun);
    if (options.headless)
        return torv::runHeadless(argc, argv);
    return torv::windowmodule::runWindow(argc, argv);
}

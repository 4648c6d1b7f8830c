#pragma once
#include <string>

namespace torv {

// The console without a window, on a QCoreApplication: no display, no X
// connection. Returns the exit status (see headless/HeadlessConsole.h).
// With a service name: run by the system's service manager as that service
// (torv --service-run NAME), its lines in the service's log, no cue played.
int runHeadless(int argc, char** argv, const std::string& serviceName = {});

} // namespace torv

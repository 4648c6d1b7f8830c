#pragma once

namespace torv {

// The console without a window, on a QCoreApplication: no display, no X
// connection. Returns the exit status (see headless/HeadlessConsole.h).
int runHeadless(int argc, char** argv);

} // namespace torv

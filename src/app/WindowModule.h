#pragma once
// The window module (torv-window.so / .dll beside the executable): the console
// window with every GUI library behind it. Loaded only when it is needed, so a
// headless console stays small and starts fast.
#include "ports/Sound.h"

#include <memory>
#include <string>

namespace torv::windowmodule {

// Runs the windowed console (its own QApplication and loop) and returns its
// exit status. A module that cannot be loaded is said on standard error: 1.
int runWindow(int argc, char** argv);

// A cue player from the module; nothing when the module cannot be loaded.
std::unique_ptr<Sound> newSound(std::string& why);

} // namespace torv::windowmodule

#pragma once
// --service install|uninstall|start|stop|status [--name NAME] [--user-name USER]:
// this program folder's console as a system service.
#include "app/Options.h"

#include <optional>

namespace torv {

// Runs the service action the options ask for and returns its exit status;
// nothing when the console is to start as usual. Needs no display.
std::optional<int> runServiceTool(const Options& options);

} // namespace torv

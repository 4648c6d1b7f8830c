#pragma once
// The configuration tools on the command line: --check-config [FOLDER|FILE]
// and --write-config [FOLDER] (the JSON on standard input).
#include "app/Options.h"

#include <optional>

namespace torv {

// Runs a configuration tool when the options ask for one and returns its exit
// code; nothing when the console is to start as usual. Needs no display.
std::optional<int> runConfigTool(const Options& options, int argc, char** argv);

} // namespace torv

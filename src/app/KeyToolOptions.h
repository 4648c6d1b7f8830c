#pragma once
// The key tools on the command line: --new-key, --sign COMMAND,
// --verify-answer FOLDER, --key-file F.
#include "app/Options.h"

#include <optional>

namespace torv {

// Runs a key tool when the options ask for one and returns its exit code;
// nothing when the console is to start as usual. Needs no display.
std::optional<int> runKeyTool(const Options& options, int argc, char** argv);

} // namespace torv

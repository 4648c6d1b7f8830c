#pragma once
// The key tools' command-line options: --new-key, --sign COMMAND, --key-file F.

#include <optional>

namespace torv {

// Runs a key tool when the command line asks for one and returns its exit
// code; nothing when the console is to start as usual. Needs no display.
std::optional<int> runKeyToolOptions(int argc, char** argv);

} // namespace torv

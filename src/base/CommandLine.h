#pragma once
// Splits a command line into words as a shell would for the simple case:
// blanks separate words, double quotes group (and are removed). Nothing else is
// special: ';', '|', '&&', '$(...)' and back quotes are plain characters, since
// no shell ever sees the line.
#include <string>
#include <vector>

namespace torv {

// A line holding a NUL byte cannot be passed to any program whole (every
// operating system cuts it there), so it is refused as a whole with
// Failure 5 rather than launched cut short. Every launcher calls this first.
void checkCommandLine(const std::string& line);

// The words of a checked line (throws as checkCommandLine does).
std::vector<std::string> splitCommandLine(const std::string& line);

} // namespace torv

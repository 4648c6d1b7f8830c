#pragma once
// Splits a command line into words as a shell would for the simple case:
// blanks separate words, double quotes group (and are removed). Nothing else is
// special: ';', '|', '&&', '$(...)' and back quotes are plain characters, since
// no shell ever sees the line.
#include <string>
#include <vector>

namespace torv {

std::vector<std::string> splitCommandLine(const std::string& line);

} // namespace torv

#pragma once
// The program's command-line arguments as UTF-8 text, the program's name first.
#include <string>
#include <vector>

namespace torv {

std::vector<std::string> programArguments(int argc, char** argv);

} // namespace torv

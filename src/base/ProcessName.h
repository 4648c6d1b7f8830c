#pragma once
// Which running process a process check means by its name.
#include <string>

namespace torv {

// Whether a process answers to `name`. A name with a '/' is the path of its
// executable. Any other name is its command name, of which the system keeps
// only the first 15 bytes (so a longer name is cut to compare), or the file
// name of its executable: "python3" finds the program started by that name
// although the link leads to python3.11.
bool processAnswersTo(const std::string& name, const std::string& commandName, const std::string& executable);

} // namespace torv

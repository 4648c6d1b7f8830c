#pragma once
#include <string>

namespace torv {

// The folder of the running executable, found without an application object.
std::string executableFolder();

} // namespace torv

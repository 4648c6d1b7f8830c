#pragma once
#include <string>

namespace torv {

// The platform's path separator ('\\' on Windows, '/' on POSIX).
char pathSeparator();

// A folder followed by a separator and a name; nothing else is added or removed.
inline std::string inFolder(const std::string& folder, const std::string& name)
{
    return folder + pathSeparator() + name;
}

} // namespace torv

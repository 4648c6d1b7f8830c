#pragma once
#include <string>

namespace torv {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// A folder followed by a separator and a name; nothing else is added or removed.
inline std::string inFolder(const std::string& folder, const std::string& name)
{
    return folder + kSeparator + name;
}

} // namespace torv

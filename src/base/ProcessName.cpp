#include "base/ProcessName.h"

namespace torv {

namespace {

constexpr std::size_t kCommandNameBytes = 15;

} // namespace

bool processAnswersTo(const std::string& name, const std::string& commandName, const std::string& executable)
{
    if (name.empty())
        return false;
    if (name.find('/') != std::string::npos)
        return executable == name;
    const auto slash = executable.rfind('/');
    const std::string fileName = slash == std::string::npos ? executable : executable.substr(slash + 1);
    return name.substr(0, kCommandNameBytes) == commandName || name == fileName;
}

} // namespace torv

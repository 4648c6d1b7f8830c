#include "editor/EditorRules.h"

namespace torv {

bool timeTextAccepted(const std::string& text)
{
    const double v = leadingNumber(text);
    return v >= 1 && v <= 60;
}

OpenFileRequest programFileRequest()
{
    OpenFileRequest request;
    request.title = "Open";
    // Scripts first, executables preselected: here an executable has no
    // extension, so its pattern is every file.
    request.filters = {"Shell Scripts(*.sh)", "Executable Files (*)"};
    request.selectedFilter = 1;
    return request;
}

std::optional<std::string> commandLineForPath(const std::string& path)
{
    if (path.find('"') != std::string::npos)
        return std::nullopt;
    if (path.find_first_of(" \t\r\n") == std::string::npos)
        return path;
    return "\"" + path + "\"";
}

} // namespace torv

#include "editor/EditorRules.h"

namespace torv {

bool timeTextAccepted(const std::string& text)
{
    const double v = leadingNumber(text);
    return v >= 1 && v <= 60;
}

OpenFileRequest programFileRequest(const Program& program)
{
    OpenFileRequest request;
    request.title = "Open";
    const ProgramFileFilters filters = program.programFileFilters();
    request.filters = filters.filters;
    request.selectedFilter = filters.selected;
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

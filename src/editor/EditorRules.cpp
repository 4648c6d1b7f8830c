#include "editor/EditorRules.h"

namespace torv {

double leadingNumber(const std::string& text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    double value = 0;
    bool digits = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        digits = true;
        // Anything above 60 is refused, so a capped value decides the same.
        if (value < 1e9)
            value = value * 10 + (text[i] - '0');
    }
    if (i < text.size() && text[i] == '.') {
        double scale = 0.1;
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            digits = true;
            value += (text[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (!digits)
        return 0;
    return negative ? -value : value;
}

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

#include "editor/CheckForm.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace torv {

namespace {

std::string trimmed(std::string_view s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos)
        return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t\r") - first + 1));
}

std::string joinedLines(const std::vector<Check>& checks)
{
    std::string out;
    for (const Check& check : checks)
        out += (out.empty() ? "" : "\n") + check.text;
    return out;
}

// The checks of one box, or the message for its first bad line.
std::optional<std::string> readLines(const std::string& text, const char* boxName, std::vector<Check>& checks)
{
    int lineNumber = 0;
    for (std::size_t start = 0; start <= text.size(); ++lineNumber) {
        const auto end = std::min(text.find('\n', start), text.size());
        const std::string line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        if (line.empty())
            continue;
        std::string why;
        auto check = parseCheck(line, why);
        if (!check)
            return std::string(boxName) + ", line " + std::to_string(lineNumber + 1) + ": \"" + line + "\": " + why;
        checks.push_back(*check);
    }
    return std::nullopt;
}

} // namespace

CheckFormText checkFormOf(const TaskChecks& checks)
{
    return {joinedLines(checks.before), joinedLines(checks.ready), std::to_string(checks.timeout), checks.onTimeout,
            checks.caFile};
}

std::variant<TaskChecks, std::string> readCheckForm(const CheckFormText& form)
{
    TaskChecks checks;
    if (auto refused = readLines(form.before, "Before The Launch", checks.before))
        return *refused;
    if (auto refused = readLines(form.ready, "Ready After The Launch", checks.ready))
        return *refused;
    const std::string timeout = trimmed(form.timeout);
    const bool digits = !timeout.empty() && timeout.size() <= 6 &&
                        std::all_of(timeout.begin(), timeout.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || std::stoi(timeout) > kLongestCheckTimeout)
        return "Time Limit: \"" + timeout + "\": expected seconds from 0 to " + std::to_string(kLongestCheckTimeout) +
               " (0: no limit)";
    checks.timeout = std::stoi(timeout);
    checks.onTimeout = form.onTimeout;
    checks.caFile = trimmed(form.caFile);
    if (checks.caFile.find('\n') != std::string::npos)
        return "CA File: one path on one line";
    return checks;
}

} // namespace torv

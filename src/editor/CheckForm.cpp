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

std::optional<int> wholeNumber(const std::string& text, int least, int most)
{
    const bool digits = !text.empty() && text.size() <= 6 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || std::stoi(text) < least || std::stoi(text) > most)
        return std::nullopt;
    return std::stoi(text);
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

const std::array<const char*, std::size(kKeepNumberKeys)> kKeepNumberCaptions = {
    "First Delay", "Longest Delay", "Reset After", "Restart Limit", "Stop Time-Out"};

CheckFormText checkFormOf(const TaskChecks& checks)
{
    CheckFormText form;
    form.before = joinedLines(checks.before);
    form.ready = joinedLines(checks.ready);
    form.timeout = std::to_string(checks.timeout);
    form.onTimeout = checks.onTimeout;
    form.caFile = checks.caFile;
    form.interval = checks.interval > 0 ? intervalText(checks.interval) : std::string();
    form.restart = checks.keep.restart;
    form.stop = checks.keep.stop;
    for (std::size_t i = 0; i < std::size(kKeepNumberKeys); ++i)
        form.keepNumbers[i] = std::to_string(checks.keep.*kKeepNumberKeys[i].field);
    return form;
}

std::variant<TaskChecks, std::string> readCheckForm(const CheckFormText& form)
{
    TaskChecks checks;
    if (auto refused = readLines(form.before, "Before The Launch", checks.before))
        return *refused;
    if (auto refused = readLines(form.ready, "Ready After The Launch", checks.ready))
        return *refused;
    const std::string timeout = trimmed(form.timeout);
    const auto seconds = wholeNumber(timeout, 0, kLongestCheckTimeout);
    if (!seconds)
        return "Time Limit: \"" + timeout + "\": expected seconds from 0 to " + std::to_string(kLongestCheckTimeout) +
               " (0: no limit)";
    checks.timeout = *seconds;
    checks.onTimeout = form.onTimeout;
    checks.caFile = trimmed(form.caFile);
    if (checks.caFile.find('\n') != std::string::npos)
        return "CA File: one path on one line";
    if (const std::string interval = trimmed(form.interval); !interval.empty()) {
        const auto seconds = intervalOf(interval);
        if (!seconds)
            return "Check Every: \"" + interval + "\": " + kIntervalRange + " (empty: each kind's own pace)";
        checks.interval = *seconds;
    }
    checks.keep.restart = form.restart;
    checks.keep.stop = form.stop;
    for (std::size_t i = 0; i < std::size(kKeepNumberKeys); ++i) {
        const KeepNumberKey& key = kKeepNumberKeys[i];
        const std::string text = trimmed(form.keepNumbers[i]);
        const auto number = wholeNumber(text, key.least, key.most);
        if (!number)
            return std::string(kKeepNumberCaptions[i]) + ": \"" + text + "\": " + keepNumberRange(key);
        checks.keep.*key.field = *number;
    }
    return checks;
}

} // namespace torv

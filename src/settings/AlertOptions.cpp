#include "settings/AlertOptions.h"

#include "base/AsciiCase.h"

#include <algorithm>
#include <filesystem>

namespace torv {

namespace {

// Seconds from 1 to the longest limit, or 0.
int timeoutSeconds(const std::string& text)
{
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return 0;
    const int n = std::stoi(text);
    return n <= kLongestAlertTimeout ? n : 0;
}

} // namespace

AlertEventChoice parseAlertEvents(const std::string& text, std::vector<std::string>& unknown)
{
    AlertEventChoice choice;
    choice.failures = false;
    bool any = false;
    std::size_t from = 0;
    while (from <= text.size()) {
        const std::size_t comma = std::min(text.find(',', from), text.size());
        std::string word = text.substr(from, comma - from);
        word.erase(0, word.find_first_not_of(" \t"));
        word.erase(word.find_last_not_of(" \t") + 1);
        word = asciiLower(word);
        const std::optional<Event> event = eventNamed(word);
        if (word == "failure") {
            choice.failures = any = true;
        } else if (word == "all") {
            choice.all = any = true;
        } else if (event && isAlertEvent(*event)) {
            choice.named.push_back(*event);
            any = true;
        } else if (!word.empty()) {
            unknown.push_back(word);
        }
        from = comma + 1;
    }
    if (!any)
        choice.failures = true;
    return choice;
}

OptionsSectionRule alertSectionRule()
{
    return {"alert", {{"command"}, {"events"}, {"timeout"}}};
}

OptionsSectionRule metricsSectionRule()
{
    return {"metrics", {{"file"}}};
}

AlertOptions readAlertOptions(OptionsFile& file)
{
    AlertOptions options;
    const OptionsSection* section = file.find("alert");
    if (!section)
        return options;
    if (const OptionsValue* events = section->last("events")) {
        std::vector<std::string> unknown;
        options.events = parseAlertEvents(events->value, unknown);
        for (const std::string& word : unknown)
            file.report(events->line,
                        "events = " + events->value + ": \"" + word + "\" is no event word; it is ignored");
    }
    if (const OptionsValue* timeout = section->last("timeout")) {
        if (const int seconds = timeoutSeconds(timeout->value); seconds > 0)
            options.timeoutSeconds = seconds;
        else
            file.report(timeout->line, "timeout = " + timeout->value + ": expected seconds from 1 to " +
                                           std::to_string(kLongestAlertTimeout));
    }
    const OptionsValue* command = section->last("command");
    if (!command || command->value.empty()) {
        file.report(command ? command->line : section->line, "[alert] has no command; no alert is sent");
        return options;
    }
    options.command = command->value;
    return options;
}

MetricsOptions readMetricsOptions(OptionsFile& file)
{
    MetricsOptions options;
    const OptionsSection* section = file.find("metrics");
    if (!section)
        return options;
    const OptionsValue* path = section->last("file");
    if (!path || path->value.empty()) {
        file.report(path ? path->line : section->line, "[metrics] has no file; no metrics are written");
        return options;
    }
    // A service's working folder is nobody's choice: a relative name would
    // land wherever the console happened to be started.
    if (!std::filesystem::path(path->value).is_absolute()) {
        file.report(path->line, "file = " + path->value + ": expected a full path; no metrics are written");
        return options;
    }
    options.file = path->value;
    return options;
}

} // namespace torv

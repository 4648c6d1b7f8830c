#include "settings/AlertOptions.h"

#include <filesystem>

namespace torv {

OptionsSectionRule alertSectionRule()
{
    return {"alert", {{"command"}, {"events"}}};
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
        options.events = events->value;
        options.eventsLine = events->line;
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

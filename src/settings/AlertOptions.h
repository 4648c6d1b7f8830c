#pragma once
// The `[alert]` and `[metrics]` sections of torv.ini: the command started for
// the console's events, and the file its figures are written to for a
// Prometheus exporter's textfile collector. Both are off without their section.
#include "settings/OptionsFile.h"

#include <string>

namespace torv {

struct AlertOptions {
    std::string command;            // empty: no alerts
    std::string events = "failure"; // "failure", "all" or a list of event words
    int eventsLine = 0;             // where `events` stands, for the report of a word it does not know
};

struct MetricsOptions {
    std::string file; // a full path; empty: no metrics file
};

OptionsSectionRule alertSectionRule();
OptionsSectionRule metricsSectionRule();

// The values of the sections; a section without its one needed value, or a
// metrics file that is not a full path, is reported and leaves the feature off.
AlertOptions readAlertOptions(OptionsFile& file);
MetricsOptions readMetricsOptions(OptionsFile& file);

} // namespace torv

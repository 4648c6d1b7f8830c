#pragma once
// The `[alert]` and `[metrics]` sections of torv.ini: the command started for
// the console's events, and the file its figures are written to for a
// Prometheus exporter's textfile collector. Both are off without their section.
#include "settings/OptionsFile.h"

#include <string>

namespace torv {

// How long an alert command may run before it is ended, in seconds.
constexpr int kDefaultAlertTimeout = 30;
constexpr int kLongestAlertTimeout = 600;

struct AlertOptions {
    std::string command;            // empty: no alerts
    std::string events = "failure"; // "failure", "all" or a list of event words
    int timeoutSeconds = kDefaultAlertTimeout;
};

struct MetricsOptions {
    std::string file; // a full path; empty: no metrics file
};

// Whether a word is one of the events the alert command can be started for,
// and whether it is a failure (sent with `events = failure`, the default).
bool isAlertEvent(const std::string& event);
bool isFailureEvent(const std::string& event);

OptionsSectionRule alertSectionRule();
OptionsSectionRule metricsSectionRule();

// The values of the sections; a section without its one needed value, or a
// metrics file that is not a full path, is reported and leaves the feature off;
// an unknown word in `events` and a `timeout` that is no whole number of
// seconds from 1 to 600 are reported and ignored.
AlertOptions readAlertOptions(OptionsFile& file);
MetricsOptions readMetricsOptions(OptionsFile& file);

} // namespace torv

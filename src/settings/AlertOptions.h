#pragma once
// The `[alert]` and `[metrics]` sections of torv.ini: the command started for
// the console's events, and the file its figures are written to for a
// Prometheus exporter's textfile collector. Both are off without their section.
#include "base/EventWords.h"
#include "settings/OptionsFile.h"

#include <string>
#include <vector>

namespace torv {

// How long an alert command may run before it is ended, in seconds.
constexpr int kDefaultAlertTimeout = 30;
constexpr int kLongestAlertTimeout = 600;

// Which events `events` asks for: "failure", "all" or a list of event words
// separated by commas, in any case.
struct AlertEventChoice {
    bool failures = true;
    bool all = false;
    std::vector<Event> named;
};

struct AlertOptions {
    std::string command; // empty: no alerts
    AlertEventChoice events;
    int timeoutSeconds = kDefaultAlertTimeout;
};

struct MetricsOptions {
    std::string file; // a full path; empty: no metrics file
};

// An `events` value; the words that name nothing are added to `unknown`.
// Nothing usable asked for gives the default, so that a typo never silences
// the failures.
AlertEventChoice parseAlertEvents(const std::string& text, std::vector<std::string>& unknown);

OptionsSectionRule alertSectionRule();
OptionsSectionRule metricsSectionRule();

// The values of the sections; a section without its one needed value, or a
// metrics file that is not a full path, is reported and leaves the feature off;
// an unknown word in `events` and a `timeout` that is no whole number of
// seconds from 1 to 600 are reported and ignored.
AlertOptions readAlertOptions(OptionsFile& file);
MetricsOptions readMetricsOptions(OptionsFile& file);

} // namespace torv

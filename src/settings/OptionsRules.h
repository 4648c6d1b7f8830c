#pragma once
// Every section torv.ini may hold, for its one reader: each feature adds its
// rule here, so that start-up, a reload and the configuration check all know
// the same sections and report the same lines.
#include "settings/AlertOptions.h"
#include "settings/IpOptions.h"
#include "settings/OptionsFile.h"

#include <vector>

namespace torv {

std::vector<OptionsSectionRule> knownOptionsRules();

// The features' sections beside the tasks' checks.
struct FeatureOptions {
    AlertOptions alert;
    MetricsOptions metrics;
    IpOptions ip;
};

// Reads every feature's section, reporting its bad values into the file's
// problems: start-up and the configuration check report the same lines.
FeatureOptions readFeatureOptions(OptionsFile& file);

} // namespace torv

#pragma once
// Every section torv.ini may hold, for its one reader: each feature adds its
// rule here, so that start-up, a reload and the configuration check all know
// the same sections and report the same lines.
#include "settings/OptionsFile.h"

#include <vector>

namespace torv {

std::vector<OptionsSectionRule> knownOptionsRules();

} // namespace torv

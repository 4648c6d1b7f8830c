#include "settings/OptionsRules.h"

#include "settings/AlertOptions.h"
#include "settings/IpOptions.h"
#include "settings/TaskChecks.h"

namespace torv {

std::vector<OptionsSectionRule> knownOptionsRules()
{
    return {taskSectionRule(), alertSectionRule(), metricsSectionRule(), ipSectionRule()};
}

} // namespace torv

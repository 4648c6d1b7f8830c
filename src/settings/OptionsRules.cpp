#include "settings/OptionsRules.h"

#include "settings/IpOptions.h"
#include "settings/TaskChecks.h"

namespace torv {

std::vector<OptionsSectionRule> knownOptionsRules()
{
    return {taskSectionRule(), ipSectionRule()};
}

} // namespace torv

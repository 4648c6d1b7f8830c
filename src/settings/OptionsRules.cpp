#include "settings/OptionsRules.h"

#include "settings/TaskChecks.h"

namespace torv {

std::vector<OptionsSectionRule> knownOptionsRules()
{
    return {taskSectionRule()};
}

} // namespace torv

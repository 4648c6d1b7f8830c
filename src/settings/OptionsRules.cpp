#include "settings/OptionsRules.h"

#include "settings/TaskChecks.h"

namespace torv {

std::vector<OptionsSectionRule> knownOptionsRules()
{
    return {taskSectionRule(), alertSectionRule(), metricsSectionRule(), ipSectionRule()};
}

FeatureOptions readFeatureOptions(OptionsFile& file)
{
    FeatureOptions options;
    options.alert = readAlertOptions(file);
    options.metrics = readMetricsOptions(file);
    options.ip = readIpOptions(file);
    return options;
}

} // namespace torv

#include "app/ServiceToolOptions.h"

#include "platform/ExecutableFolder.h"
#include "platform/ServiceControl.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace torv {

namespace {

// A name every service manager takes as it is, in a unit's name as well.
bool usableName(const std::string& name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (unsigned char c : name)
        if (c >= 0x80 || !(std::isalnum(c) || c == '-' || c == '_' || c == '.'))
            return false;
    return true;
}

int wrongUse(const std::string& why)
{
    std::fprintf(stderr, "torv: %s\nTry 'torv --help'.\n", why.c_str());
    return servicestatus::WrongUse;
}

} // namespace

std::optional<int> runServiceTool(const Options& options)
{
    if (!options.service) {
        if (options.serviceName || options.serviceUser)
            return wrongUse("--name and --user-name go with --service.");
        return std::nullopt;
    }
    const std::string& action = *options.service;
    ServiceTarget target{options.serviceName.value_or("TORV"), options.serviceUser.value_or(""), executableFolder()};
    if (!usableName(target.name))
        return wrongUse("a service name is 1 to 64 letters, digits, '-', '_' or '.', not '" + target.name + "'.");
    if (options.serviceUser && action != "install")
        return wrongUse("--user-name goes with --service install.");
    if (action == "install")
        return installService(target);
    if (action == "uninstall")
        return uninstallService(target);
    if (action == "start")
        return startService(target);
    if (action == "stop")
        return stopService(target);
    if (action != "status")
        return wrongUse("--service takes install, uninstall, start, stop or status, not '" + action + "'.");
    const std::optional<ServiceState> state = serviceState(target);
    if (!state)
        return servicestatus::Failed;
    switch (*state) {
    case ServiceState::Running:
        std::printf("running\n");
        return servicestatus::Ok;
    case ServiceState::Stopped:
        std::printf("stopped\n");
        return servicestatus::Stopped;
    case ServiceState::NotInstalled:
        break;
    }
    std::printf("not-installed\n");
    return servicestatus::NotInstalled;
}

} // namespace torv

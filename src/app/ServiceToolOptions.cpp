#include "app/ServiceToolOptions.h"

#include "ports/ExecutableFolder.h"
#include "ports/ServiceControl.h"

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

std::string nameRule(const std::string& name)
{
    return "a service name is 1 to 64 letters, digits, '-', '_' or '.', not '" + name + "'.";
}

int wrongUse(const std::string& why)
{
    std::fprintf(stderr, "torv: %s\nTry 'torv --help'.\n", why.c_str());
    return servicestatus::WrongUse;
}

} // namespace

std::optional<int> runServiceTool(const Options& options)
{
    if (options.serviceRun) {
        if (options.service || options.serviceName || options.serviceUser || options.serviceManual)
            return wrongUse("--service-run takes no other service option.");
        if (!usableName(*options.serviceRun))
            return wrongUse(nameRule(*options.serviceRun));
        return std::nullopt; // the console runs, as that service
    }
    if (!options.service) {
        if (options.serviceName || options.serviceUser || options.serviceManual)
            return wrongUse("--name, --user-name and --manual go with --service.");
        return std::nullopt;
    }
    const std::string& action = *options.service;
    ServiceTarget target{options.serviceName.value_or("TORV"), options.serviceUser.value_or(""), executableFolder(),
                         options.serviceManual};
    if (!usableName(target.name))
        return wrongUse(nameRule(target.name));
    if ((options.serviceUser || options.serviceManual) && action != "install")
        return wrongUse("--user-name and --manual go with --service install.");
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
    case ServiceState::StartPending:
        std::printf("start-pending\n");
        return servicestatus::Stopped;
    case ServiceState::StopPending:
        std::printf("stop-pending\n");
        return servicestatus::Stopped;
    case ServiceState::NotInstalled:
        break;
    }
    std::printf("not-installed\n");
    return servicestatus::NotInstalled;
}

} // namespace torv

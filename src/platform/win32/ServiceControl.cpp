// The Service Control Manager is not spoken to yet: every action says so.
#include "platform/ServiceControl.h"

#include <cstdio>

namespace torv {

namespace {
int notHere()
{
    std::fprintf(stderr, "torv: --service is not available on Windows yet\n");
    return servicestatus::Failed;
}
} // namespace

int installService(const ServiceTarget&)
{
    return notHere();
}
int uninstallService(const ServiceTarget&)
{
    return notHere();
}
int startService(const ServiceTarget&)
{
    return notHere();
}
int stopService(const ServiceTarget&)
{
    return notHere();
}
std::optional<ServiceState> serviceState(const ServiceTarget&)
{
    notHere();
    return std::nullopt;
}

} // namespace torv

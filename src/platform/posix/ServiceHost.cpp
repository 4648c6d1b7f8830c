// systemd starts the console as torv --headless and hears it through the
// ServiceManager port; there is nothing to connect to.
#include "ports/ServiceHost.h"

namespace torv {

std::unique_ptr<ServiceHost> connectServiceHost(const std::string&, std::string& why)
{
    why = "--service-run is for the Windows service manager; systemd runs torv --headless (torv --service install)";
    return nullptr;
}

} // namespace torv

// No service manager speaks to the console on Windows yet.
#include "ports/ServiceManager.h"

namespace torv {

std::unique_ptr<ServiceManager> makeServiceManager()
{
    return std::make_unique<NullServiceManager>();
}

} // namespace torv

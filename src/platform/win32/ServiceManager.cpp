// No service manager speaks to the console on Windows yet.
#include "platform/ServiceManager.h"

namespace torv {

std::unique_ptr<ServiceManager> makeServiceManager()
{
    return std::make_unique<NullServiceManager>();
}

} // namespace torv

#include "platform/posix/SingleInstance.h"

#include <cstdint>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace torv {

SingleInstanceLock::~SingleInstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool SingleInstanceLock::anotherRunning(const std::string& programFolder)
{
    if (fd_ >= 0)
        return false; // this process already holds it (a reload)
    std::uint64_t h = 1469598103934665603ULL;
    for (unsigned char c : programFolder)
        h = (h ^ c) * 1099511628211ULL;
    char name[64];
    std::snprintf(name, sizeof name, "/torv-%u-%016llx.lock", static_cast<unsigned>(::getuid()),
                  static_cast<unsigned long long>(h));
    int fd = ::open((lockDir_ + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false; // no lock possible: better to run than to refuse
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return true;
    }
    fd_ = fd;
    return false;
}

} // namespace torv

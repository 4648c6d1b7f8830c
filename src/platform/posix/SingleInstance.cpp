#include "platform/posix/SingleInstance.h"

#include <cerrno>
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
    // The folder is the one thing every copy started from it shares, whoever
    // runs it: a lock file under a per-user or per-session folder would let an
    // ssh session and a service both run. Close-on-exec, so a launched task
    // never inherits the lock and outlives us holding it.
    int fd = ::open(programFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false; // no lock possible: better to run than to refuse
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        // Only a lock held elsewhere means another copy; a file system that
        // cannot lock at all must not keep every copy from starting.
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held;
    }
    fd_ = fd;
    return false;
}

} // namespace torv

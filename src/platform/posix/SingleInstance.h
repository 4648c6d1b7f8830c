#pragma once
#include <string>

namespace torv {

// One copy per program folder, whatever the user or the environment: an
// advisory lock on the folder itself. The lock dies with the process, so a
// crash never blocks a later start.
class SingleInstanceLock {
public:
    SingleInstanceLock() = default;
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;
    // True when another process holds the lock for this folder.
    bool anotherRunning(const std::string& programFolder);

private:
    int fd_ = -1;
};

} // namespace torv

#pragma once
#include <string>

namespace torv {

// One copy per program folder: an advisory lock on a file whose name is keyed
// on the folder. The lock dies with the process, so a crash never blocks a
// later start.
class SingleInstanceLock {
public:
    explicit SingleInstanceLock(std::string lockDir) : lockDir_(std::move(lockDir)) {}
    ~SingleInstanceLock();
    // True when another process holds the lock for this folder.
    bool anotherRunning(const std::string& programFolder);

private:
    std::string lockDir_;
    int fd_ = -1;
};

} // namespace torv

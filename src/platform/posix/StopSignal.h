#pragma once
#include "ports/StopSignal.h"

#include <memory>

class QSocketNotifier;

namespace torv {

// SIGTERM and SIGINT write a byte into a pipe whose read end the event loop
// watches; the handler then runs from the loop. Also ignores SIGPIPE: a
// journal that went away must not kill the console.
class PosixStopSignal : public StopSignal {
public:
    PosixStopSignal();
    ~PosixStopSignal() override;
    void onStop(std::function<void()> handler) override;

private:
    std::unique_ptr<QSocketNotifier> notifier_;
    std::function<void()> handler_;
};

} // namespace torv

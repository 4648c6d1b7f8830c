#pragma once
#include <functional>

namespace torv {

// The system asks the program to end (SIGTERM or SIGINT here; a console
// control event on Windows). The handler runs later on the event loop's
// thread, never inside the signal, so no file write is cut in half.
class StopSignal {
public:
    virtual ~StopSignal() = default;
    virtual void onStop(std::function<void()> handler) = 0;
};

} // namespace torv

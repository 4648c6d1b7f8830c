#pragma once
#include "ports/StopSignal.h"

namespace torv {

// A console control event (Ctrl+C, Ctrl+Break, the console closing, log-off,
// shut-down) handed to the Qt event loop: the handler runs there, never on the
// system's control thread. One at a time per process.
class Win32StopSignal : public StopSignal {
public:
    Win32StopSignal();
    ~Win32StopSignal() override;
    void onStop(std::function<void()> handler) override;
};

} // namespace torv

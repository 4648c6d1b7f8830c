#pragma once
#include "platform/Launcher.h"

namespace torv {

// CreateProcessW with the command line as given: Windows programs parse their
// own command lines, so nothing is split or quoted here and no cmd.exe runs in
// between. The new process is never waited for; its handles close at once.
class Win32Launcher : public Launcher {
public:
    void run(const std::string& commandLine, WindowStyle style) override;
    void openInTextEditor(const std::string& path) override;
};

// The console's failure for a system error of CreateProcessW: not found 53,
// access denied 70, any other error its own number and the system's text.
struct Failure;
Failure launchFailure(unsigned long systemError);

} // namespace torv

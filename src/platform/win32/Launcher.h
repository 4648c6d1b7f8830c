#pragma once
#include "ports/Launcher.h"

namespace torv {

// CreateProcessW with the command line as given: Windows programs parse their
// own command lines, so nothing is split or quoted here and no cmd.exe runs in
// between. run() never waits for the new process (its handles close at once);
// start() keeps the process handle, which the event loop given to onEnd()
// waits on, and puts the process in a job object and a console process group
// of its own.
class Win32Launcher : public Launcher {
public:
    void run(const std::string& commandLine, WindowStyle style) override;
    // The environment block is the console's own with `extra` merged in.
    void runWithEnvironment(const std::string& commandLine, WindowStyle style, const ExtraEnvironment& extra) override;
    // Keeps the process handle; stop() posts WM_CLOSE to its top-level windows
    // and sends a console break to its group; end() terminates the job.
    std::unique_ptr<RunningProcess> start(const std::string& commandLine, WindowStyle style) override;
    // CreateProcessW with a UTF-16 environment block: the console's own
    // variables, the extra ones in place of any of the same name.
    std::unique_ptr<RunningProcess> startWithEnvironment(const std::string& commandLine,
                                                         const ExtraEnvironment& extra) override;
    void openInTextEditor(const std::string& path) override;
};

// The console's failure for a system error of CreateProcessW: not found 53,
// access denied 70, any other error its own number and the system's text.
struct Failure;
Failure launchFailure(unsigned long systemError);

} // namespace torv

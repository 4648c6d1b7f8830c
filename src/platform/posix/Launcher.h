#pragma once
#include "ports/Launcher.h"

#include <string>
#include <vector>

namespace torv {

// Starts programs with no shell in between, each in a session of its own,
// leaving no zombie: a program run and forgotten is still collected when it
// ends.
class PosixLauncher : public Launcher {
public:
    void run(const std::string& commandLine, WindowStyle style) override;
    void runWithEnvironment(const std::string& commandLine, WindowStyle style, const ExtraEnvironment& extra) override;
    // Held as holdChild() says, watched by the event loop given to onEnd().
    std::unique_ptr<RunningProcess> start(const std::string& commandLine, WindowStyle style) override;
    std::unique_ptr<RunningProcess> startWithEnvironment(const std::string& commandLine,
                                                         const ExtraEnvironment& extra) override;
    // xdg-open with the path as a single word: a terminal editor would open nowhere.
    void openInTextEditor(const std::string& path) override;
};

// Starts argv in a session of its own, left to the waiter to collect, with
// the console's environment and `extra`; throws Failure 53 (missing), 70 (not
// permitted) or 75.
void spawnDetached(const std::vector<std::string>& argv, const ExtraEnvironment& extra = {});

} // namespace torv

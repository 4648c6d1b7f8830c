#pragma once
#include <string>

namespace torv {

enum class WindowStyle { Normal = 1, Minimized = 2 };

// Starts a command line as a new process and never waits for it. Throws a
// Failure when the process cannot be started (program missing: 53).
class Launcher {
public:
    virtual ~Launcher() = default;
    virtual void run(const std::string& commandLine, WindowStyle style) = 0;
    // Opens a file in the desktop's text editor, the path passed as one word.
    virtual void openInTextEditor(const std::string& path) = 0;
};

} // namespace torv

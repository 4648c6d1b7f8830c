#pragma once
#include "platform/Failure.h"

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
    // A failure names in its commandLine the command that was tried.
    virtual void openInTextEditor(const std::string& path) = 0;
};

// Runs a command line; a failure to start it names the command line.
inline void runNamed(Launcher& launcher, const std::string& commandLine, WindowStyle style)
{
    try {
        launcher.run(commandLine, style);
    } catch (Failure& failure) {
        if (failure.commandLine.empty())
            failure.commandLine = commandLine;
        throw;
    }
}

// Opens a file in the text editor; a failure names at least the file.
inline void openInTextEditorNamed(Launcher& launcher, const std::string& path)
{
    try {
        launcher.openInTextEditor(path);
    } catch (Failure& failure) {
        if (failure.commandLine.empty())
            failure.commandLine = path;
        throw;
    }
}

} // namespace torv

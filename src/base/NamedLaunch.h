#pragma once
// A launch whose failure names what was launched, so that a message box can
// say what to mend.
#include "base/Failure.h"
#include "ports/Launcher.h"

#include <memory>
#include <string>

namespace torv {

// Calls start(); a Failure that names no command line gets `what`.
template <typename Start> auto namingFailure(const std::string& what, Start&& start) -> decltype(start())
{
    try {
        return start();
    } catch (Failure& failure) {
        if (failure.commandLine.empty())
            failure.commandLine = what;
        throw;
    }
}

inline void runNamed(Launcher& launcher, const std::string& commandLine, WindowStyle style)
{
    namingFailure(commandLine, [&] { launcher.run(commandLine, style); });
}

inline std::unique_ptr<RunningProcess> startNamed(Launcher& launcher, const std::string& commandLine, WindowStyle style)
{
    return namingFailure(commandLine, [&] { return launcher.start(commandLine, style); });
}

// A failure names at least the file.
inline void openInTextEditorNamed(Launcher& launcher, const std::string& path)
{
    namingFailure(path, [&] { launcher.openInTextEditor(path); });
}

} // namespace torv

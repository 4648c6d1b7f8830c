#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace torv {

struct Version {
    int major = 0, minor = 0, revision = 0;
};

// The open-file dialog's filters for picking a program to launch, in the
// "Label (*.ext)" form, and the entry it opens with.
struct ProgramFileFilters {
    std::vector<std::string> filters;
    std::size_t selected = 0;
};

class Program {
public:
    virtual ~Program() = default;
    // The program's folder, without a trailing separator except at the root.
    virtual std::string folder() const = 0;
    // The first run's remote folder: the drive root of the program's folder on
    // Windows ("C:\"), the user's home folder elsewhere ("/" is root's alone).
    virtual std::string driveRoot() const = 0;
    virtual Version version() const = 0;
    virtual std::string fileDescription() const = 0;
    // Environment lookup; the name is matched without regard to case.
    virtual std::optional<std::string> environment(const std::string& name) const = 0;
    // The machine's name, as an alert tells it; empty when it has none.
    virtual std::string hostName() const = 0;
    // The system's command lines that shut the machine down and restart it.
    virtual std::string shutdownCommand() const = 0;
    virtual std::string restartCommand() const = 0;
    // What the system launches: its scripts and its executables.
    virtual ProgramFileFilters programFileFilters() const = 0;
    // True when another copy started from the same folder already runs.
    virtual bool anotherInstanceRunning() = 0;
    // Ends the program at once; does not return.
    [[noreturn]] virtual void endNow() = 0;
};

} // namespace torv

#include "platform/posix/Launcher.h"
#include "platform/posix/SpawnAttributes.h"

#include "base/CommandLine.h"
#include "base/Failure.h"
#include "platform/posix/ErrnoFailure.h"
#include "platform/posix/HeldChild.h"

#include <spawn.h>
#include <vector>

extern char** environ;

namespace torv {

namespace {

// "NAME=value" strings: the console's environment without the names given,
// then the ones given.
std::vector<std::string> environmentWith(const ExtraEnvironment& extra)
{
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& [key, value] : extra)
            replaced = replaced || key == name;
        if (!replaced)
            entries.push_back(entry);
    }
    for (const auto& [key, value] : extra)
        entries.push_back(key + "=" + value);
    return entries;
}

// Straight from the console, in a session of its own (so its pid names its
// process group too), with the signals a fresh program expects: none blocked,
// none ignored. No copy of the whole console is forked first, so a launch
// costs the same however large the console has grown and keeps to its
// schedule. Held until it ends, so it is never left as our zombie.
std::unique_ptr<RunningProcess> spawnHeld(const std::vector<std::string>& args, const ExtraEnvironment& extra)
{
    if (args.empty() || args[0].empty())
        throw Failure::fileNotFound();
    std::vector<char*> argv = argvOf(args);
    const std::vector<std::string> entries = extra.empty() ? std::vector<std::string>() : environmentWith(extra);
    std::vector<char*> envp = argvOf(entries);
    posix_spawnattr_t attr;
    initFreshSignals(attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int err = ::posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), extra.empty() ? environ : envp.data());
    posix_spawnattr_destroy(&attr);
    if (err != 0)
        throw failureForErrno(err);
    return holdChild(pid);
}

} // namespace

void spawnDetached(const std::vector<std::string>& args, const ExtraEnvironment& extra)
{
    // Dropped at once: the waiter collects the program when it ends.
    spawnHeld(args, extra);
}

void PosixLauncher::run(const std::string& commandLine, WindowStyle)
{
    // Window styles have no meaning for X11 programs started this way.
    spawnDetached(splitCommandLine(commandLine));
}

void PosixLauncher::runWithEnvironment(const std::string& commandLine, WindowStyle, const ExtraEnvironment& extra)
{
    spawnDetached(splitCommandLine(commandLine), extra);
}

std::unique_ptr<RunningProcess> PosixLauncher::start(const std::string& commandLine, WindowStyle)
{
    return spawnHeld(splitCommandLine(commandLine), {});
}

std::unique_ptr<RunningProcess> PosixLauncher::startWithEnvironment(const std::string& commandLine,
                                                                    const ExtraEnvironment& extra)
{
    return spawnHeld(splitCommandLine(commandLine), extra);
}

void PosixLauncher::openInTextEditor(const std::string& path)
{
    try {
        spawnDetached({"xdg-open", path});
    } catch (Failure& failure) {
        failure.commandLine = "xdg-open \"" + path + "\"";
        throw;
    }
}

} // namespace torv

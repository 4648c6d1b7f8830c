#include "platform/posix/Launcher.h"
#include "platform/posix/SpawnAttributes.h"

#include "base/CommandLine.h"
#include "base/Failure.h"
#include "platform/posix/ErrnoFailure.h"
#include "platform/posix/HeldChild.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
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

} // namespace

void spawnDetached(const std::vector<std::string>& args, const ExtraEnvironment& extra)
{
    if (args.empty() || args[0].empty())
        throw Failure::fileNotFound();
    std::vector<char*> argv = argvOf(args);
    // Made before the fork: the child of a threaded process may not allocate.
    const std::vector<std::string> entries = extra.empty() ? std::vector<std::string>() : environmentWith(extra);
    std::vector<char*> envp = argvOf(entries);
    char* const* childEnvironment = extra.empty() ? environ : envp.data();

    // A middle process starts the program and exits at once, so the program is
    // adopted by init and never left as our zombie; the pipe carries the
    // spawn's result back.
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw Failure::pathFileAccess();
    pid_t middle = ::fork();
    if (middle < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw Failure::pathFileAccess();
    }
    if (middle == 0) {
        ::close(fds[0]);
        ::setsid();
        posix_spawnattr_t attr;
        initFreshSignals(attr, 0);
        pid_t child;
        int err = ::posix_spawnp(&child, argv[0], nullptr, &attr, argv.data(), childEnvironment);
        ssize_t ignored = ::write(fds[1], &err, sizeof err);
        (void)ignored;
        ::_exit(0);
    }
    ::close(fds[1]);
    int err = 0;
    ssize_t n;
    do {
        n = ::read(fds[0], &err, sizeof err);
    } while (n < 0 && errno == EINTR);
    ::close(fds[0]);
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (n != static_cast<ssize_t>(sizeof err))
        throw Failure::pathFileAccess();
    if (err != 0)
        throw failureForErrno(err);
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

namespace {

// Straight from the console, in a session of its own as a detached program
// is (so its pid names its process group too), with the signals a fresh
// program expects: none blocked, none ignored.
std::unique_ptr<RunningProcess> startWatched(const std::string& commandLine, char* const* envp)
{
    const std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty() || args[0].empty())
        throw Failure::fileNotFound();
    std::vector<char*> argv = argvOf(args);
    posix_spawnattr_t attr;
    initFreshSignals(attr, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int err = ::posix_spawnp(&pid, argv[0], nullptr, &attr, argv.data(), envp);
    posix_spawnattr_destroy(&attr);
    if (err != 0)
        throw failureForErrno(err);
    return holdChild(pid);
}

} // namespace

std::unique_ptr<RunningProcess> PosixLauncher::start(const std::string& commandLine, WindowStyle)
{
    return startWatched(commandLine, environ);
}

std::unique_ptr<RunningProcess> PosixLauncher::startWithEnvironment(const std::string& commandLine,
                                                                    const ExtraEnvironment& extra)
{
    const std::vector<std::string> entries = environmentWith(extra);
    std::vector<char*> envp = argvOf(entries);
    return startWatched(commandLine, envp.data());
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

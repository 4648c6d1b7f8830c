#include "platform/posix/Launcher.h"
#include "platform/posix/SpawnAttributes.h"

#include "base/CommandLine.h"
#include "platform/ErrnoFailure.h"
#include "platform/Failure.h"
#include "platform/WatchedProcess.h"

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

// "NAME=value" lines: the console's own, less the names `extra` sets, then `extra`'s.
std::vector<std::string> environmentWith(const ExtraEnvironment& extra)
{
    std::vector<std::string> lines;
    for (char** e = environ; *e; ++e) {
        const std::string line = *e;
        const std::string name = line.substr(0, line.find('='));
        bool replaced = false;
        for (const auto& [n, v] : extra)
            replaced = replaced || n == name;
        if (!replaced)
            lines.push_back(line);
    }
    for (const auto& [name, value] : extra)
        lines.push_back(name + "=" + value);
    return lines;
}

} // namespace

void spawnDetached(const std::vector<std::string>& args, const ExtraEnvironment& extra)
{
    if (args.empty() || args[0].empty())
        throw Failure::fileNotFound();
    std::vector<char*> argv = argvOf(args);
    // Built before the fork: the middle process only spawns and exits.
    const std::vector<std::string> envLines = extra.empty() ? std::vector<std::string>() : environmentWith(extra);
    std::vector<char*> envp = argvOf(envLines);

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
        int err = ::posix_spawnp(&child, argv[0], nullptr, &attr, argv.data(), extra.empty() ? environ : envp.data());
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

std::unique_ptr<RunningProcess> PosixLauncher::start(const std::string& commandLine, WindowStyle)
{
    const std::vector<std::string> args = splitCommandLine(commandLine);
    if (args.empty() || args[0].empty())
        throw Failure::fileNotFound();
    std::vector<char*> argv = argvOf(args);
    // In a session of its own, as a detached program is, with the signals a
    // fresh program expects: none blocked, none ignored.
    posix_spawnattr_t attr;
    initFreshSignals(attr, POSIX_SPAWN_SETSID);
    pid_t child = 0;
    const int err = ::posix_spawnp(&child, argv[0], nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (err != 0)
        throw failureForErrno(err);
    return std::make_unique<WatchedProcess>([child] {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0) {
            if (errno != EINTR)
                return 128; // collected elsewhere: nothing is known of its end
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    });
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

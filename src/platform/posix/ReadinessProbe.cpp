// One readiness try on POSIX: sockets, the web client, the file system, /proc
// and a child process in its own process group.
#include "platform/ProbeTries.h"
#include "platform/posix/SpawnAttributes.h"

#include "base/CommandLine.h"
#include "base/Failure.h"
#include "base/ProcessName.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netdb.h>
#include <poll.h>
#include <spawn.h>
#include <string_view>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace torv {

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineOf(const ProbeTarget& t, int defaultMs)
{
    return Clock::now() + std::chrono::milliseconds(t.limitMs > 0 ? t.limitMs : defaultMs);
}

int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Whether one address accepts a connection before the deadline.
bool connects(const addrinfo& address, Clock::time_point deadline, int& error)
{
    Fd s{::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol)};
    if (s.fd < 0) {
        error = errno;
        return false;
    }
    if (::connect(s.fd, address.ai_addr, address.ai_addrlen) == 0)
        return true;
    if (errno != EINPROGRESS) {
        error = errno;
        return false;
    }
    pollfd p{s.fd, POLLOUT, 0};
    int n;
    do {
        n = ::poll(&p, 1, msLeft(deadline));
    } while (n < 0 && errno == EINTR);
    if (n == 0) {
        error = ETIMEDOUT;
        return false;
    }
    socklen_t length = sizeof error;
    if (n < 0 || ::getsockopt(s.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    return error == 0;
}

} // namespace

namespace probe {

ProbeResult tryTcp(const ProbeTarget& t)
{
    const auto deadline = deadlineOf(t, kNetworkTryMs);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = ::getaddrinfo(t.target.c_str(), t.port.c_str(), &hints, &found); rc != 0)
        return {false, std::string("name not resolved: ") + ::gai_strerror(rc)};
    int error = 0;
    bool ok = false;
    for (const addrinfo* a = found; a && !ok && msLeft(deadline) > 0; a = a->ai_next)
        ok = connects(*a, deadline, error);
    ::freeaddrinfo(found);
    if (ok)
        return {true, {}};
    return {false, error == ETIMEDOUT || error == 0 ? "no answer in time" : std::strerror(error)};
}

ProbeResult tryPath(const ProbeTarget& t)
{
    std::error_code ec;
    if (std::filesystem::exists(t.target, ec))
        return {true, {}};
    return {false, ec && ec != std::errc::no_such_file_or_directory ? ec.message() : "does not exist"};
}

// The path of a process's executable; its first argument where the link
// cannot be read (another user's process, for a console not run as root).
std::string executablePath(const std::string& pid)
{
    std::error_code ec;
    std::string exe = std::filesystem::read_symlink("/proc/" + pid + "/exe", ec).string();
    if (!ec) {
        // A program replaced by an upgrade while it runs is still that program.
        constexpr std::string_view kDeleted = " (deleted)";
        if (exe.ends_with(kDeleted))
            exe.resize(exe.size() - kDeleted.size());
        return exe;
    }
    std::ifstream in("/proc/" + pid + "/cmdline", std::ios::binary);
    std::getline(in, exe, '\0');
    return exe;
}

std::string commandName(const std::string& pid)
{
    std::ifstream in("/proc/" + pid + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

ProbeResult tryProcess(const ProbeTarget& t)
{
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return {false, "the process list cannot be read"};
    // A path may name the executable through a link.
    std::string resolved;
    if (t.target.find('/') != std::string::npos) {
        std::error_code ec;
        resolved = std::filesystem::canonical(t.target, ec).string();
    }
    bool found = false;
    while (const dirent* entry = ::readdir(proc)) {
        const std::string pid = entry->d_name;
        if (pid.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string comm = commandName(pid), exe = executablePath(pid);
        if (processAnswersTo(t.target, comm, exe) || (!resolved.empty() && processAnswersTo(resolved, comm, exe))) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found ? ProbeResult{true, {}} : ProbeResult{false, "no such process"};
}

// Waits for a child to end, up to the deadline; false when it still runs.
// The child is not collected: as a zombie it keeps its pid, and so its
// group's number, from being reused until the group has been ended.
bool waitChild(pid_t pid, Clock::time_point deadline)
{
    // A process descriptor turns the wait into a poll with a time-out; where
    // the kernel has none, the child is looked at every 50 ms.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    bool ended = false;
    while (true) {
        siginfo_t info{};
        const int r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT);
        if ((r == 0 && info.si_pid == pid) || (r < 0 && errno != EINTR)) {
            ended = true;
            break;
        }
        const int left = msLeft(deadline);
        if (left == 0)
            break;
        if (pidfd >= 0) {
            pollfd p{pidfd, POLLIN, 0};
            ::poll(&p, 1, left);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(left, 50)));
        }
    }
    if (pidfd >= 0)
        ::close(pidfd);
    return ended;
}

ProbeResult tryCommand(const ProbeTarget& t)
{
    std::vector<std::string> words;
    try {
        words = splitCommandLine(t.target);
    } catch (const Failure& f) {
        return {false, f.text()};
    }
    if (words.empty())
        return {false, "an empty command line"};
    std::vector<char*> argv = argvOf(words);

    // Its own process group, so that the end of the try ends what it started;
    // no terminal input, and its output kept out of the console's journal.
    posix_spawnattr_t attr;
    initFreshSignals(attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    for (int fd : {0, 1, 2})
        posix_spawn_file_actions_addopen(&files, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    pid_t pid = 0;
    const int err = ::posix_spawnp(&pid, argv[0], &files, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attr);
    if (err != 0)
        return {false, std::string("cannot start: ") + std::strerror(err)};

    // However the try ends, what it left running in its group ends with it:
    // a check's background child must not outlive the try.
    const bool ended = waitChild(pid, deadlineOf(t, kCommandTryMs));
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended)
        return {false, "still running at its time limit; stopped"};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {true, {}};
    if (WIFEXITED(status))
        return {false, "exit status " + std::to_string(WEXITSTATUS(status))};
    return {false, "ended by signal " + std::to_string(WTERMSIG(status))};
}

} // namespace probe

} // namespace torv

// A folder install as a systemd unit, torv-NAME.service, controlled through
// systemctl. The unit folder is /etc/systemd/system unless
// TORV_SYSTEMD_UNIT_DIR names another (tests write into a folder of their own).
#include "ports/ServiceControl.h"

#include "base/Failure.h"
#include "ports/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace torv {

namespace {

std::string unitFolder()
{
    const char* folder = std::getenv("TORV_SYSTEMD_UNIT_DIR");
    return folder && *folder ? folder : "/etc/systemd/system";
}

std::string unitName(const ServiceTarget& target)
{
    return "torv-" + target.name + ".service";
}

std::string unitPath(const ServiceTarget& target)
{
    return unitFolder() + "/" + unitName(target);
}

bool unitThere(const ServiceTarget& target)
{
    std::error_code ec;
    return std::filesystem::exists(unitPath(target), ec);
}

// As sd_booted(): systemd is the running init.
bool systemdRuns()
{
    std::error_code ec;
    return std::filesystem::is_directory("/run/systemd/system", ec);
}

bool hasControlCharacter(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7f)
            return true;
    return false;
}

// A unit's program path: double-quoted, with what systemd would otherwise
// take for a specifier or an escape doubled. (Variables are never expanded
// in the path, so a '$' stays as it is.)
std::string quotedForExec(const std::string& word)
{
    std::string quoted = "\"";
    for (char c : word) {
        if (c == '%')
            quoted += "%%";
        else if (c == '\\' || c == '"')
            quoted += std::string("\\") + c;
        else
            quoted += c;
    }
    return quoted + "\"";
}

std::string unitText(const ServiceTarget& target, const std::string& user)
{
    return "# The TORV console of " + target.programFolder +
           ", without a window.\n"
           "# Written by torv --service install; torv --service uninstall --name " +
           target.name +
           " removes it.\n"
           "[Unit]\n"
           "Description=TORV server command console (" +
           target.name +
           ")\n"
           "Wants=network-online.target\n"
           "After=network-online.target remote-fs.target\n"
           "\n"
           "[Service]\n"
           "# Ready once start-up has read config.ini and torv.ini.\n"
           "Type=notify\n"
           "User=" +
           user +
           "\n"
           "ExecStart=" +
           quotedForExec(target.programFolder + "/torv") +
           " --headless\n"
           "# 2 and 3 need a person; tasks outlive the console, as when its window closes.\n"
           "Restart=on-failure\n"
           "RestartSec=30\n"
           "RestartPreventExitStatus=2 3\n"
           "KillMode=process\n"
           "# Above the sum of the stop-timeouts of the tasks torv.ini stops on exit.\n"
           "TimeoutStopSec=90\n"
           "\n"
           "[Install]\n"
           "WantedBy=multi-user.target\n";
}

// Runs a program found on PATH and waits for it; its standard output into
// `output` when given. -1 when it could not be started.
int run(const std::vector<std::string>& words, std::string* output = nullptr)
{
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    int pipeEnds[2] = {-1, -1};
    if (output && ::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return -1;
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (output)
        posix_spawn_file_actions_adddup2(&files, pipeEnds[1], STDOUT_FILENO);
    pid_t pid = -1;
    const int err = ::posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (output) {
        ::close(pipeEnds[1]);
        char buffer[512];
        ssize_t n;
        while (err == 0 && ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)))
            if (n > 0)
                output->append(buffer, static_cast<size_t>(n));
        ::close(pipeEnds[0]);
    }
    if (err != 0) {
        errno = err;
        return -1;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// systemctl with the words given; says what failed.
bool systemctl(const std::vector<std::string>& words, std::string* output = nullptr)
{
    std::vector<std::string> command{"systemctl"};
    command.insert(command.end(), words.begin(), words.end());
    const int status = run(command, output);
    if (status == 0)
        return true;
    std::string line;
    for (const std::string& w : command)
        line += (line.empty() ? "" : " ") + w;
    if (status < 0)
        std::fprintf(stderr, "torv: %s could not be started: %s\n", line.c_str(), std::strerror(errno));
    else
        std::fprintf(stderr, "torv: %s failed (status %d)\n", line.c_str(), status);
    return false;
}

int notInstalled(const ServiceTarget& target)
{
    std::fprintf(stderr, "torv: %s is not installed (no %s)\n", target.name.c_str(), unitPath(target).c_str());
    return servicestatus::NotInstalled;
}

std::string defaultUser()
{
    if (const char* sudoUser = std::getenv("SUDO_USER"); sudoUser && *sudoUser)
        return sudoUser;
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return entry->pw_name;
    return std::to_string(::geteuid());
}

} // namespace

int installService(const ServiceTarget& target)
{
    const std::string user = target.userName.empty() ? defaultUser() : target.userName;
    if (hasControlCharacter(target.programFolder)) {
        std::fprintf(stderr, "torv: the program folder's name holds a control character, which a unit cannot carry\n");
        return servicestatus::Failed;
    }
    if (user.find_first_of(" %") != std::string::npos || hasControlCharacter(user)) {
        std::fprintf(stderr, "torv: '%s' is no user name a unit can carry\n", user.c_str());
        return servicestatus::WrongUse;
    }
    const std::string folder = unitFolder();
    if (::access(folder.c_str(), W_OK) != 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
        std::fprintf(stderr, "torv: not allowed to write into %s: %s (run it as root, e.g. with sudo)\n",
                     folder.c_str(), std::strerror(errno));
        return servicestatus::NotAllowed;
    }
    const std::string text = unitText(target, user);
    try {
        WriteRules rules;
        rules.permissions = 0644;
        writeFileAtomically(unitPath(target), text, rules);
    } catch (const Failure& failure) {
        std::fprintf(stderr, "torv: %s could not be written: %s\n", unitPath(target).c_str(), failure.text().c_str());
        return servicestatus::Failed;
    }
    std::printf("installed %s: %s (runs as %s)\n", target.name.c_str(), unitPath(target).c_str(), user.c_str());
    if (!systemdRuns()) {
        std::printf("systemd does not run here, so the unit is not enabled. It reads:\n\n%s\n"
                    "Where systemd runs: systemctl daemon-reload && systemctl enable %s\n",
                    text.c_str(), unitName(target).c_str());
        return servicestatus::Ok;
    }
    if (!systemctl({"daemon-reload"}))
        return servicestatus::Failed;
    if (target.manual) {
        std::printf("not enabled (--manual); start it with: torv --service start --name %s\n", target.name.c_str());
        return servicestatus::Ok;
    }
    if (!systemctl({"enable", unitName(target)}))
        return servicestatus::Failed;
    std::printf("enabled %s; start it with: torv --service start --name %s\n", unitName(target).c_str(),
                target.name.c_str());
    return servicestatus::Ok;
}

int uninstallService(const ServiceTarget& target)
{
    if (!unitThere(target))
        return notInstalled(target);
    // Stopped as well: a unit removed under a running service leaves it
    // running with no file to stop it by.
    if (systemdRuns() && !systemctl({"disable", "--now", unitName(target)}))
        return servicestatus::Failed;
    std::error_code ec;
    if (!std::filesystem::remove(unitPath(target), ec) && ec) {
        std::fprintf(stderr, "torv: %s could not be removed: %s\n", unitPath(target).c_str(), ec.message().c_str());
        return ec == std::errc::permission_denied ? servicestatus::NotAllowed : servicestatus::Failed;
    }
    if (systemdRuns() && !systemctl({"daemon-reload"}))
        return servicestatus::Failed;
    std::printf("uninstalled %s\n", target.name.c_str());
    return servicestatus::Ok;
}

namespace {

// "start" returns once the console has said it is ready, or has failed.
int control(const ServiceTarget& target, const char* verb, const char* done)
{
    if (!unitThere(target))
        return notInstalled(target);
    if (!systemctl({verb, unitName(target)}))
        return servicestatus::Failed;
    std::printf("%s %s\n", done, target.name.c_str());
    return servicestatus::Ok;
}

} // namespace

int startService(const ServiceTarget& target)
{
    return control(target, "start", "started");
}

int stopService(const ServiceTarget& target)
{
    return control(target, "stop", "stopped");
}

std::optional<ServiceState> serviceState(const ServiceTarget& target)
{
    if (!unitThere(target))
        return ServiceState::NotInstalled;
    // is-active prints the state and ends with 3 when it is not active; only
    // a systemctl that cannot be run leaves the state unknown.
    std::string state;
    const int status = run({"systemctl", "is-active", unitName(target)}, &state);
    if (status < 0) {
        std::fprintf(stderr, "torv: systemctl could not be started: %s\n", std::strerror(errno));
        return std::nullopt;
    }
    state = state.substr(0, state.find_first_of("\r\n"));
    return state == "active" || state == "reloading" ? ServiceState::Running : ServiceState::Stopped;
}

} // namespace torv

#include "platform/posix/Program.h"

#include "base/AsciiCase.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <pwd.h>
#include <string_view>
#include <unistd.h>

extern char** environ;

namespace torv {

PosixProgram::PosixProgram() : lock_(std::make_unique<SingleInstanceLock>())
{
}

std::string PosixProgram::folder() const
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path())
        return std::filesystem::current_path(ec).string();
    return exe.parent_path().string();
}

std::string PosixProgram::driveRoot() const
{
    // The first run's remote folder. Windows takes the drive root; here "/" is
    // writable by root alone, so an ordinary user would get a failed result
    // write at the end of every sequence: the home folder takes its place.
    const char* home = std::getenv("HOME");
    if (home && *home)
        return home;
    const passwd* user = ::getpwuid(::getuid());
    return user && user->pw_dir && *user->pw_dir ? user->pw_dir : "/";
}

Version PosixProgram::version() const
{
    return {TORV_VERSION_MAJOR, TORV_VERSION_MINOR, TORV_VERSION_PATCH};
}

std::string PosixProgram::fileDescription() const
{
    return "TORV Server Console";
}

std::string PosixProgram::hostName() const
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::optional<std::string> PosixProgram::environment(const std::string& name) const
{
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq && equalsIgnoringAsciiCase(std::string_view(*e, static_cast<size_t>(eq - *e)), name))
            return std::string(eq + 1);
    }
    return std::nullopt;
}

bool PosixProgram::anotherInstanceRunning()
{
    return lock_->anotherRunning(folder());
}

void PosixProgram::endNow()
{
    std::fflush(nullptr);
    // At once: no event loop unwinding, no destructors of a half-finished run.
    ::_exit(0);
}

} // namespace torv

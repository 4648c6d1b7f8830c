#include "platform/qt/QtProgram.h"

#include <QCoreApplication>
#include <QDir>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern char** environ;

namespace torv {

QtProgram::QtProgram()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    lock_ = std::make_unique<SingleInstanceLock>(runtime && *runtime ? runtime : "/tmp");
}

std::string QtProgram::folder() const
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toLocal8Bit().toStdString();
}

std::string QtProgram::driveRoot() const
{
    return "/";
}

Version QtProgram::version() const
{
    return {TORV_VERSION_MAJOR, TORV_VERSION_MINOR, TORV_VERSION_PATCH};
}

std::string QtProgram::fileDescription() const
{
    return "TORV Server Console";
}

std::optional<std::string> QtProgram::environment(const std::string& name) const
{
    for (char** e = environ; e && *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (!eq || static_cast<size_t>(eq - *e) != name.size())
            continue;
        if (strncasecmp(*e, name.c_str(), name.size()) == 0)
            return std::string(eq + 1);
    }
    return std::nullopt;
}

bool QtProgram::anotherInstanceRunning()
{
    return lock_->anotherRunning(folder());
}

void QtProgram::endNow()
{
    std::fflush(nullptr);
    // At once: no event loop unwinding, no destructors of a half-finished run.
    ::_exit(0);
}

} // namespace torv

#include "support/FileTricks.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <malloc.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv::sim {

namespace {

// The immutable attribute stops even root from deleting the file.
struct Immutable : Undo {
    int fd = -1;
    int flags = 0;
    ~Immutable() override
    {
        flags &= ~FS_IMMUTABLE_FL;
        ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        ::close(fd);
    }
};

struct SizeLimit : Undo {
    rlimit saved{};
    void (*oldHandler)(int) = nullptr;
    ~SizeLimit() override
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }
};

} // namespace

std::unique_ptr<Undo> makeUndeletable(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return nullptr;
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0 ||
        (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) != 0)) {
        ::close(fd);
        return nullptr;
    }
    auto undo = std::make_unique<Immutable>();
    undo->fd = fd;
    undo->flags = flags;
    return undo;
}

std::unique_ptr<Undo> limitFileSize(std::size_t bytes)
{
    auto undo = std::make_unique<SizeLimit>();
    getrlimit(RLIMIT_FSIZE, &undo->saved);
    undo->oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lower = undo->saved;
    lower.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &lower);
    return undo;
}

bool plantLink(const std::string& target, const std::string& path)
{
    return ::symlink(target.c_str(), path.c_str()) == 0;
}

bool plantPipe(const std::string& path)
{
    return ::mkfifo(path.c_str(), 0600) == 0;
}

bool plantDevice(const std::string& path)
{
    return ::symlink("/dev/zero", path.c_str()) == 0;
}

namespace {

struct Alarm : Undo {
    ~Alarm() override { ::alarm(0); }
};

} // namespace

std::unique_ptr<Undo> endIfStuck(unsigned seconds)
{
    ::alarm(seconds); // SIGALRM's default action ends the program
    return std::make_unique<Alarm>();
}

bool setMode(const std::string& path, unsigned mode)
{
    return ::chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

int modeOf(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

bool giveToNobody(const std::string& path)
{
    return ::geteuid() == 0 && ::chown(path.c_str(), 65534, 65534) == 0;
}

namespace {

struct TmpdirChange : Undo {
    std::string saved;
    bool had = false;
    ~TmpdirChange() override
    {
        if (had)
            setenv("TMPDIR", saved.c_str(), 1);
        else
            unsetenv("TMPDIR");
    }
};

} // namespace

std::unique_ptr<Undo> tempFoldersInMemory()
{
    if (::access("/dev/shm", W_OK) != 0)
        return nullptr;
    auto undo = std::make_unique<TmpdirChange>();
    if (const char* t = std::getenv("TMPDIR")) {
        undo->saved = t;
        undo->had = true;
    }
    setenv("TMPDIR", "/dev/shm", 1);
    return undo;
}

long long heapInUse()
{
    return static_cast<long long>(mallinfo2().uordblks);
}

} // namespace torv::sim

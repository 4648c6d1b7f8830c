#include "platform/BoundedRead.h"

#include "platform/ErrnoFailure.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace torv {

#ifndef _WIN32

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// A descriptor of a regular file, opened without blocking (a pipe with no
// writer would hold a plain open for ever).
int openRegularFile(const std::string& path, Links links)
{
    struct stat st {};
    // Checked before opening so that no device is ever opened; checked again
    // on the descriptor, since the name may have been swapped in between.
    const int checked = links == Links::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (checked != 0)
        throw failureForErrno(errno);
    if (!S_ISREG(st.st_mode))
        throw Failure::pathFileAccess();
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        throw failureForErrno(errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw Failure::pathFileAccess();
    }
    return fd;
}

} // namespace

std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links)
{
    FdCloser closer{openRegularFile(path, links)};
    std::string text;
    char buf[16384];
    while (text.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - text.size());
        ssize_t n = ::read(closer.fd, buf, want);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure::pathFileAccess();
        if (n == 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

#else

std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = links == Links::Follow ? fs::status(path, ec) : fs::symlink_status(path, ec);
    if (ec || !fs::exists(st))
        throw Failure::fileNotFound();
    if (!fs::is_regular_file(st))
        throw Failure::pathFileAccess();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure::pathFileAccess();
    std::string text;
    char buf[16384];
    while (in && text.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - text.size());
        in.read(buf, static_cast<std::streamsize>(want));
        text.append(buf, static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad())
        throw Failure::pathFileAccess();
    return text;
}

#endif

} // namespace torv

#include "ports/Files.h"

#include "base/Failure.h"
#include "platform/posix/ErrnoFailure.h"
#include "ports/Paths.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv {

namespace {

struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

} // namespace

char pathSeparator()
{
    return '/';
}

std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links)
{
    FileIdentity ignored;
    return readRegularFile(path, maxBytes, links, ignored);
}

std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links, FileIdentity& identity)
{
    struct stat st {};
    // Checked before opening so that no device is ever opened; checked again
    // on the descriptor, since the name may have been swapped in between.
    const int checked = links == Links::Follow ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
    if (checked != 0)
        throw failureForErrno(errno);
    if (!S_ISREG(st.st_mode))
        throw Failure::pathFileAccess();
    // Never blocking: a pipe with no writer would hold a plain open for ever.
    int flags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (links == Links::Refuse)
        flags |= O_NOFOLLOW;
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        throw failureForErrno(errno);
    FdCloser closer{fd};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw Failure::pathFileAccess();
    identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                static_cast<std::uint64_t>(st.st_size),
                static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
    // Grown as it is read, so a small file costs no more than its size.
    std::string text;
    char buf[16384];
    while (text.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - text.size());
        const ssize_t n = ::read(fd, buf, want);
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

void removeFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0)
        throw failureForErrno(errno);
}

bool folderExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool fileMissing(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) != 0 && failureForErrno(errno).code == Failure::fileNotFound().code;
}

} // namespace torv

namespace torv {

// Text files here are UTF-8; bytes that are not are kept as they are.
std::string decodeNonUtf8Text(std::string_view bytes, TextEncoding& found)
{
    found = TextEncoding::Utf8;
    return std::string(bytes);
}

std::string encodeFileText(const std::string& text, TextEncoding)
{
    return text;
}

} // namespace torv

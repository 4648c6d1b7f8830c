#include "platform/Files.h"

#include "platform/ErrnoFailure.h"
#include "platform/Failure.h"
#include "platform/Paths.h"

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

std::string readRegularFile(const std::string& path, std::size_t maxBytes)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        throw failureForErrno(errno);
    if (!S_ISREG(st.st_mode))
        throw Failure::pathFileAccess();
    // The name may have been swapped since lstat: the flags and the second
    // check below keep that harmless.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw failureForErrno(errno);
    FdCloser closer{fd};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw Failure::pathFileAccess();
    std::string text(maxBytes, '\0');
    std::size_t got = 0;
    while (got < maxBytes) {
        ssize_t n = ::read(fd, text.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw Failure::pathFileAccess();
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

void removeFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0)
        throw failureForErrno(errno);
}

} // namespace torv

namespace torv {

// File text is taken as it stands: the locale's encoding is UTF-8 here.
std::string decodeFileText(const std::string& bytes, TextEncoding& found)
{
    found = TextEncoding::Utf8;
    return bytes;
}

std::string encodeFileText(const std::string& text, TextEncoding)
{
    return text;
}

} // namespace torv

#include "remote/CommandFile.h"

#include "platform/ErrnoFailure.h"
#include "platform/Failure.h"
#include "platform/Paths.h"
#include "settings/FieldReader.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace torv {

namespace {

#ifndef _WIN32
struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
};

// Up to maxBytes of a regular file, never following a link and never blocking.
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
#else
std::string readRegularFile(const std::string& path, std::size_t maxBytes)
{
    std::error_code ec;
    auto st = std::filesystem::symlink_status(path, ec);
    if (!ec && std::filesystem::exists(st) && !std::filesystem::is_regular_file(st))
        throw Failure::pathFileAccess();
    return readWholeFile(path, maxBytes);
}
#endif

} // namespace

std::string commandFilePath(const std::string& exchangeDir)
{
    return inFolder(exchangeDir, "command.txt");
}

std::string readCommandField(const std::string& path)
{
    return readCommand(path).field;
}

CommandText readCommand(const std::string& path)
{
    // One byte more than the limit tells a longer file from one that fits.
    std::string text = readRegularFile(path, kCommandReadLimit + 1);
    if (text.size() > kCommandReadLimit) {
        text.resize(kCommandReadLimit);
        // A field that runs into the cut would be launched truncated. One that
        // ended at a delimiter is whole, even when that delimiter was the last
        // byte read: a byte put after the cut stays out of such a field only.
        const std::string probed = text + '\x01'; // the reader only views its text
        FieldReader probe(probed);
        probe.next();
        if (probe.atEnd())
            throw Failure::pathFileAccess();
    }
    FieldReader reader(text);
    CommandText command{reader.next(), {}};
    // The field ended at a line end, or at a comma with the rest of its line to skip.
    size_t pos = reader.position();
    if (pos > 0 && text[pos - 1] == ',') {
        pos = text.find_first_of("\r\n", pos);
        pos = pos == std::string::npos ? text.size() : pos + (text.compare(pos, 2, "\r\n") == 0 ? 2 : 1);
    }
    const size_t end = std::min(text.find_first_of("\r\n", pos), text.size());
    command.nextLine = text.substr(pos, end - pos);
    return command;
}

void deleteCommandFile(const std::string& path)
{
#ifndef _WIN32
    if (::unlink(path.c_str()) != 0)
        throw failureForErrno(errno);
#else
    std::error_code ec;
    if (!std::filesystem::remove(path, ec))
        throw ec ? Failure::permissionDenied() : Failure::fileNotFound();
#endif
}

} // namespace torv

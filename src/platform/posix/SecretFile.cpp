// Secret files on POSIX: mode 0600, owned by the user or root, like ssh keys.
#include "ports/SecretFile.h"

#include "base/Failure.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torv {

namespace {

struct Fd {
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool writeAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::string folderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

SecretFileRead readSecretFile(const std::string& path, std::size_t maxBytes)
{
    Fd file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (file.fd < 0)
        return {errno == ENOENT ? SecretFileState::Absent : SecretFileState::Unreadable, {}};
    struct stat st {};
    if (::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {SecretFileState::Unreadable, {}};
    // Anyone but the owner with any right, or an owner who is neither we nor
    // root (who could hand out rights at any time), makes the secret unsafe.
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0 || (st.st_uid != ::geteuid() && st.st_uid != 0))
        return {SecretFileState::OpenToOthers, {}};
    std::string text(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        ssize_t n = ::read(file.fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {SecretFileState::Unreadable, {}};
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > maxBytes)
        return {SecretFileState::Unreadable, {}};
    text.resize(got);
    return {SecretFileState::Private, std::move(text)};
}

void createSecretFile(const std::string& path, const std::string& text)
{
    // Written under a temporary name (mkstemp makes it 0600 whatever the
    // umask), then linked under the real one: link never replaces a file.
    std::string temp = path + ".XXXXXX";
    Fd file{::mkstemp(temp.data())};
    if (file.fd < 0)
        throw Failure::pathFileAccess();
    const bool written = ::fchmod(file.fd, S_IRUSR | S_IWUSR) == 0 && writeAll(file.fd, text) && ::fsync(file.fd) == 0;
    const int linked = written ? ::link(temp.c_str(), path.c_str()) : -1;
    const int linkError = errno;
    ::unlink(temp.c_str());
    if (!written)
        throw Failure::pathFileAccess();
    if (linked != 0)
        throw linkError == EEXIST ? Failure(58, "File already exists") : Failure::pathFileAccess();
    Fd folder{::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd >= 0)
        ::fsync(folder.fd);
}

} // namespace torv

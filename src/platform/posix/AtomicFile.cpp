#include "platform/AtomicFile.h"

#include "platform/Failure.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <system_error>

#include <unistd.h>

namespace torv {
namespace fs = std::filesystem;

namespace {

std::string randomSuffix()
{
    static std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 10; ++i)
        s += digits[rng() % 36];
    return s;
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target))
{
}

AtomicFileWriter::~AtomicFileWriter()
{
    close();
}

void AtomicFileWriter::create()
{
    close();
    const fs::path target(target_);
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(parent, ec))
        throw Failure::pathNotFound();
    for (int attempt = 0; attempt < 16; ++attempt) {
        // The temporary name starts with a dot so a remote party listing the
        // folder never mistakes it for a result.
        std::string temp = (parent / ("." + target.filename().string() + ".tmp-" + randomSuffix())).string();
        int flags = O_WRONLY | O_CREAT | O_EXCL;
#ifdef O_CLOEXEC
        flags |= O_CLOEXEC;
#endif
        int fd = ::open(temp.c_str(), flags, 0644);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(temp);
            return;
        }
        if (errno != EEXIST)
            break;
    }
    // A folder where we may not create files, holding a target we may write
    // (a drop folder, a program folder where only config.ini is ours): write the
    // target in place as a plain truncate-and-write would. Not atomic, but the
    // only way to write there at all. A link under the target's name is never
    // followed.
    if ((errno == EACCES || errno == EPERM) && fs::is_regular_file(fs::symlink_status(target, ec))) {
        int flags = O_WRONLY;
#ifdef O_NOFOLLOW
        flags |= O_NOFOLLOW;
#endif
#ifdef O_CLOEXEC
        flags |= O_CLOEXEC;
#endif
        int fd = ::open(target_.c_str(), flags);
        if (fd >= 0) {
            fd_ = fd;
            inPlace_ = true;
            return;
        }
    }
    throw Failure::pathFileAccess();
}

void AtomicFileWriter::write(const std::string& text)
{
    if (fd_ < 0)
        throw Failure::badFileNumber();
    bool ok = true;
    if (inPlace_ && ::ftruncate(fd_, 0) != 0)
        ok = false;
    const char* p = text.data();
    size_t left = text.size();
    while (ok && left > 0) {
        auto n = ::write(fd_, p, static_cast<unsigned>(left > (1u << 30) ? (1u << 30) : left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd_) != 0)
        ok = false;
    if (::close(fd_) != 0)
        ok = false;
    fd_ = -1;
    if (inPlace_) {
        inPlace_ = false;
        if (!ok)
            throw Failure::pathFileAccess();
        return;
    }
    std::error_code ec;
    if (ok) {
        fs::rename(temp_, target_, ec);
        ok = !ec;
    }
    if (!ok) {
        fs::remove(temp_, ec);
        temp_.clear();
        throw Failure::pathFileAccess();
    }
    temp_.clear();
}

void AtomicFileWriter::close() noexcept
{
    inPlace_ = false;
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        std::error_code ec;
        fs::remove(temp_, ec);
        temp_.clear();
    }
}

void writeFileAtomically(const std::string& target, const std::string& text)
{
    AtomicFileWriter w(target);
    w.create();
    w.write(text);
}

} // namespace torv

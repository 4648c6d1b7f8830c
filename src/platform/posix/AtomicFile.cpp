#include "platform/AtomicFile.h"

#include "platform/Failure.h"
#include "base/TemporaryName.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

namespace torv {
namespace fs = std::filesystem;

namespace {

// The file a chain of links ends at (or would be created at).
fs::path followLinks(fs::path p)
{
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        fs::path to = fs::read_symlink(p, ec);
        if (ec)
            break;
        p = to.is_absolute() ? to : p.parent_path() / to;
    }
    return p;
}

// The permission bits and owner of the file a write replaces, if it is a plain
// file. A link is never looked through here: followLinks has already resolved
// the ones that may be followed.
struct OldAttributes {
    bool known = false;
    mode_t mode = 0;
    uid_t uid = 0;
    gid_t gid = 0;
};

OldAttributes oldAttributes(const std::string& target, const std::string& attributesFrom)
{
    struct stat st {};
    const bool found =
        attributesFrom.empty() ? ::lstat(target.c_str(), &st) == 0 : ::stat(attributesFrom.c_str(), &st) == 0;
    if (!found || !S_ISREG(st.st_mode))
        return {};
    return {true, static_cast<mode_t>(st.st_mode & 0777), st.st_uid, st.st_gid};
}

// Failures are left alone: the file then keeps the private mode it was made with.
void applyAttributes(int fd, const OldAttributes& old, bool keepOwner)
{
    if (!old.known)
        return;
    if (keepOwner && (old.uid != ::geteuid() || old.gid != ::getegid())) {
        // Only root may give a file away; a member of the old group may still set that.
        if (::fchown(fd, old.uid, old.gid) != 0)
            (void)!::fchown(fd, static_cast<uid_t>(-1), old.gid);
    }
    (void)!::fchmod(fd, old.mode);
}

} // namespace

void AtomicFileWriter::create()
{
    close();
    const fs::path target = rules_.followLink ? followLinks(target_) : fs::path(target_);
    dest_ = target.string();
    const fs::path parent = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(parent, ec))
        throw Failure::pathNotFound();
    const OldAttributes old = oldAttributes(dest_, rules_.attributesFrom);
    // Private until the old file's bits are applied; a new file gets the usual ones.
    const int createMode = old.known ? 0600 : 0644;
    const std::string prefix = (parent / temporaryPrefix(target.filename().string())).string();
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = prefix + temporarySuffix();
        int flags = O_WRONLY | O_CREAT | O_EXCL;
#ifdef O_CLOEXEC
        flags |= O_CLOEXEC;
#endif
        int fd = ::open(temp.c_str(), flags, createMode);
        if (fd >= 0) {
            applyAttributes(fd, old, rules_.keepOwner);
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
        int fd = ::open(dest_.c_str(), flags);
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
        fs::rename(temp_, dest_, ec);
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

void removeStaleTemporaries(const std::string& target, std::chrono::seconds minAge, bool followLink)
{
    const fs::path path = followLink ? followLinks(target) : fs::path(target);
    const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
    const std::string name = path.filename().string();
    const auto now = fs::file_time_type::clock::now();
    std::error_code ec;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        if (!isTemporaryOf(it->path().filename().string(), name))
            continue;
        std::error_code fileEc;
        if (!fs::is_regular_file(it->symlink_status(fileEc)) || fileEc)
            continue;
        const auto written = fs::last_write_time(it->path(), fileEc);
        if (fileEc || now - written < minAge)
            continue;
        fs::remove(it->path(), fileEc);
    }
}

} // namespace torv

#include "ports/AtomicFile.h"

#include "base/AtomicCommit.h"
#include "base/Failure.h"
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

#ifdef O_CLOEXEC
constexpr int kCloseOnExec = O_CLOEXEC;
#else
constexpr int kCloseOnExec = 0;
#endif
#ifdef O_NOFOLLOW
constexpr int kNoFollow = O_NOFOLLOW;
#else
constexpr int kNoFollow = 0;
#endif

// The POSIX steps: open(2) with O_EXCL, fsync(2), rename(2). The new file
// takes the old one's permission bits (and owner, where the rules say so)
// before it gets any text.
class PosixCommitSteps : public FileCommitSteps {
public:
    explicit PosixCommitSteps(WriteRules rules) : rules_(std::move(rules)) {}

    std::string destination(const std::string& target) override
    {
        return (rules_.followLink ? followLinks(target) : fs::path(target)).string();
    }
    bool folderExists(const std::string& destination) override
    {
        std::error_code ec;
        return fs::is_directory(parentOf(destination), ec);
    }
    void prepare(const std::string& destination) override { old_ = oldAttributes(destination, rules_.attributesFrom); }
    std::string temporaryStem(const std::string& destination) override
    {
        return (parentOf(destination) / temporaryPrefix(fs::path(destination).filename().string())).string();
    }
    int createNew(const std::string& path, Creation& creation) override
    {
        // Private until the old file's bits are applied; a new file gets the usual ones.
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | kCloseOnExec, old_.known ? 0600 : 0644);
        if (fd >= 0) {
            applyAttributes(fd, old_, rules_.keepOwner);
            if (rules_.permissions != 0)
                (void)!::fchmod(fd, static_cast<mode_t>(rules_.permissions));
            creation = Creation::Created;
        } else {
            creation = errno == EEXIST                     ? Creation::NameTaken
                       : errno == EACCES || errno == EPERM ? Creation::Denied
                                                           : Creation::Failed;
        }
        return fd;
    }
    int openInPlace(const std::string& destination) override
    {
        std::error_code ec;
        if (!fs::is_regular_file(fs::symlink_status(destination, ec)))
            return -1;
        return ::open(destination.c_str(), O_WRONLY | kNoFollow | kCloseOnExec);
    }
    bool truncate(int fd) override { return ::ftruncate(fd, 0) == 0; }
    bool writeAll(int fd, const std::string& text) override
    {
        const char* p = text.data();
        size_t left = text.size();
        while (left > 0) {
            auto n = ::write(fd, p, static_cast<unsigned>(left > (1u << 30) ? (1u << 30) : left));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            p += n;
            left -= static_cast<size_t>(n);
        }
        return true;
    }
    bool flushToDisk(int fd) override { return ::fsync(fd) == 0; }
    bool closeFile(int fd) override { return ::close(fd) == 0; }
    bool replace(const std::string& temporary, const std::string& destination) override
    {
        std::error_code ec;
        fs::rename(temporary, destination, ec);
        return !ec;
    }
    void remove(const std::string& path) noexcept override
    {
        std::error_code ec;
        fs::remove(path, ec);
    }

private:
    static fs::path parentOf(const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); }

    WriteRules rules_;
    OldAttributes old_;
};

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target, WriteRules rules)
    : commit_(std::make_unique<AtomicCommit>(std::move(target), std::make_unique<PosixCommitSteps>(std::move(rules))))
{
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::create()
{
    commit_->create();
}

void AtomicFileWriter::write(const std::string& text)
{
    commit_->write(text);
}

void AtomicFileWriter::close() noexcept
{
    commit_->close();
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

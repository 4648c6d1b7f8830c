#include "base/AtomicCommit.h"

#include "base/Failure.h"
#include "base/TemporaryName.h"

namespace torv {

namespace {
// Names taken by chance (or by a planted file) before the writer gives up.
constexpr int kCreateAttempts = 16;
} // namespace

AtomicCommit::AtomicCommit(std::string target, std::unique_ptr<FileCommitSteps> steps)
    : target_(std::move(target)), steps_(std::move(steps))
{
}

AtomicCommit::~AtomicCommit()
{
    close();
}

void AtomicCommit::create()
{
    close();
    dest_ = steps_->destination(target_);
    if (!steps_->folderExists(dest_))
        throw Failure::pathNotFound();
    steps_->prepare(dest_);
    const std::string stem = steps_->temporaryStem(dest_);
    auto creation = FileCommitSteps::Creation::Failed;
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        std::string temp = stem + temporarySuffix();
        const int fd = steps_->createNew(temp, creation);
        if (fd >= 0) {
            fd_ = fd;
            temp_ = std::move(temp);
            return;
        }
        if (creation != FileCommitSteps::Creation::NameTaken)
            break;
    }
    // A folder where we may not create files, holding a target we may write
    // (a drop folder, a program folder where only config.ini is ours): write
    // the target in place as a plain truncate-and-write would. Not atomic, but
    // the only way to write there at all. A link under the target's name is
    // never followed.
    if (creation == FileCommitSteps::Creation::Denied) {
        const int fd = steps_->openInPlace(dest_);
        if (fd >= 0) {
            fd_ = fd;
            inPlace_ = true;
            return;
        }
    }
    throw Failure::pathFileAccess();
}

void AtomicCommit::write(const std::string& text)
{
    if (fd_ < 0)
        throw Failure::badFileNumber();
    bool ok = !inPlace_ || steps_->truncate(fd_);
    ok = ok && steps_->writeAll(fd_, text);
    ok = ok && steps_->flushToDisk(fd_);
    if (!steps_->closeFile(fd_))
        ok = false;
    fd_ = -1;
    if (inPlace_) {
        inPlace_ = false;
        if (!ok)
            throw Failure::pathFileAccess();
        return;
    }
    ok = ok && steps_->replace(temp_, dest_);
    if (!ok) {
        steps_->remove(temp_);
        temp_.clear();
        throw Failure::pathFileAccess();
    }
    temp_.clear();
}

void AtomicCommit::close() noexcept
{
    inPlace_ = false;
    if (fd_ >= 0) {
        steps_->closeFile(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        steps_->remove(temp_);
        temp_.clear();
    }
}

} // namespace torv

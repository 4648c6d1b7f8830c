#pragma once
// The commit of a whole-file write, the same on every platform: a fresh
// temporary file beside the target, the text, a flush to the disk, then the
// temporary file renamed over the target. A step that fails removes the
// temporary file and leaves the target whole. How each step is done is the
// platform's (FileCommitSteps); the order and the failure rules are here.
#include <memory>
#include <string>

namespace torv {

// One platform's way of taking each step. Files are C runtime descriptors.
class FileCommitSteps {
public:
    enum class Creation { Created, NameTaken, Denied, Failed };

    virtual ~FileCommitSteps() = default;
    // The file a write of target replaces: target itself, or where its links
    // lead when the write follows them.
    virtual std::string destination(const std::string& target) = 0;
    virtual bool folderExists(const std::string& destination) = 0;
    // Learns what the new file keeps of the one it replaces; before any create.
    virtual void prepare(const std::string& /*destination*/) {}
    // The temporary files of destination are named this + a random suffix.
    virtual std::string temporaryStem(const std::string& destination) = 0;
    // Creates a file that did not exist, open for writing; -1 and why not.
    virtual int createNew(const std::string& path, Creation& creation) = 0;
    // Opens destination itself for writing when it is a plain file; -1 if not.
    virtual int openInPlace(const std::string& destination) = 0;
    virtual bool truncate(int fd) = 0;
    virtual bool writeAll(int fd, const std::string& text) = 0;
    virtual bool flushToDisk(int fd) = 0;
    virtual bool closeFile(int fd) = 0;
    virtual bool replace(const std::string& temporary, const std::string& destination) = 0;
    virtual void remove(const std::string& path) noexcept = 0;
};

class AtomicCommit {
public:
    AtomicCommit(std::string target, std::unique_ptr<FileCommitSteps> steps);
    ~AtomicCommit();
    AtomicCommit(const AtomicCommit&) = delete;
    AtomicCommit& operator=(const AtomicCommit&) = delete;

    // As AtomicFileWriter's create, write and close.
    void create();
    void write(const std::string& text);
    void close() noexcept;

private:
    std::string target_;
    std::unique_ptr<FileCommitSteps> steps_;
    std::string dest_; // the target, its links followed where the rules say so
    std::string temp_;
    int fd_ = -1;
    bool inPlace_ = false; // writing the target itself (see create)
};

} // namespace torv

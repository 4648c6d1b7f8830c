#pragma once
// Whole-file writes that never leave a half-written file: the text goes into a
// fresh temporary file in the same folder, which is then renamed over the target.
// The new file keeps the old one's permission bits, so a file an administrator
// made private stays private.
#include <chrono>
#include <memory>
#include <string>

namespace torv {

class AtomicCommit;

// How a write treats what stands under the target's name.
struct WriteRules {
    // A link under the target's name: write the file it points to. Only for the
    // program folder, whose links are the administrator's; elsewhere a planted
    // link is replaced, never followed.
    bool followLink = false;
    // Give the new file the old file's owner and group as far as the process may.
    bool keepOwner = false;
    // Take the permission bits (and owner) from this file instead of the target.
    std::string attributesFrom;
    // Non-zero: the new file gets exactly these permission bits, whatever the
    // umask and the old file (POSIX; Windows files have none).
    unsigned permissions = 0;
};

class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string target, WriteRules rules = {});
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    // Creates the temporary file. Missing folder: 76; anything else: 75. In a
    // folder where no file may be created, an existing writable target is
    // written in place instead.
    void create();
    // Writes the text and renames the file into place. Without a successful
    // create(): 52. A failed write or rename: 75, and the target is untouched.
    void write(const std::string& text);
    // Closes what is still open; never fails.
    void close() noexcept;

private:
    // The commit written once for every platform, on this platform's steps.
    std::unique_ptr<AtomicCommit> commit_;
};

// create + write + close in one go; throws like the steps do.
void writeFileAtomically(const std::string& target, const std::string& text, const WriteRules& rules = {});

// Removes the temporary files a killed write of `target` left beside it: plain
// files named exactly as this writer names them, last written at least
// `minAge` ago. Nothing else is touched; never fails. With followLink, beside
// the file a link under the target's name points to (see WriteRules).
void removeStaleTemporaries(const std::string& target, std::chrono::seconds minAge = std::chrono::seconds(0),
                            bool followLink = false);

} // namespace torv

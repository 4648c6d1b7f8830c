#pragma once
// Whole-file writes that never leave a half-written file: the text goes into a
// fresh temporary file in the same folder, which is then renamed over the target.
// A link planted under the target's name is replaced, never followed.
#include <string>

namespace torv {

class AtomicFileWriter {
public:
    explicit AtomicFileWriter(std::string target);
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
    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool inPlace_ = false; // writing the target itself (see create)
};

// create + write + close in one go; throws like the steps do.
void writeFileAtomically(const std::string& target, const std::string& text);

} // namespace torv

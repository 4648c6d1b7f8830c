#pragma once
// The result file: the whole log followed by one more CR LF, so the file ends
// with an empty line. It is replaced as a whole, never left half-written; a link
// planted under its name is replaced, and an existing file's mode is kept.
#include "ports/AtomicFile.h"

#include <string>

namespace torv {

std::string resultFilePath(const std::string& exchangeDir);
// The bytes of the result file for a log, exactly as written: on Windows in
// the ANSI code page when every character fits, otherwise UTF-8 with a mark.
std::string resultFileText(const std::string& log);

// Three steps, so that a caller can guard each one on its own.
class ResultFile {
public:
    explicit ResultFile(const std::string& exchangeDir);

    // Removes stale temporary files of earlier writes, then creates the new
    // one. Missing folder: 76; anything else: 75.
    void create();
    // Without a successful create(): 52. A failed write: 75, the old file stays.
    // Returns the bytes written: what the answer's signature signs.
    std::string write(const std::string& log);
    // Never fails.
    void close() noexcept;

private:
    std::string exchangeDir_;
    AtomicFileWriter writer_;
};

// create + write + close; throws like the steps do. Returns the bytes written.
std::string writeResultFile(const std::string& exchangeDir, const std::string& log);

} // namespace torv

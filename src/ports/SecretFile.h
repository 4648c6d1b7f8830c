#pragma once
// Files that hold a secret key: created readable by their owner only, and on
// POSIX not trusted once anyone else may read or change them.
#include <cstddef>
#include <string>

namespace torv {

enum class SecretFileState {
    Absent,       // no file under the name
    Private,      // read; only its owner (or the administrator) has access
    OpenToOthers, // its rights let someone else read or change it: not read
    Unreadable,   // there, but not a regular file or not readable
};

struct SecretFileRead {
    SecretFileState state = SecretFileState::Absent;
    std::string text;
};

// Reads at most maxBytes of a secret file; a longer file is Unreadable.
SecretFileRead readSecretFile(const std::string& path, std::size_t maxBytes);

// Creates path holding text, with rights for its owner only, written whole
// before it appears under its name. An existing file is never replaced:
// Failure 58. Any other failure: 75.
void createSecretFile(const std::string& path, const std::string& text);

} // namespace torv

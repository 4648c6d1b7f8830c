#pragma once
// File operations whose safe form differs per platform; each platform folder
// implements them.
#include <cstddef>
#include <string>

namespace torv {

// Up to maxBytes of a plain file on disk. Never follows a link (or reparse
// point) under the name and never blocks: a folder, device, pipe or link is a
// failure instead of a hang. Missing: 53; missing folder: 76; no access: 70;
// anything else, not a plain file included: 75.
std::string readRegularFile(const std::string& path, std::size_t maxBytes);

// Deletes a file. Missing: 53; not permitted: 70; anything else: 75.
void removeFile(const std::string& path);

} // namespace torv

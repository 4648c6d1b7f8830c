#pragma once
// File operations whose safe form differs per platform; each platform folder
// implements them.
#include <cstddef>
#include <string>

namespace torv {

// Up to maxBytes of a plain file on disk. Never follows a link (or reparse
// point) under the name and never blocks: a folder, device, pipe or link is a
// failure instead of a hang. Missing (its folder too): 53; no access: 70;
// anything else, not a plain file included: 75.
std::string readRegularFile(const std::string& path, std::size_t maxBytes);

// Deletes a file. Missing: 53; not permitted: 70; anything else: 75.
void removeFile(const std::string& path);

} // namespace torv

namespace torv {

// How a text file's bytes stand for its text. Inside the program text is UTF-8;
// older Windows programs wrote text files in the system's ANSI code page.
enum class TextEncoding { Utf8, SystemCodePage };

// The text of a file's bytes as UTF-8, and the encoding they were found in.
std::string decodeFileText(const std::string& bytes, TextEncoding& found);
// The bytes to write for UTF-8 text in the given encoding. Text the code page
// cannot hold is written as UTF-8 rather than lost.
std::string encodeFileText(const std::string& text, TextEncoding encoding);

} // namespace torv

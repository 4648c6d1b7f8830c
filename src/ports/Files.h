#pragma once
// File operations whose safe form differs per platform; each platform folder
// implements them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace torv {

enum class Links {
    Follow, // the program folder is ours: a linked file is read where it lives
    Refuse, // an exchange folder is not: a link there is not a command
};

// At most maxBytes from the start of a plain file on disk, which someone else
// may have planted: a folder, device, pipe or endless file under the name is a
// failure, never a hang or an exhausted memory. Missing (its folder too): 53;
// no access: 70; anything else, not a plain file or a refused link (or
// reparse point) included: 75. A caller tells a longer file from one that fits
// by asking for one byte more than it will use.
std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links);

// Which file on disk, in which state: equal while the same file stands
// unchanged, different once it is replaced or written again.
struct FileIdentity {
    std::uint64_t volume = 0;  // device, or the volume's serial number
    std::uint64_t index = 0;   // inode, or file ID
    std::uint64_t size = 0;    // in bytes
    std::int64_t modified = 0; // last write, in the platform's finest unit
    bool operator==(const FileIdentity&) const = default;
};
// readRegularFile, and the identity of the file read, taken from the same
// open file.
std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links, FileIdentity& identity);

// Deletes a file. Missing: 53; not permitted: 70; anything else: 75.
void removeFile(const std::string& path);

// True when a folder (or a link to one) is there under the path. Tells a
// missing file from a missing folder, which reading gives the same code.
bool folderExists(const std::string& path);

// True when reading the path (following links) would fail with 53: nothing
// is there, or a folder on the way is missing. Lets an optional file's usual
// absence be told without a failure thrown and caught.
bool fileMissing(const std::string& path);

} // namespace torv

namespace torv {

// How a text file's bytes stand for its text. Inside the program text is UTF-8;
// Windows programs write text files in the system's ANSI code page (or, from
// PowerShell, in UTF-16 with a byte-order mark).
enum class TextEncoding { Utf8, SystemCodePage };

// The text of a file's bytes as UTF-8, the same way on every platform: a UTF-8
// mark is skipped; after a UTF-16 mark (little- or big-endian) the rest is
// UTF-16; without a mark the bytes are UTF-8 when they are valid UTF-8, and
// otherwise (on Windows) text in the ANSI code page. A read cut short may end
// inside a character: such an unfinished last character does not make the
// bytes invalid. `found` is how a save should write the text back: UTF-8 for
// UTF-8, the system's way for anything else.
std::string decodeFileText(std::string_view bytes, TextEncoding& found);
std::string decodeFileText(std::string_view bytes);

// The bytes to write for UTF-8 text. SystemCodePage is the form people and
// scripts on Windows read: the ANSI code page when every character fits,
// otherwise UTF-8 with a byte-order mark. Elsewhere text files are UTF-8.
std::string encodeFileText(const std::string& text, TextEncoding encoding);

// Each platform's part of the above: bytes that are not UTF-8 as UTF-8 text.
std::string decodeNonUtf8Text(std::string_view bytes, TextEncoding& found);

// Whether the bytes are UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF); with cutShort an unfinished last character is allowed.
bool isValidUtf8(std::string_view bytes, bool cutShort = false);
// The text with every byte that is not part of a valid UTF-8 character
// replaced by U+FFFD, for formats that must be UTF-8 whatever they are given.
std::string withValidUtf8(std::string_view bytes);

} // namespace torv

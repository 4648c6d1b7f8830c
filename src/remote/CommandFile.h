#pragma once
// The command file a remote party drops into the exchange folder. Only its
// first field counts, read by the same rule as config.ini.
#include <cstddef>
#include <string>
#include <string_view>

namespace torv {

// How much of the command file is read to find the first field.
inline constexpr std::size_t kCommandReadLimit = 64 * 1024;

std::string commandFilePath(const std::string& exchangeDir);

// The first field of the command file. Only a regular file is opened, without
// following a link and without blocking, so a pipe, device, folder or link
// planted under the name is a failure instead of a hang. Missing: 53; a file
// with no field at all: 62; not a regular file, unreadable, or a first field
// that does not end within kCommandReadLimit bytes: 75; out of memory: 7.
std::string readCommandField(const std::string& path);

// The first field of the command file's bytes as read (up to one byte more
// than the limit), by the rules above. Only tests pass another limit.
std::string firstCommandField(std::string_view bytes, std::size_t limit = kCommandReadLimit);

// The file's bytes as UTF-8 text, read as every text file is (decodeFileText):
// a signed command's signature covers this form, whatever the file came in.
std::string commandText(std::string_view bytes);

struct CommandText {
    std::string field;
    // The whole line after the one on which the first field ends, without its
    // line end; empty when there is none. It carries a signed command's signature.
    std::string nextLine;
    // The file read, as one line of text: its identity on disk, size,
    // modification time and a hash of its content. Another file, or this one
    // written again, gives another line.
    std::string fingerprint;
};
// readCommandField, and the line after the field. Fails like it.
CommandText readCommand(const std::string& path);

// Missing: 53; cannot be removed: 70 or 75.
void deleteCommandFile(const std::string& path);

} // namespace torv

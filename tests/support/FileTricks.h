#pragma once
// Awkward file-system states a test plants, each as its platform allows; a
// null result or false means the platform has no such thing and the test skips.
#include <cstddef>
#include <memory>
#include <string>

namespace torv::sim {

// Undoes what it stands for when destroyed.
struct Undo {
    virtual ~Undo() = default;
};

// The file cannot be deleted while the result lives, not even by root.
std::unique_ptr<Undo> makeUndeletable(const std::string& path);
// Writes of this process fail once a file grows past `bytes`.
std::unique_ptr<Undo> limitFileSize(std::size_t bytes);
// A symbolic link at `path` pointing to `target`.
bool plantLink(const std::string& target, const std::string& path);
// A named pipe with no writer under `path`.
bool plantPipe(const std::string& path);
// An endless device (a link to one) under `path`.
bool plantDevice(const std::string& path);
// Ends the test program if it is still there after `seconds` (a read that
// hangs would otherwise hold the whole run); null where it cannot.
std::unique_ptr<Undo> endIfStuck(unsigned seconds);

// Sets a file's POSIX permission bits; false where files have none.
bool setMode(const std::string& path, unsigned mode);
// A file's POSIX permission bits; -1 where files have none (or it is missing).
int modeOf(const std::string& path);
// Hands the file to the unprivileged user "nobody"; false where the process
// may not, or the platform has no such user.
bool giveToNobody(const std::string& path);

// New temporary folders in memory where the machine offers that (many
// synced writes would otherwise take minutes); null where it does not.
std::unique_ptr<Undo> tempFoldersInMemory();
// Bytes of heap in use by the C++ allocator, or -1 where it cannot be told.
long long heapInUse();

} // namespace torv::sim

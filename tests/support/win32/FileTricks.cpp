#include "support/FileTricks.h"

#include <filesystem>
#include <string>
#include <windows.h>

namespace torv::sim {

namespace {

// An open handle that shares reading only: nobody may delete the file.
struct HeldOpen : Undo {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~HeldOpen() override { CloseHandle(h); }
};

} // namespace

std::unique_ptr<Undo> makeUndeletable(const std::string& path)
{
    HANDLE h = CreateFileW(std::filesystem::u8path(path).wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return nullptr;
    auto undo = std::make_unique<HeldOpen>();
    undo->h = h;
    return undo;
}

std::unique_ptr<Undo> limitFileSize(std::size_t)
{
    return nullptr;
}

bool plantLink(const std::string& target, const std::string& path)
{
    // Needs developer mode or the right to make links. Wine reports success
    // and makes nothing, so the link is looked for afterwards.
    const std::wstring name = std::filesystem::u8path(path).wstring();
    if (!CreateSymbolicLinkW(name.c_str(), std::filesystem::u8path(target).wstring().c_str(),
                             SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        return false;
    const DWORD attributes = GetFileAttributesW(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool plantPipe(const std::string&)
{
    return false; // named pipes live in \\.\pipe\, never in a folder
}

bool plantDevice(const std::string&)
{
    return false; // devices have no names inside a folder
}

std::unique_ptr<Undo> endIfStuck(unsigned)
{
    return nullptr; // ctest's time limit ends a hang instead
}

bool setMode(const std::string&, unsigned)
{
    return false; // rights are access control lists here
}

int modeOf(const std::string&)
{
    return -1;
}

bool giveToNobody(const std::string&)
{
    return false;
}

std::unique_ptr<Undo> tempFoldersInMemory()
{
    return nullptr; // no memory file system at hand
}

long long heapInUse()
{
    return -1;
}

} // namespace torv::sim

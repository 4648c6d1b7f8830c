#include "ports/AtomicFile.h"

#include "base/AtomicCommit.h"
#include "base/Failure.h"
#include "base/TemporaryName.h"
#include "platform/win32/Wide.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace torv {

namespace {

std::string::size_type lastSeparator(const std::string& path)
{
    return path.find_last_of("\\/");
}

bool isFolder(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// A plain file under the name: no folder, no link or junction.
bool isPlainFile(const std::wstring& path)
{
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
}

// The file a link or junction under the name leads to; the name itself when
// there is none or it cannot be resolved.
std::string followLinks(const std::string& path)
{
    const std::wstring wide = widen(path);
    const DWORD a = GetFileAttributesW(wide.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_REPARSE_POINT))
        return path;
    HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return path;
    wchar_t buffer[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, buffer, 32768, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    CloseHandle(h);
    if (n == 0 || n >= 32768)
        return path;
    std::wstring final(buffer, n);
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0)
        final = L"\\\\" + final.substr(8);
    else if (final.rfind(L"\\\\?\\", 0) == 0)
        final = final.substr(4);
    return narrow(final);
}

// The folder part of a path ("C:\\" for a file in a drive root) and its name.
void splitPath(const std::string& path, std::string& parent, std::string& name, std::string& stem)
{
    const auto cut = lastSeparator(path);
    parent = cut == std::string::npos ? "." : path.substr(0, cut == 2 && path[1] == ':' ? 3 : cut);
    name = cut == std::string::npos ? path : path.substr(cut + 1);
    stem = (cut == std::string::npos ? "" : path.substr(0, cut + 1)) + temporaryPrefix(name);
}

int toDescriptor(HANDLE h)
{
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY | _O_WRONLY);
    if (fd < 0)
        CloseHandle(h);
    return fd;
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// The Win32 steps: CreateFileW with CREATE_NEW, FlushFileBuffers, then
// ReplaceFileW, which gives the new file the old one's security, owner
// included; a new file takes the folder's, as any file made there would.
class Win32CommitSteps : public FileCommitSteps {
public:
    explicit Win32CommitSteps(WriteRules rules) : rules_(std::move(rules)) {}

    std::string destination(const std::string& target) override
    {
        return rules_.followLink ? followLinks(target) : target;
    }
    bool folderExists(const std::string& destination) override
    {
        std::string parent, name, stem;
        splitPath(destination, parent, name, stem);
        return isFolder(widen(parent.empty() ? "\\" : parent));
    }
    std::string temporaryStem(const std::string& destination) override
    {
        std::string parent, name, stem;
        splitPath(destination, parent, name, stem);
        return stem;
    }
    int createNew(const std::string& path, Creation& creation) override
    {
        HANDLE h =
            CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            creation = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Creation::NameTaken
                       : error == ERROR_ACCESS_DENIED                              ? Creation::Denied
                                                                                   : Creation::Failed;
            return -1;
        }
        const int fd = toDescriptor(h);
        creation = fd >= 0 ? Creation::Created : Creation::Failed;
        return fd;
    }
    int openInPlace(const std::string& destination) override
    {
        const std::wstring wide = widen(destination);
        if (!isPlainFile(wide))
            return -1;
        HANDLE h =
            CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        return h == INVALID_HANDLE_VALUE ? -1 : toDescriptor(h);
    }
    bool truncate(int fd) override
    {
        HANDLE h = handleOf(fd);
        return SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(h);
    }
    bool writeAll(int fd, const std::string& text) override
    {
        HANDLE h = handleOf(fd);
        const char* p = text.data();
        size_t left = text.size();
        while (left > 0) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(left > (1u << 30) ? (1u << 30) : left);
            if (!WriteFile(h, p, want, &n, nullptr) || n == 0)
                return false;
            p += n;
            left -= n;
        }
        return true;
    }
    bool flushToDisk(int fd) override { return FlushFileBuffers(handleOf(fd)); }
    bool closeFile(int fd) override { return _close(fd) == 0; }
    bool replace(const std::string& temporary, const std::string& destination) override
    {
        const std::wstring from = widen(temporary), to = widen(destination);
        // An existing target keeps its security, attributes and identity;
        // a new one is simply moved into place, written through to disk.
        if (isPlainFile(to))
            return ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    void remove(const std::string& path) noexcept override { DeleteFileW(widen(path).c_str()); }

private:
    WriteRules rules_;
};

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string target, WriteRules rules)
    : commit_(std::make_unique<AtomicCommit>(std::move(target), std::make_unique<Win32CommitSteps>(std::move(rules))))
{
}

AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::create()
{
    commit_->create();
}

void AtomicFileWriter::write(const std::string& text)
{
    commit_->write(text);
}

void AtomicFileWriter::close() noexcept
{
    commit_->close();
}

void removeStaleTemporaries(const std::string& target, std::chrono::seconds minAge, bool followLink)
{
    std::string parent, name, stem;
    splitPath(followLink ? followLinks(target) : target, parent, name, stem);
    const std::string folder = stem.substr(0, stem.size() - temporaryPrefix(name).size());
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(widen(stem + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    FILETIME nowTime{};
    GetSystemTimeAsFileTime(&nowTime);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    const unsigned long long now = ticks(nowTime);
    const unsigned long long age = static_cast<unsigned long long>(minAge.count()) * 10000000ULL;
    do {
        const std::string entry = narrow(found.cFileName);
        if (!isTemporaryOf(entry, name))
            continue;
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const unsigned long long written = ticks(found.ftLastWriteTime);
        if (now < written || now - written < age)
            continue;
        DeleteFileW(widen(folder + entry).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

} // namespace torv

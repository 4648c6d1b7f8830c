#include "platform/AtomicFile.h"

#include "platform/Failure.h"
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

} // namespace

void AtomicFileWriter::create()
{
    close();
    // The old file's security, owner included, goes to the new one through
    // ReplaceFileW; a new file takes the folder's, as any file made there would.
    dest_ = rules_.followLink ? followLinks(target_) : target_;
    std::string parent, name, stem;
    splitPath(dest_, parent, name, stem);
    if (!isFolder(widen(parent.empty() ? "\\" : parent)))
        throw Failure::pathNotFound();
    DWORD error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::string temp = stem + temporarySuffix();
        HANDLE h =
            CreateFileW(widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            fd_ = toDescriptor(h);
            if (fd_ < 0)
                break;
            temp_ = std::move(temp);
            return;
        }
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    // A folder where we may not create files, holding a target we may write:
    // write the target in place. Not atomic, but the only way to write there.
    // A link under the target's name is never followed.
    const std::wstring wideTarget = widen(dest_);
    if (error == ERROR_ACCESS_DENIED && isPlainFile(wideTarget)) {
        HANDLE h = CreateFileW(wideTarget.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            fd_ = toDescriptor(h);
            if (fd_ >= 0) {
                inPlace_ = true;
                return;
            }
        }
    }
    throw Failure::pathFileAccess();
}

void AtomicFileWriter::write(const std::string& text)
{
    if (fd_ < 0)
        throw Failure::badFileNumber();
    HANDLE h = handleOf(fd_);
    bool ok = true;
    if (inPlace_)
        ok = SetFilePointer(h, 0, nullptr, FILE_BEGIN) == 0 && SetEndOfFile(h);
    const char* p = text.data();
    size_t left = text.size();
    while (ok && left > 0) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(left > (1u << 30) ? (1u << 30) : left);
        if (!WriteFile(h, p, want, &n, nullptr) || n == 0) {
            ok = false;
            break;
        }
        p += n;
        left -= n;
    }
    if (ok && !FlushFileBuffers(h))
        ok = false;
    if (_close(fd_) != 0)
        ok = false;
    fd_ = -1;
    if (inPlace_) {
        inPlace_ = false;
        if (!ok)
            throw Failure::pathFileAccess();
        return;
    }
    if (ok) {
        const std::wstring from = widen(temp_), to = widen(dest_);
        // An existing target keeps its security, attributes and identity;
        // a new one is simply moved into place, written through to disk.
        if (isPlainFile(to))
            ok = ReplaceFileW(to.c_str(), from.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        else
            ok = MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }
    if (!ok) {
        DeleteFileW(widen(temp_).c_str());
        temp_.clear();
        throw Failure::pathFileAccess();
    }
    temp_.clear();
}

void AtomicFileWriter::close() noexcept
{
    inPlace_ = false;
    if (fd_ >= 0) {
        _close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        DeleteFileW(widen(temp_).c_str());
        temp_.clear();
    }
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

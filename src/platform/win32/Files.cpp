#include "ports/Files.h"

#include "base/Failure.h"
#include "platform/win32/Wide.h"
#include "ports/Paths.h"

#include <algorithm>
#include <windows.h>

namespace torv {

namespace {

Failure failureFor(DWORD error)
{
    switch (error) {
    // A missing folder on the way names no file, as on POSIX. Never 76: the
    // sequencer reads 76 as "the remote folder is missing".
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_DIRECTORY:
        return Failure::fileNotFound();
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return Failure::permissionDenied();
    default:
        return Failure::pathFileAccess();
    }
}

struct HandleCloser {
    HANDLE h;
    ~HandleCloser() { CloseHandle(h); }
};

} // namespace

char pathSeparator()
{
    return '\\';
}

std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links)
{
    FileIdentity ignored;
    return readRegularFile(path, maxBytes, links, ignored);
}

std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links, FileIdentity& identity)
{
    // Where links are refused the reparse point itself is opened, never its
    // target, so a link or junction under the name is seen for what it is and
    // refused below. Share modes let the remote party keep the file open while
    // we read.
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw failureFor(GetLastError());
    HandleCloser closer{h};
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)))
        throw Failure::pathFileAccess();
    const auto wide = [](DWORD high, DWORD low) { return static_cast<std::uint64_t>(high) << 32 | low; };
    identity = {
        info.dwVolumeSerialNumber, wide(info.nFileIndexHigh, info.nFileIndexLow),
        wide(info.nFileSizeHigh, info.nFileSizeLow),
        static_cast<std::int64_t>(wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime))};
    // Grown as it is read, so a small file costs no more than its size.
    std::string text;
    char buf[16384];
    while (text.size() < maxBytes) {
        const DWORD want = static_cast<DWORD>(std::min(sizeof buf, maxBytes - text.size()));
        DWORD n = 0;
        if (!ReadFile(h, buf, want, &n, nullptr))
            throw Failure::pathFileAccess();
        if (n == 0)
            break;
        text.append(buf, n);
    }
    return text;
}

void removeFile(const std::string& path)
{
    if (!DeleteFileW(widen(path).c_str()))
        throw failureFor(GetLastError());
}

bool folderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool fileMissing(const std::string& path)
{
    return GetFileAttributesW(widen(path).c_str()) == INVALID_FILE_ATTRIBUTES &&
           failureFor(GetLastError()).code == Failure::fileNotFound().code;
}

} // namespace torv

namespace torv {

std::string decodeNonUtf8Text(std::string_view bytes, TextEncoding& found)
{
    // Bytes that are not UTF-8 were written in the ANSI code page.
    found = TextEncoding::SystemCodePage;
    return ansiToUtf8(std::string(bytes));
}

std::string encodeFileText(const std::string& text, TextEncoding encoding)
{
    // ASCII reads the same in UTF-8 and in every ANSI code page: the common
    // case skips the two conversions of the whole text.
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
    if (encoding == TextEncoding::Utf8 || ascii)
        return text;
    try {
        return utf8ToAnsi(text);
    } catch (const Failure&) {
        // Text the code page cannot hold is kept whole; the mark tells
        // Notepad and PowerShell that it is UTF-8.
        return "\xEF\xBB\xBF" + text;
    }
}

} // namespace torv

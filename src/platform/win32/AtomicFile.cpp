#include "platform/AtomicFile.h"

#include "platform/Failure.h"
#include "platform/win32/Wide.h"

#include <fcntl.h>
#include <io.h>
#include <random>
#include <windows.h>

namespace torv {

namespace {

std::string randomSuffix()
{
    static std::mt19937_64 rng{std::random_device{}()};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string s;
    for (int i = 0; i < 10; ++i)
        s += digits[rng() % 36];
    return s;
}

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

AtomicFileWriter::AtomicFileWriter(std::string target) : target_(std::move(target))
{
}

AtomicFileWriter::~AtomicFileWriter()
{
    close();
}

void AtomicFileWriter::create()
{
    close();
    const auto cut = lastSeparator(target_);
    const std::string parent =
        cut == std::string::npos ? "." : target_.substr(0, cut == 2 && target_[1] == ':' ? 3 : cut);
    const std::string name = cut == std::string::npos ? target_ : target_.substr(cut + 1);
    if (!isFolder(widen(parent.empty() ? "\\" : parent)))
        throw Failure::pathNotFound();
    DWORD error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        // The temporary name starts with a dot so a remote party listing the
        // folder never mistakes it for a result.
        std::string temp =
            (cut == std::string::npos ? "" : target_.substr(0, cut + 1)) + "." + name + ".tmp-" + randomSuffix();
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
    const std::wstring wideTarget = widen(target_);
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
        const std::wstring from = widen(temp_), to = widen(target_);
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

void writeFileAtomically(const std::string& target, const std::string& text)
{
    AtomicFileWriter w(target);
    w.create();
    w.write(text);
}

} // namespace torv

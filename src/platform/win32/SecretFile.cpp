// Secret files on Windows: created with a protected access list that grants
// the current user alone full control.
#include "ports/SecretFile.h"

#include "base/Failure.h"
#include "platform/win32/Wide.h"

#include <windows.h>

#include <memory>
#include <sddl.h>
#include <string>

namespace torv {

namespace {

struct Handle {
    HANDLE h;
    ~Handle()
    {
        if (h != INVALID_HANDLE_VALUE && h != nullptr)
            CloseHandle(h);
    }
};

// "D:P(A;;FA;;;<the user's SID>)": no inherited entries, full access for the user.
std::wstring ownerOnlySddl()
{
    Handle token{nullptr};
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.h))
        throw Failure::pathFileAccess();
    DWORD size = 0;
    GetTokenInformation(token.h, TokenUser, nullptr, 0, &size);
    auto buffer = std::make_unique<unsigned char[]>(size);
    if (!GetTokenInformation(token.h, TokenUser, buffer.get(), size, &size))
        throw Failure::pathFileAccess();
    LPWSTR sid = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &sid))
        throw Failure::pathFileAccess();
    std::wstring sddl = std::wstring(L"D:P(A;;FA;;;") + sid + L")";
    LocalFree(sid);
    return sddl;
}

} // namespace

SecretFileRead readSecretFile(const std::string& path, std::size_t maxBytes)
{
    Handle file{CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (file.h == INVALID_HANDLE_VALUE) {
        const DWORD err = GetLastError();
        return {err == ERROR_FILE_NOT_FOUND ? SecretFileState::Absent : SecretFileState::Unreadable, {}};
    }
    if (GetFileType(file.h) != FILE_TYPE_DISK)
        return {SecretFileState::Unreadable, {}};
    std::string text(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        DWORD n = 0;
        if (!ReadFile(file.h, text.data() + got, static_cast<DWORD>(text.size() - got), &n, nullptr))
            return {SecretFileState::Unreadable, {}};
        if (n == 0)
            break;
        got += n;
    }
    if (got > maxBytes)
        return {SecretFileState::Unreadable, {}};
    text.resize(got);
    return {SecretFileState::Private, std::move(text)};
}

void createSecretFile(const std::string& path, const std::string& text)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(ownerOnlySddl().c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        throw Failure::pathFileAccess();
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // Written under a temporary name first; the move without
    // MOVEFILE_REPLACE_EXISTING never replaces a file, and the access list
    // goes with the file.
    const std::wstring target = widen(path), temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LocalFree(descriptor);
    if (h == INVALID_HANDLE_VALUE)
        throw Failure::pathFileAccess();
    DWORD written = 0;
    const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size() && FlushFileBuffers(h);
    CloseHandle(h);
    const bool moved = ok && MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
    const DWORD err = GetLastError();
    if (!moved) {
        DeleteFileW(temp.c_str());
        throw ok && (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS) ? Failure(58, "File already exists")
                                                                              : Failure::pathFileAccess();
    }
}

} // namespace torv

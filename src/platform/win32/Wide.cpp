#include "platform/win32/Wide.h"

#include "base/Failure.h"

#include <windows.h>

namespace torv {

namespace {

std::wstring toWide(const std::string& text, UINT codePage)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string fromWide(const std::wstring& text, UINT codePage, BOOL* lossy)
{
    if (text.empty())
        return {};
    // WideCharToMultiByte refuses a default-character report for UTF-8. A
    // "best fit" ("Ł" as "L") would change the text without reporting it.
    BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : lossy;
    const DWORD flags = codePage == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const int n = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                      usedDefault);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                        usedDefault);
    return out;
}

} // namespace

std::wstring widen(const std::string& utf8)
{
    return toWide(utf8, CP_UTF8);
}

std::string narrow(const std::wstring& wide)
{
    return fromWide(wide, CP_UTF8, nullptr);
}

std::string ansiToUtf8(const std::string& ansi)
{
    return narrow(toWide(ansi, CP_ACP));
}

std::string utf8ToAnsi(const std::string& utf8)
{
    BOOL lossy = FALSE;
    std::string out = fromWide(widen(utf8), CP_ACP, &lossy);
    if (lossy)
        throw Failure::pathFileAccess();
    return out;
}

std::string systemMessage(unsigned long error)
{
    wchar_t* buffer = nullptr;
    const DWORD n =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = n && buffer ? std::wstring(buffer, n) : L"System error " + std::to_wstring(error);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return narrow(text);
}

} // namespace torv

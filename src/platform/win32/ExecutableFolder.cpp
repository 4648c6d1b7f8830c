#include "ports/ExecutableFolder.h"

#include "platform/win32/Wide.h"

#include <string>
#include <windows.h>

namespace torv {

std::string executableFolder()
{
    std::wstring path(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0 || n >= path.size())
        return ".";
    path.resize(n);
    const auto cut = path.find_last_of(L"\\/");
    if (cut == std::wstring::npos)
        return ".";
    // "C:\" keeps its separator, as a folder at the root does.
    return narrow(path.substr(0, cut == 2 && path[1] == L':' ? 3 : cut));
}

} // namespace torv

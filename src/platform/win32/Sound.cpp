#include "platform/win32/Sound.h"

#include "platform/win32/Wide.h"

#include <windows.h>

#include <mmsystem.h> // needs windows.h first

namespace torv {

void Win32Sound::play(const std::string& path)
{
    const std::wstring file = widen(path);
    const DWORD a = GetFileAttributesW(file.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) ||
        !PlaySoundW(file.c_str(), nullptr, SND_ASYNC | SND_FILENAME | SND_NODEFAULT))
        MessageBeep(MB_OK);
}

} // namespace torv

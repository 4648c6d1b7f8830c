#include "platform/SoundOutput.h"

#include <mmsystem.h>
#include <windows.h>

namespace torv {

bool soundOutputThere()
{
    // A wave output device is what PlaySound needs; none on a bare server.
    return waveOutGetNumDevs() > 0;
}

} // namespace torv

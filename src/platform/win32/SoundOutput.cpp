#include "ports/SoundOutput.h"

#include <windows.h>
// mmsystem.h needs the types of windows.h first.
#include <mmsystem.h>

namespace torv {

bool soundOutputThere()
{
    // A wave output device is what PlaySound needs; none on a bare server.
    return waveOutGetNumDevs() > 0;
}

} // namespace torv

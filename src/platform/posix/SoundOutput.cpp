#include "ports/SoundOutput.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace torv {

bool soundOutputThere()
{
    // Qt's audio on Linux speaks to a PulseAudio server (PipeWire offers the
    // same socket). Without one every cue would print "No audio device
    // detected" instead of playing.
    const char* server = std::getenv("PULSE_SERVER");
    if (server && *server)
        return true;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime)
        return false;
    struct stat st {};
    return ::stat((std::string(runtime) + "/pulse/native").c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

} // namespace torv

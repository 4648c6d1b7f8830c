#include "platform/StandardStreams.h"

namespace torv {

// A POSIX program always has the streams it was started with.
void attachToStartingConsole()
{
}

} // namespace torv

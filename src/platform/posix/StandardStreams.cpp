#include "ports/StandardStreams.h"

#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

namespace torv {

// A POSIX program always has the streams it was started with.
void attachToStartingConsole()
{
}

bool streamIsJournal(StandardStream stream)
{
    // "DEVICE:INODE" of the stream the journal connected; a stream redirected
    // elsewhere since (a pipe, a file) no longer matches.
    const char* named = std::getenv("JOURNAL_STREAM");
    unsigned long long device = 0, inode = 0;
    if (!named || std::sscanf(named, "%llu:%llu", &device, &inode) != 2)
        return false;
    struct stat st {};
    if (::fstat(stream == StandardStream::Output ? 1 : 2, &st) != 0)
        return false;
    return static_cast<unsigned long long>(st.st_dev) == device && static_cast<unsigned long long>(st.st_ino) == inode;
}

} // namespace torv

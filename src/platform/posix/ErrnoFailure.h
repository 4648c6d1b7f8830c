#pragma once
// The one translation of a system error number into a Failure, for every
// adapter that opens, reads, removes or launches a file. (A writer whose
// folder is missing says 76 itself, before any system call: that is how the
// sequencer learns that the remote folder is gone.)
#include "base/Failure.h"

#include <cerrno>

namespace torv {

inline Failure failureForErrno(int err)
{
    switch (err) {
    case ENOENT:
    // A path through something that is not a folder names no file. Never 76:
    // the sequencer reads 76 as "the remote folder is missing" and would leave
    // its task loop for a launch that failed this way.
    case ENOTDIR:
        return Failure::fileNotFound();
    case EACCES:
    case EPERM:
    case EBUSY:
    case ENOEXEC:
        return Failure::permissionDenied();
    default:
        return Failure::pathFileAccess();
    }
}

} // namespace torv

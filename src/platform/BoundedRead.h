#pragma once
// Reading a whole small file that someone else may have planted: a pipe, a
// device or an endless file under the expected name must give a failure, never
// a hang or an exhausted memory.
#include "platform/Failure.h"

#include <cstddef>
#include <string>

namespace torv {

enum class Links {
    Follow, // the program folder is ours: a linked file is read where it lives
    Refuse, // an exchange folder is not: a link there is not a command
};

// At most maxBytes from the start of a regular file, opened without blocking.
// Missing: 53; not permitted: 70; not a regular file, a refused link or a read
// error: 75. A caller tells a longer file from one that fits by asking for one
// byte more than it will use.
std::string readRegularFile(const std::string& path, std::size_t maxBytes, Links links);

} // namespace torv

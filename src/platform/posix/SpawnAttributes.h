#pragma once
// What every program this console starts gets: the signals a fresh program
// expects (none blocked, every one at its default), plus the caller's own
// session or process-group flags; and its words as an argv array.
#include <csignal>
#include <spawn.h>
#include <string>
#include <vector>

namespace torv {

// Initialises `attr`; the caller destroys it.
inline void initFreshSignals(posix_spawnattr_t& attr, short extraFlags)
{
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | extraFlags));
}

// Pointers into `words`, which must outlive the array, ended by a null.
inline std::vector<char*> argvOf(const std::vector<std::string>& words)
{
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    return argv;
}

} // namespace torv

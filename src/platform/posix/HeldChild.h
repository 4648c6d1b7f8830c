#pragma once
#include "ports/Launcher.h"

#include <memory>
#include <sys/types.h>

namespace torv {

// Takes hold of a child just started in a session of its own. Its end is
// seen without a thread of its own: through its pidfd, in an epoll set that
// the listener's event loop watches as one handle, or, while no loop does (no
// onEnd yet, or the handle dropped), by one waiter thread for all such
// children. Where the kernel gives no pidfd (too old, or refused by a seccomp
// filter), SIGCHLD wakes a second waiter through a self-pipe, which tries
// waitpid(pid, WNOHANG) on each held child and posts the ends. Only held pids
// are ever waited for, never "any child": the readiness probes and others
// collect their own.
std::unique_ptr<RunningProcess> holdChild(pid_t pid);

// Makes children held from now on use the SIGCHLD waiter as if no pidfd could
// be had (for tests).
void watchHeldChildrenBySignal(bool on);

} // namespace torv

#include "platform/posix/HeldChild.h"

#include "platform/LoopPost.h"
#include "ports/EventLoop.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#ifndef P_PIDFD
#define P_PIDFD 3
#endif

namespace torv {

namespace {

std::atomic<bool> bySignalOnly{false};

class Waiter;
class LoopSet;

// One held child. `mutex` guards everything but `loopSet`; the child is
// collected under it and its group is signalled under it only while not yet
// collected, so a reused pid is never signalled. `loopSet` is touched only on
// the listener's loop thread.
struct Child {
    pid_t pid = 0;
    int pidfd = -1;
    Waiter* waiter = nullptr;
    std::mutex mutex;
    bool collected = false;
    int status = 0;
    LoopReply<int> ended;
    LoopSet* loopSet = nullptr;

    ~Child()
    {
        if (pidfd >= 0)
            ::close(pidfd);
    }

    // Under the mutex: collects the child if it has ended; whether it is
    // collected. The status goes to the listener, if any.
    bool collectIfEnded()
    {
        if (collected)
            return true;
        siginfo_t info{};
        int r;
        do {
            r = pidfd >= 0
                    ? ::waitid(static_cast<idtype_t>(P_PIDFD), static_cast<id_t>(pidfd), &info, WEXITED | WNOHANG)
                    : -1;
            if (pidfd < 0 || (r < 0 && errno == EINVAL)) // no P_PIDFD before Linux 5.4
                r = ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG);
        } while (r < 0 && errno == EINTR);
        if (r == 0 && info.si_pid == 0)
            return false;
        collected = true;
        if (r < 0)
            status = 128; // collected elsewhere: nothing is known of its end
        else
            status = info.si_code == CLD_EXITED ? info.si_status : 128 + info.si_status;
        report();
        return true;
    }

    // Under the mutex: the status goes to the listener, once.
    void report()
    {
        if (collected)
            ended.tell(status);
    }

    void signalGroup(int signal)
    {
        std::lock_guard lock(mutex);
        if (!collected)
            ::kill(-pid, signal);
    }
};

// SIGCHLD's self-pipe; the handler passes the signal on to one installed
// before (a library's own).
int signalPipe[2] = {-1, -1};
struct sigaction previousChildHandler {};

extern "C" void onChildSignal(int signal, siginfo_t* info, void* context)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1); // full: a wake-up is pending anyway
    errno = saved;
    if (previousChildHandler.sa_flags & SA_SIGINFO)
        previousChildHandler.sa_sigaction(signal, info, context);
    else if (previousChildHandler.sa_handler != SIG_DFL && previousChildHandler.sa_handler != SIG_IGN)
        previousChildHandler.sa_handler(signal);
}

// Collects the held children that no event loop watches, for the whole
// process, on one thread started with the first of them: an epoll set of
// their pidfds, or (bySignal) a wake-up at every SIGCHLD followed by a
// waitpid(pid, WNOHANG) for each. Never destroyed: its thread may outlive main.
class Waiter {
public:
    explicit Waiter(bool bySignal) : bySignal_(bySignal)
    {
        if (!bySignal_) {
            epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
            return;
        }
        if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction sa {};
        sa.sa_sigaction = onChildSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_SIGINFO | SA_RESTART | SA_NOCLDSTOP;
        ::sigaction(SIGCHLD, &sa, &previousChildHandler);
    }

    static Waiter& forPidfds()
    {
        static Waiter* waiter = new Waiter(false);
        return *waiter;
    }
    static Waiter& bySignal()
    {
        static Waiter* waiter = new Waiter(true);
        return *waiter;
    }

    bool usable() const { return bySignal_ || epoll_ >= 0; }

    void add(const std::shared_ptr<Child>& child)
    {
        {
            std::lock_guard lock(mutex_);
            children_[child.get()] = child;
        }
        std::call_once(started_, [this] {
            // With every signal blocked: the console's own handlers run on its
            // other threads.
            sigset_t all, old;
            sigfillset(&all);
            pthread_sigmask(SIG_SETMASK, &all, &old);
            std::thread([this] { run(); }).detach();
            pthread_sigmask(SIG_SETMASK, &old, nullptr);
        });
        if (bySignal_) {
            // It may have ended before it was added: look once more.
            const char byte = 1;
            [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
        } else {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.ptr = child.get();
            ::epoll_ctl(epoll_, EPOLL_CTL_ADD, child->pidfd, &event);
        }
    }

    void remove(Child& child)
    {
        std::lock_guard lock(mutex_);
        if (children_.erase(&child) && !bySignal_)
            ::epoll_ctl(epoll_, EPOLL_CTL_DEL, child.pidfd, nullptr);
    }

private:
    void run()
    {
        for (;;) {
            std::vector<Child*> ready;
            if (bySignal_) {
                pollfd p{signalPipe[0], POLLIN, 0};
                if (::poll(&p, 1, -1) < 0)
                    continue;
                char buf[64];
                while (::read(signalPipe[0], buf, sizeof buf) > 0) {
                }
                std::lock_guard lock(mutex_);
                for (const auto& entry : children_)
                    ready.push_back(entry.first);
            } else {
                epoll_event events[64];
                const int n = ::epoll_wait(epoll_, events, 64, -1);
                for (int i = 0; i < n; ++i)
                    ready.push_back(static_cast<Child*>(events[i].data.ptr));
            }
            for (Child* key : ready)
                collect(key);
        }
    }

    void collect(Child* key)
    {
        std::shared_ptr<Child> child;
        {
            std::lock_guard lock(mutex_);
            auto it = children_.find(key);
            if (it == children_.end())
                return; // a loop took it over meanwhile
            child = it->second;
        }
        bool collected;
        {
            std::lock_guard lock(child->mutex);
            collected = child->collectIfEnded();
        }
        if (collected)
            remove(*child);
    }

    const bool bySignal_;
    int epoll_ = -1;
    std::mutex mutex_;
    std::map<Child*, std::shared_ptr<Child>> children_;
    std::once_flag started_;
};

// The held children one event loop watches: an epoll set of their pidfds,
// itself the one handle the loop watches, so that a wake-up of the loop costs
// the same for one child or a thousand. Used on the loop's thread only; an
// event loop outlives the children it watches (the console's lives as long
// as the program).
class LoopSet {
public:
    // Null when the loop cannot watch handles.
    static LoopSet* of(EventLoop& loop)
    {
        // Never destroyed, like the sets: a loop's set may be asked for
        // until the process ends, and stays reachable.
        static auto* sets = new std::map<EventLoop*, LoopSet*>;
        static std::mutex mutex;
        std::lock_guard lock(mutex);
        if (LoopSet* set = (*sets)[&loop])
            return set;
        const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
        if (epoll < 0)
            return nullptr;
        auto* set = new LoopSet(epoll);
        set->watch_ = loop.watchHandle(epoll, [set] { set->collectReady(); });
        if (!set->watch_) {
            delete set;
            return nullptr;
        }
        return (*sets)[&loop] = set;
    }

    void add(const std::shared_ptr<Child>& child)
    {
        children_[child.get()] = child;
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.ptr = child.get();
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, child->pidfd, &event);
    }

    void remove(Child& child)
    {
        if (children_.erase(&child))
            ::epoll_ctl(epoll_, EPOLL_CTL_DEL, child.pidfd, nullptr);
    }

private:
    explicit LoopSet(int epoll) : epoll_(epoll) {}
    ~LoopSet() { ::close(epoll_); }

    void collectReady()
    {
        epoll_event events[64];
        const int n = ::epoll_wait(epoll_, events, 64, 0);
        for (int i = 0; i < n; ++i) {
            auto it = children_.find(static_cast<Child*>(events[i].data.ptr));
            if (it == children_.end())
                continue;
            std::shared_ptr<Child> child = it->second;
            std::lock_guard lock(child->mutex);
            if (child->collectIfEnded()) {
                child->loopSet = nullptr;
                remove(*child);
            }
        }
    }

    int epoll_;
    std::unique_ptr<HandleWatch> watch_;
    std::map<Child*, std::shared_ptr<Child>> children_;
};

class HeldProcess : public RunningProcess {
public:
    explicit HeldProcess(std::shared_ptr<Child> child) : child_(std::move(child)) {}

    ~HeldProcess() override
    {
        std::lock_guard lock(child_->mutex);
        child_->ended.drop();
        // No loop listens any more; the waiter collects it when it ends.
        if (LoopSet* set = std::exchange(child_->loopSet, nullptr)) {
            set->remove(*child_);
            if (!child_->collected)
                child_->waiter->add(child_);
        }
    }

    void onEnd(EventLoop& events, std::function<void(int status)> ended) override
    {
        std::lock_guard lock(child_->mutex);
        child_->ended.listen(events, std::move(ended));
        // The waiter may have collected it already, before anyone listened:
        // its status is told now.
        if (child_->collectIfEnded()) {
            child_->report();
            return;
        }
        if (child_->pidfd < 0 || child_->loopSet)
            return;
        // Watched by the loop from now on; a loop that cannot watch leaves it
        // to the waiter, which posts the status.
        if (LoopSet* set = LoopSet::of(events)) {
            child_->waiter->remove(*child_);
            child_->loopSet = set;
            set->add(child_);
        }
    }

    void end() override { child_->signalGroup(SIGKILL); }
    void stop() override { child_->signalGroup(SIGTERM); }

    bool running() const override
    {
        std::lock_guard lock(child_->mutex);
        return !child_->collectIfEnded();
    }

private:
    std::shared_ptr<Child> child_;
};

} // namespace

void watchHeldChildrenBySignal(bool on)
{
    bySignalOnly = on;
}

std::unique_ptr<RunningProcess> holdChild(pid_t pid)
{
    auto child = std::make_shared<Child>();
    child->pid = pid;
    if (!bySignalOnly)
        child->pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    // The SIGCHLD waiter is installed only when a pidfd cannot be had.
    if (child->pidfd >= 0 && !Waiter::forPidfds().usable()) {
        ::close(child->pidfd);
        child->pidfd = -1;
    }
    child->waiter = child->pidfd >= 0 ? &Waiter::forPidfds() : &Waiter::bySignal();
    child->waiter->add(child);
    return std::make_unique<HeldProcess>(std::move(child));
}

} // namespace torv

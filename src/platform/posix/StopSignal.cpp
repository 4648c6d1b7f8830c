#include "platform/posix/StopSignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace torv {

namespace {

int pipeFds[2] = {-1, -1};

extern "C" void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Non-blocking: a full pipe already says "stop".
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

} // namespace

PosixStopSignal::PosixStopSignal()
{
    if (pipeFds[0] < 0 && ::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        char buf[16];
        while (::read(pipeFds[0], buf, sizeof buf) > 0) {
        }
        if (handler_)
            handler_();
    });
}

PosixStopSignal::~PosixStopSignal() = default;

void PosixStopSignal::onStop(std::function<void()> handler)
{
    handler_ = std::move(handler);
}

} // namespace torv

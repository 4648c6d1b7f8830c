// systemd's notify socket as the adapter reaches it: an abstract name, one
// datagram per message, the variables gone from the environment once read,
// and a watchdog only for the process it names.
#include "ports/ServiceManager.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace torv {
namespace {

TEST(SystemdNotifier, AbstractSocketHearsEachMessageAndTheVariablesAreGone)
{
    const std::string name = "@torv-notify-test-" + std::to_string(::getpid());
    const int listener = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, name.data() + 1, name.size() - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), offsetof(sockaddr_un, sun_path) + name.size()),
              0);
    const auto next = [listener] {
        char buffer[128];
        const ssize_t n = ::recv(listener, buffer, sizeof buffer, MSG_DONTWAIT);
        return n < 0 ? std::string("(nothing)") : std::string(buffer, static_cast<size_t>(n));
    };

    for (const auto& [pid, intervalMs] : {std::pair{::getpid(), 1500}, std::pair{::getpid() + 1, 0}}) {
        ::setenv("NOTIFY_SOCKET", name.c_str(), 1);
        ::setenv("WATCHDOG_USEC", "3000000", 1);
        ::setenv("WATCHDOG_PID", std::to_string(pid).c_str(), 1);
        const auto manager = makeServiceManager();
        for (const char* variable : {"NOTIFY_SOCKET", "WATCHDOG_USEC", "WATCHDOG_PID"})
            EXPECT_EQ(std::getenv(variable), nullptr) << variable;
        EXPECT_EQ(manager->watchdogIntervalMs(), intervalMs);
        manager->ready();
        manager->status("Waiting\nREADY=1");
        manager->watchdog();
        manager->stopping();
        for (const char* message : {"READY=1", "STATUS=Waiting", "WATCHDOG=1", "STOPPING=1"})
            EXPECT_EQ(next(), message);
    }
    EXPECT_EQ(next(), "(nothing)");
    ::close(listener);
}

} // namespace
} // namespace torv

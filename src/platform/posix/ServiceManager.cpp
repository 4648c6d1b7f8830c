// systemd's readiness protocol without libsystemd: each message is one
// datagram to the socket NOTIFY_SOCKET names.
#include "ports/ServiceManager.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace torv {

namespace {

std::optional<std::string> takeEnvironment(const char* name)
{
    const char* value = std::getenv(name);
    std::optional<std::string> taken;
    if (value)
        taken = value;
    ::unsetenv(name);
    return taken;
}

// A whole positive decimal number, or 0.
unsigned long long positive(const std::optional<std::string>& text)
{
    if (!text || text->empty() || text->find_first_not_of("0123456789") != std::string::npos || text->size() > 19)
        return 0;
    return std::strtoull(text->c_str(), nullptr, 10);
}

class SystemdNotifier : public ServiceManager {
public:
    SystemdNotifier(const sockaddr_un& address, socklen_t length, int watchdogMs)
        : address_(address), length_(length), watchdogMs_(watchdogMs),
          socket_(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0))
    {
    }
    ~SystemdNotifier() override
    {
        if (socket_ >= 0)
            ::close(socket_);
    }
    SystemdNotifier(const SystemdNotifier&) = delete;
    SystemdNotifier& operator=(const SystemdNotifier&) = delete;

    void ready() override { send("READY=1"); }
    void status(const std::string& text) override
    {
        // One line: the rest of a datagram would read as further assignments.
        send("STATUS=" + text.substr(0, text.find_first_of("\r\n")));
    }
    void stopping() override { send("STOPPING=1"); }
    // Asks for the program's stop-timeout and a margin beyond the unit's own
    // stop timeout, should the sum of them be longer.
    void stoppingTask(int stopTimeoutMs) override
    {
        send("EXTEND_TIMEOUT_USEC=" + std::to_string((stopTimeoutMs + 5000LL) * 1000));
    }
    void watchdog() override { send("WATCHDOG=1"); }
    int watchdogIntervalMs() const override { return watchdogMs_; }

private:
    // Never blocks the console's loop: a manager that does not read loses a
    // message, as it would a late one.
    void send(const std::string& message)
    {
        if (socket_ < 0)
            return;
        while (::sendto(socket_, message.data(), message.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                        reinterpret_cast<const sockaddr*>(&address_), length_) < 0 &&
               errno == EINTR) {
        }
    }

    sockaddr_un address_;
    socklen_t length_;
    int watchdogMs_;
    int socket_;
};

} // namespace

std::unique_ptr<ServiceManager> makeServiceManager()
{
    const std::optional<std::string> socketName = takeEnvironment("NOTIFY_SOCKET");
    const unsigned long long watchdogUsec = positive(takeEnvironment("WATCHDOG_USEC"));
    const std::optional<std::string> watchdogPid = takeEnvironment("WATCHDOG_PID");

    // A path, or an abstract name after "@"; anything else (vsock, a relative
    // name) is not for this adapter.
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = socketName.value_or("");
    if (name.size() < 2 || (name[0] != '/' && name[0] != '@') || name.size() >= sizeof address.sun_path ||
        name.find('\0') != std::string::npos)
        return std::make_unique<NullServiceManager>();
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@')
        address.sun_path[0] = '\0';
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());

    // The watch is for this process alone when the manager names one; the
    // signs of life go at half its limit.
    int watchdogMs = 0;
    if (watchdogUsec > 0 && (!watchdogPid || positive(watchdogPid) == static_cast<unsigned long long>(::getpid()))) {
        const unsigned long long half = watchdogUsec / 2000;
        watchdogMs = half < 1 ? 1 : half > 0x7fffffffULL ? 0x7fffffff : static_cast<int>(half);
    }
    return std::make_unique<SystemdNotifier>(address, length, watchdogMs);
}

} // namespace torv

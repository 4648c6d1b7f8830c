// Readiness tries on Windows against real sockets, a local web server, the
// file system, the process list and a command in a job object.
#include "platform/ProbeTries.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <thread>

namespace torv {
namespace {

// A loopback listener answering each request with one status.
struct WebServer {
    SOCKET fd = INVALID_SOCKET;
    int port = 0;
    int status;
    std::thread thread;
    explicit WebServer(int s) : status(s)
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int n = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), n);
        ::listen(fd, 8);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        thread = std::thread([this] {
            for (SOCKET c; (c = ::accept(fd, nullptr, nullptr)) != INVALID_SOCKET;) {
                char buffer[4096];
                std::string request;
                int got;
                while (request.find("\r\n\r\n") == std::string::npos && (got = ::recv(c, buffer, sizeof buffer, 0)) > 0)
                    request.append(buffer, got);
                const std::string answer =
                    "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                ::send(c, answer.data(), static_cast<int>(answer.size()), 0);
                ::closesocket(c);
            }
        });
    }
    ~WebServer()
    {
        close();
        thread.join();
    }
    void close()
    {
        if (fd != INVALID_SOCKET)
            ::closesocket(fd);
        fd = INVALID_SOCKET;
    }
};

ProbeResult probe(ProbeKind kind, const std::string& target, const std::string& port = {}, int limitMs = 2000)
{
    return tryProbeOnce({kind, target, port, {}, limitMs});
}

TEST(Win32ReadinessProbe, TcpAndHttp)
{
    for (const auto& [status, holds] : std::vector<std::pair<int, bool>>{{200, true}, {503, false}}) {
        WebServer server(status);
        const std::string port = std::to_string(server.port);
        EXPECT_TRUE(probe(ProbeKind::Tcp, "127.0.0.1", port).holds);
        const ProbeResult web = probe(ProbeKind::Http, "http://127.0.0.1:" + port + "/health");
        EXPECT_EQ(web.holds, holds) << web.reason;
        EXPECT_EQ(web.reason, holds ? "" : "status 503");
        server.close();
        EXPECT_FALSE(probe(ProbeKind::Tcp, "127.0.0.1", port).holds);
    }
}

TEST(Win32ReadinessProbe, PathProcessAndCommand)
{
    sim::TempDir dir;
    EXPECT_FALSE(probe(ProbeKind::Path, dir.file("marker")).holds);
    dir.write("marker", "");
    EXPECT_TRUE(probe(ProbeKind::Path, dir.file("marker")).holds);

    EXPECT_TRUE(probe(ProbeKind::Process, "torv_adapter_tests.exe").holds);
    EXPECT_TRUE(probe(ProbeKind::Process, "TORV_ADAPTER_TESTS").holds);
    EXPECT_FALSE(probe(ProbeKind::Process, "torv_adapter_test").holds);

    EXPECT_TRUE(probe(ProbeKind::Command, "cmd.exe /c exit 0").holds);
    EXPECT_EQ(probe(ProbeKind::Command, "cmd.exe /c exit 3").reason, "exit status 3");
    EXPECT_FALSE(probe(ProbeKind::Command, "C:\\no\\such\\program.exe").holds);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(probe(ProbeKind::Command, "cmd.exe /c \"for /l %i in (1,0,2) do @rem\"", {}, 500).reason,
              "still running at its time limit; stopped");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

} // namespace
} // namespace torv

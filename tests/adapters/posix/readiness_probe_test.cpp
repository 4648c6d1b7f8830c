// Readiness tries against real sockets, a local web server (plain and TLS with
// a test CA), the file system, the process list and child processes.
#include "platform/ProbeTries.h"
#include "platform/ThreadedProbe.h"
#include "support/PostedCalls.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace torv;

namespace {

// A listening socket on a free loopback port.
struct Listener {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    Listener()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), n);
        ::listen(fd, 8);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
    }
    ~Listener() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// Answers every request with one status, or never answers (status 0).
struct WebServer {
    Listener listener;
    int status;
    std::thread thread;
    std::vector<int> open;
    explicit WebServer(int s) : status(s)
    {
        thread = std::thread([this] {
            while (true) {
                const int c = ::accept(listener.fd, nullptr, nullptr);
                if (c < 0)
                    return;
                char buffer[4096];
                std::string request;
                while (request.find("\r\n\r\n") == std::string::npos) {
                    const auto n = ::read(c, buffer, sizeof buffer);
                    if (n <= 0)
                        break;
                    request.append(buffer, n);
                }
                if (status == 0) {
                    open.push_back(c);
                    continue;
                }
                const std::string answer =
                    "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                (void)!::write(c, answer.data(), answer.size());
                ::close(c);
            }
        });
    }
    ~WebServer()
    {
        ::shutdown(listener.fd, SHUT_RDWR);
        thread.join();
        for (int c : open)
            ::close(c);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(listener.port) + "/health"; }
};

ProbeResult probe(ProbeKind kind, const std::string& target, const std::string& port = {}, int limitMs = 2000,
                  const std::string& caFile = {})
{
    return tryProbeOnce({kind, target, port, caFile, limitMs});
}

TEST(ReadinessProbe, TcpAndHttp)
{
    Listener open;
    const std::string port = std::to_string(open.port);
    EXPECT_TRUE(probe(ProbeKind::Tcp, "127.0.0.1", port).holds);
    EXPECT_TRUE(probe(ProbeKind::Tcp, "localhost", port).holds);
    open.close();
    const ProbeResult closed = probe(ProbeKind::Tcp, "127.0.0.1", port);
    EXPECT_FALSE(closed.holds);
    EXPECT_EQ(closed.reason, "Connection refused");
    EXPECT_FALSE(probe(ProbeKind::Tcp, "no-such-host.invalid", "80").holds);

    for (const auto& [status, holds] : std::vector<std::pair<int, bool>>{{200, true}, {302, true}, {503, false}}) {
        WebServer server(status);
        const ProbeResult r = probe(ProbeKind::Http, server.url());
        EXPECT_EQ(r.holds, holds) << status;
        EXPECT_EQ(r.reason, holds ? "" : "status 503");
    }
    WebServer silent(0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(probe(ProbeKind::Http, silent.url(), {}, 500).holds);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "the try's limit was not kept";
}

TEST(ReadinessProbe, HttpsTrustsOnlyTheGivenCa)
{
    sim::TempDir dir;
    const std::string d = dir.path();
    const std::string make =
        "cd '" + d +
        "' && "
        "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 1 -subj /CN=TorvTestCA && "
        "openssl req -newkey rsa:2048 -nodes -keyout srv.key -out srv.csr -subj /CN=127.0.0.1 && "
        "printf 'subjectAltName=IP:127.0.0.1\\n' > ext && "
        "openssl x509 -req -in srv.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out srv.pem -days 1 -extfile ext";
    ASSERT_EQ(std::system(("(" + make + ") >/dev/null 2>&1").c_str()), 0);
    int port;
    {
        Listener free;
        port = free.port;
    }
    const pid_t server = ::fork();
    if (server == 0) {
        ::execlp("openssl", "openssl", "s_server", "-quiet", "-www", "-accept", std::to_string(port).c_str(), "-cert",
                 (d + "/srv.pem").c_str(), "-key", (d + "/srv.key").c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 50 && !probe(ProbeKind::Tcp, "127.0.0.1", std::to_string(port), 200).holds; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    const ProbeResult trusted = probe(ProbeKind::Http, url, {}, 3000, d + "/ca.pem");
    const ProbeResult untrusted = probe(ProbeKind::Http, url, {}, 3000);
    ::kill(server, SIGTERM);
    ::waitpid(server, nullptr, 0);
    EXPECT_TRUE(trusted.holds) << trusted.reason;
    EXPECT_FALSE(untrusted.holds);
    EXPECT_NE(untrusted.reason.find("certificate"), std::string::npos) << untrusted.reason;
}

TEST(ReadinessProbe, PathProcessAndCommand)
{
    sim::TempDir dir;
    EXPECT_FALSE(probe(ProbeKind::Path, dir.file("marker")).holds);
    dir.write("marker", "");
    EXPECT_TRUE(probe(ProbeKind::Path, dir.file("marker")).holds);

    EXPECT_TRUE(probe(ProbeKind::Process, "torv_adapter_tests").holds);
    EXPECT_FALSE(probe(ProbeKind::Process, "torv_adapter").holds); // the whole name, not a prefix
    EXPECT_TRUE(probe(ProbeKind::Process, std::filesystem::read_symlink("/proc/self/exe").string()).holds);
    // The command name, which a process may set (and a link to it sets).
    ::prctl(PR_SET_NAME, "torv-renamed");
    const bool byCommandName = probe(ProbeKind::Process, "torv-renamed").holds;
    ::prctl(PR_SET_NAME, "torv_adapter_te");
    EXPECT_TRUE(byCommandName);

    EXPECT_TRUE(probe(ProbeKind::Command, "true").holds);
    EXPECT_EQ(probe(ProbeKind::Command, "sh -c \"exit 3\"").reason, "exit status 3");
    EXPECT_FALSE(probe(ProbeKind::Command, "/no/such/program").holds);
    // At its limit the command is killed with everything it started.
    const std::string pidFile = dir.file("child.pid");
    const ProbeResult hung = probe(ProbeKind::Command, "sh -c \"sleep 30 & echo $! > " + pidFile + "; wait\"", {}, 500);
    EXPECT_EQ(hung.reason, "still running at its time limit; stopped");
    const pid_t grandchild = std::stoi(dir.read("child.pid"));
    // Killed, it may linger as a zombie until whoever adopted it collects it.
    auto running = [&] {
        std::ifstream stat("/proc/" + std::to_string(grandchild) + "/stat");
        std::string pid, name, state;
        return stat >> pid >> name >> state && state != "Z";
    };
    for (int i = 0; i < 20 && running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(running()) << "the command's own child outlived it";
}

using sim::PostedCalls;

TEST(ReadinessProbe, ResultsComeBackOnTheConsolesThreadOnlyWhileTheProbeLives)
{
    PostedCalls loop;
    const auto console = std::this_thread::get_id();
    std::atomic<bool> release{false};
    std::vector<std::string> seen;
    {
        ThreadedProbe probe(loop, [&](const ProbeTarget& t) {
            while (t.target == "slow" && !release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return ProbeResult{t.target == "yes", t.target};
        });
        for (const char* target : {"yes", "no"}) {
            probe.start({ProbeKind::Path, target}, [&](ProbeResult r) {
                EXPECT_EQ(std::this_thread::get_id(), console);
                seen.push_back(r.reason + (r.holds ? "+" : "-"));
            });
            EXPECT_TRUE(seen.empty() || seen.size() == 1u) << "a result came back inside start()";
            loop.waitForEvents();
        }
        probe.start({ProbeKind::Path, "slow"}, [&](ProbeResult) { seen.push_back("after the end"); });
    }
    release = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(seen, (std::vector<std::string>{"yes+", "no-"}));
    EXPECT_TRUE(loop.calls.empty());
}

} // namespace

// The watcher's web client on the real fetch: an endless answer is cut at the
// asked-for size at once rather than read until the limit, and answers come
// back on the console's thread only while the client lives.
#include "platform/ThreadedWebClient.h"
#include "support/PostedCalls.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace torv;

namespace {

// Answers one request with 200 and a body that never ends.
struct EndlessServer {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int port = 0;
    std::atomic<bool> stop{false};
    std::thread thread;
    EndlessServer()
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        ::bind(fd, reinterpret_cast<sockaddr*>(&a), n);
        ::listen(fd, 2);
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
        port = ntohs(a.sin_port);
        thread = std::thread([this] {
            const int c = ::accept(fd, nullptr, nullptr);
            if (c < 0)
                return;
            char request[4096];
            (void)!::read(c, request, sizeof request);
            const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n203.0.113.7 ";
            (void)!::write(c, head.data(), head.size());
            const std::string filler(4096, 'x');
            while (!stop && ::send(c, filler.data(), filler.size(), MSG_NOSIGNAL) > 0) {
            }
            ::close(c);
        });
    }
    ~EndlessServer()
    {
        stop = true;
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
        thread.join();
    }
};

TEST(WebClient, AnEndlessAnswerIsCutAtTheLimitAtOnce)
{
    EndlessServer server;
    const auto start = std::chrono::steady_clock::now();
    const WebAnswer a = fetchWeb("http://127.0.0.1:" + std::to_string(server.port) + "/", {}, 5000, 64 * 1024);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3)) << "read on past the limit";
    EXPECT_TRUE(a.answered) << a.error;
    EXPECT_EQ(a.status, 200);
    EXPECT_EQ(a.body.size(), 64u * 1024);
    EXPECT_EQ(a.body.substr(0, 12), "203.0.113.7 ");
}

TEST(WebClient, AnswersComeBackOnTheConsolesThreadOnlyWhileTheClientLives)
{
    sim::PostedCalls loop;
    const auto console = std::this_thread::get_id();
    std::atomic<bool> release{false};
    std::vector<std::string> seen;
    {
        ThreadedWebClient client(loop, [&](const std::string& url, int limitMs, std::size_t maxBody) {
            while (url == "slow" && !release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            return WebAnswer{true, 200, url + " " + std::to_string(limitMs) + " " + std::to_string(maxBody), {}};
        });
        client.get("http://a/", 10000, 65536, [&](const WebAnswer& a) {
            EXPECT_EQ(std::this_thread::get_id(), console);
            seen.push_back(a.body);
        });
        EXPECT_TRUE(seen.empty()) << "an answer came back inside get()";
        loop.waitForEvents();
        client.get("slow", 1, 1, [&](const WebAnswer&) { seen.push_back("after the end"); });
    }
    release = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(seen, (std::vector<std::string>{"http://a/ 10000 65536"}));
    EXPECT_TRUE(loop.calls.empty());
}

} // namespace

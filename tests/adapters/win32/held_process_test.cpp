// A held process on Windows: its end comes back through the Qt loop's wait on
// the process handle, and end() takes what it started with its job. Only the
// marker task built with the tests (and cmd.exe) is started.
#include "platform/ProbeTries.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/win32/Launcher.h"
#include "support/TempDir.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <winsock2.h>

#include <filesystem>
#include <windows.h>

namespace torv {
namespace {

std::string besideTests(const std::string& name)
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return (std::filesystem::path(self).parent_path() / name).string();
}

// A loopback port nobody listens on now.
std::string freePort()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int n = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), n);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    ::closesocket(fd);
    return std::to_string(ntohs(a.sin_port));
}

TEST(Win32HeldProcess, AProgramAndItsChildEndWithTheJobAndTheLoopHearsIt)
{
    static int argc = 1;
    static char name[] = "torv_adapter_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QtEventLoop loop;
    sim::TempDir dir;
    // cmd.exe waits for the marker, which would listen on the port 3 s on.
    const std::string port = freePort();
    auto process = Win32Launcher().start("cmd.exe /c \"\"" + besideTests("marker.exe") + "\" \"" +
                                             dir.file("child.txt") + "\" child listen " + port + "\"",
                                         WindowStyle::Minimized);
    int status = -1;
    process->onEnd(loop, [&](int s) { status = s; });
    for (int i = 0; i < 200 && dir.read("child.txt").empty(); ++i)
        Sleep(50);
    ASSERT_FALSE(dir.read("child.txt").empty());
    EXPECT_TRUE(process->running());
    process->stop(); // no torv.exe beside the tests to send a break: nothing ends
    Sleep(300);
    EXPECT_TRUE(process->running());
    process->end();
    bool late = false;
    auto limit = loop.createTimer(10000, true, [&] { late = true; });
    while (status < 0 && !late)
        loop.waitForEvents();
    EXPECT_EQ(status, 1);
    EXPECT_FALSE(process->running());
    Sleep(4000);
    EXPECT_FALSE(tryProbeOnce({ProbeKind::Tcp, "127.0.0.1", port, {}, 1000}).holds) << "the child outlived its job";
}

} // namespace
} // namespace torv

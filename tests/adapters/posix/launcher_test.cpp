// The real POSIX launcher and the single-instance lock, on real processes and
// files inside a temporary folder. Only scripts written here are ever started.
#include "base/Failure.h"
#include "platform/ProbeTries.h"
#include "platform/posix/HeldChild.h"
#include "platform/posix/Launcher.h"
#include "platform/posix/SingleInstance.h"
#include "platform/qt/QtEventLoop.h"
#include "support/Failures.h"
#include "support/PostedCalls.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <numeric>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace torv {
namespace {

namespace fs = std::filesystem;

class Folder {
public:
    Folder()
    {
        std::string pattern = (fs::temp_directory_path() / "torv-launch-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot create a temporary folder");
        path_ = pattern;
    }
    ~Folder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string path() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    void write(const std::string& name, const std::string& text,
               fs::perms perms = fs::perms::owner_read | fs::perms::owner_write) const
    {
        fs::create_directories((path_ / name).parent_path());
        std::ofstream(path_ / name, std::ios::binary) << text;
        fs::permissions(path_ / name, perms);
    }
    std::string read(const std::string& name) const
    {
        std::ifstream in(path_ / name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool exists(const std::string& name) const { return fs::exists(path_ / name); }

private:
    fs::path path_;
};

const fs::perms kExecutable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec;

// A script that writes its pid and its arguments, one per line in brackets,
// to `marker` in one step and exits.
std::string markerScript(const Folder& dir)
{
    const std::string part = dir.file("marker.part"), marker = dir.file("marker");
    return "#!/bin/sh\n"
           "{ echo \"$$\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done; } > '" +
           part + "'\nmv '" + part + "' '" + marker + "'\n";
}

// Waits for a started program to do something; it runs on its own, so this is
// a wait with a generous limit, not a timing check.
bool eventually(const std::function<bool()>& condition)
{
    for (int i = 0; i < 500; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

int launchCode(const std::string& commandLine)
{
    return sim::failureCodeOf([&] { PosixLauncher().run(commandLine, WindowStyle::Normal); });
}

TEST(PosixLauncher, StartsAScriptWithItsArgumentsAsWords)
{
    Folder dir;
    dir.write("my tools/run.sh", markerScript(dir), kExecutable);
    std::string commandLine = "\""; // appended: "\"" + text trips a false -Wrestrict in GCC 12
    commandLine += dir.file("my tools/run.sh") + "\" \"one argument\" two \"\"";
    ASSERT_EQ(launchCode(commandLine), 0);
    ASSERT_TRUE(eventually([&] { return dir.exists("marker"); }));
    std::string marker = dir.read("marker");
    EXPECT_EQ(marker.substr(marker.find('\n') + 1), "[one argument]\n[two]\n[]\n");
}

TEST(PosixLauncher, NoShellSeesTheLine)
{
    Folder dir;
    dir.write("run.sh", markerScript(dir), kExecutable);
    const std::string pwned = dir.file("pwned");
    ASSERT_EQ(launchCode(dir.file("run.sh") + " a;touch " + pwned + " && touch " + pwned + " $(touch " + pwned +
                         ") `touch " + pwned + "`"),
              0);
    ASSERT_TRUE(eventually([&] { return dir.exists("marker"); }));
    std::string marker = dir.read("marker");
    EXPECT_EQ(marker.substr(marker.find('\n') + 1), "[a;touch]\n[" + pwned + "]\n[&&]\n[touch]\n[" + pwned +
                                                        "]\n[$(touch]\n[" + pwned + ")]\n[`touch]\n[" + pwned + "`]\n");
    EXPECT_FALSE(dir.exists("pwned"));

    // A program name with a separator in it is just a missing program.
    EXPECT_EQ(launchCode(dir.file("run.sh") + ";touch " + pwned), 53);
    EXPECT_FALSE(dir.exists("pwned"));
}

TEST(PosixLauncher, MissingAndNotPermittedPrograms)
{
    Folder dir;
    EXPECT_EQ(launchCode(dir.file("missing.sh")), 53);
    EXPECT_EQ(launchCode(dir.file("no-folder/missing.sh") + " arg"), 53);
    EXPECT_EQ(launchCode("torv-no-such-program-on-the-path"), 53);
    EXPECT_EQ(launchCode(""), 53);
    EXPECT_EQ(launchCode("   "), 53);

    // No execute bit at all is refused even for root.
    dir.write("plain.sh", markerScript(dir), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(launchCode(dir.file("plain.sh")), 70);
    fs::create_directory(dir.file("folder"));
    EXPECT_EQ(launchCode(dir.file("folder")), 70);
    // A NUL byte would cut the line short; the whole line is refused instead.
    dir.write("run.sh", markerScript(dir), kExecutable);
    EXPECT_EQ(launchCode(dir.file("run.sh") + std::string("\0", 1) + "x"), 5);
    EXPECT_EQ(launchCode(dir.file("run.sh") + " a" + std::string("\0", 1) + "b"), 5);
    EXPECT_FALSE(dir.exists("marker"));
}

TEST(PosixLauncher, AMissingTextEditorNamesWhatWasTried)
{
    Folder dir;
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", dir.file("nothing-here").c_str(), 1);
    PosixLauncher launcher;
    try {
        launcher.openInTextEditor("/srv/my notes.txt");
        ADD_FAILURE() << "opened without xdg-open";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.message(), "53 File not found\nCommand line: xdg-open \"/srv/my notes.txt\"");
    }
    ::setenv("PATH", path.c_str(), 1);
}

bool zombieChildOfOurs()
{
    const std::string ours = std::to_string(::getpid());
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat))
            continue;
        // pid (comm) state ppid ...; comm may hold blanks, so read after the last ')'.
        auto close = stat.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(stat.substr(close + 1));
        std::string state, ppid;
        rest >> state >> ppid;
        if (state == "Z" && ppid == ours)
            return true;
    }
    return false;
}

TEST(PosixLauncher, AProgramRunAndForgottenIsCollectedWhenItEnds)
{
    Folder dir;
    dir.write("run.sh", markerScript(dir), kExecutable);
    ASSERT_EQ(launchCode(dir.file("run.sh")), 0);
    ASSERT_TRUE(eventually([&] { return dir.exists("marker"); }));
    const std::string pid = dir.read("marker").substr(0, dir.read("marker").find('\n'));
    // Ended, it is collected by the waiter without anyone asking: gone from
    // the process table, and nothing of ours is left to wait for.
    ASSERT_TRUE(eventually([&] { return !fs::exists("/proc/" + pid); }));
    EXPECT_FALSE(zombieChildOfOurs());
    errno = 0;
    EXPECT_EQ(::waitpid(std::stoi(pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST(PosixLauncher, AStartedProgramIsHeldInItsOwnSessionAndItsStatusComesBack)
{
    Folder dir;
    // Its pid, its session, its blocked signals; then a failure status. The
    // mask is read first and with built-ins only: while the shell forks a
    // command it blocks signals for a moment, and a look from outside could
    // catch that.
    dir.write(
        "run.sh",
        "#!/bin/sh\nwhile read -r key value; do [ \"$key\" = SigBlk: ] && blocked=$value; done < /proc/$$/status\n"
        "{ echo $$; cut -d' ' -f6 /proc/$$/stat; printf 'SigBlk:\\t%s\\n' \"$blocked\"; } > '" +
            dir.file("marker") + "'\nexit 7\n",
        kExecutable);
    sigset_t usr1, old;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, &old);
    auto process = PosixLauncher().start(dir.file("run.sh"), WindowStyle::Normal);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);

    sim::PostedCalls loop;
    int status = -1;
    process->onEnd(loop, [&](int s) { status = s; });
    loop.waitForEvents();
    EXPECT_EQ(status, 7);
    std::istringstream marker(dir.read("marker"));
    std::string pid, session, blocked;
    std::getline(marker, pid);
    std::getline(marker, session);
    std::getline(marker, blocked);
    EXPECT_EQ(session, pid);
    EXPECT_EQ(blocked, "SigBlk:\t0000000000000000");
    // Collected by its waiter: no zombie, nothing left to wait for.
    errno = 0;
    EXPECT_EQ(::waitpid(std::stoi(pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_FALSE(zombieChildOfOurs());
    EXPECT_EQ(sim::failureCodeOf([] { PosixLauncher().start("/no/such/program", WindowStyle::Normal); }), 53);
}

// A held process ended by end(), and a command check's try however it ends,
// take what they started in their group with them.
TEST(ProcessGroups, AnEndedProcessAndAFinishedTryLeaveNothingInTheirGroup)
{
    Folder dir;
    const std::string pids = dir.file("pids");
    auto runs = [&] { // killed, it may linger as a zombie until collected
        std::ifstream in(pids), stat;
        std::string pid, number, name, state;
        std::getline(in, pid);
        stat.open("/proc/" + pid + "/stat");
        return !pid.empty() && stat >> number >> name >> state && state != "Z";
    };
    auto process =
        PosixLauncher().startWithEnvironment("sh -c \"sleep 30 & echo $! > " + pids + "; exec sleep 30\"", {});
    ASSERT_TRUE(eventually([&] { return runs(); }));
    sim::PostedCalls loop;
    int status = -1;
    process->onEnd(loop, [&](int s) { status = s; });
    process->end();
    loop.waitForEvents();
    EXPECT_EQ(status, 128 + SIGKILL);
    EXPECT_TRUE(eventually([&] { return !runs(); })) << "the held process's child outlived end()";
    process->end(); // collected already: nothing to end

    const std::string check = "sh -c \"sleep 30 & echo $! > " + pids + "; exit 1\"";
    EXPECT_EQ(tryProbeOnce({ProbeKind::Command, check}).reason, "exit status 1");
    EXPECT_TRUE(eventually([&] { return !runs(); })) << "the try's child outlived it";
}

TEST(SingleInstanceLock, OneHolderPerProgramFolder)
{
    Folder prog, other;
    auto first = std::make_unique<SingleInstanceLock>();
    SingleInstanceLock second, elsewhere;
    EXPECT_FALSE(first->anotherRunning(prog.path()));
    EXPECT_FALSE(first->anotherRunning(prog.path())); // a reload asks again
    EXPECT_TRUE(second.anotherRunning(prog.path()));
    EXPECT_FALSE(elsewhere.anotherRunning(other.path()));

    // The lock ends with its holder.
    first.reset();
    EXPECT_FALSE(second.anotherRunning(prog.path()));
    SingleInstanceLock third;
    EXPECT_TRUE(third.anotherRunning(prog.path()));
}

TEST(SingleInstanceLock, NoFolderToLockMeansRunning)
{
    Folder dir;
    SingleInstanceLock a, b;
    EXPECT_FALSE(a.anotherRunning(dir.file("missing")));
    EXPECT_FALSE(b.anotherRunning(dir.file("missing")));
}

TEST(PosixLauncher, AStartedAlertGetsItsVariablesBesidesTheConsolesOwn)
{
    Folder dir;
    dir.write("env.sh", "#!/bin/sh\nenv > '" + dir.file("env") + "'\nexit 3\n", kExecutable);
    ::setenv("TORV_MESSAGE", "the console's own, replaced", 1);
    ::setenv("TORV_KEPT", "kept", 1);
    auto process = PosixLauncher().startWithEnvironment(
        dir.file("env.sh"), {{"TORV_MESSAGE", "it's \"quoted\"; $(not run)"}, {"TORV_TASK", "2"}});
    ::unsetenv("TORV_MESSAGE");
    ::unsetenv("TORV_KEPT");
    sim::PostedCalls loop;
    int status = -1;
    process->onEnd(loop, [&](int s) { status = s; });
    loop.waitForEvents();
    EXPECT_EQ(status, 3);
    const std::string env = "\n" + dir.read("env");
    EXPECT_NE(env.find("\nTORV_MESSAGE=it's \"quoted\"; $(not run)\n"), std::string::npos) << env;
    EXPECT_NE(env.find("\nTORV_TASK=2\n"), std::string::npos);
    EXPECT_NE(env.find("\nTORV_KEPT=kept\n"), std::string::npos);
    EXPECT_EQ(env.find("replaced"), std::string::npos);
    EXPECT_EQ(sim::failureCodeOf([] { PosixLauncher().startWithEnvironment("/no/such/alert", {}); }), 53);
}

int threadsOfOurs()
{
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

// Waits on the real loop until `done`, at most 20 s (a timer of the loop wakes it).
bool waitOnLoop(QtEventLoop& loop, const std::function<bool()>& done)
{
    bool late = false;
    auto limit = loop.createTimer(20000, true, [&] { late = true; });
    while (!done() && !late)
        loop.waitForEvents();
    return done();
}

QtEventLoop& qtLoop()
{
    static int argc = 1;
    static char name[] = "torv_adapter_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static QtEventLoop loop;
    return loop;
}

// Many held children, each end reported once through the loop, by a pidfd
// each (or SIGCHLD, where none can be had), with a thread for none of them;
// those whose handle was dropped or never listened to are collected all the
// same.
TEST(HeldChildren, ManyEndsThroughOneLoopLeaveNoZombieAndNoThreadEach)
{
    QtEventLoop& loop = qtLoop();
    for (const auto& [bySignal, count] : {std::pair{false, 200}, std::pair{true, 20}}) {
        SCOPED_TRACE(bySignal ? "SIGCHLD" : "pidfd");
        watchHeldChildrenBySignal(bySignal);
        const int threadsBefore = threadsOfOurs();
        std::vector<std::unique_ptr<RunningProcess>> kept;
        std::vector<int> reports(count, 0), statuses(count, -1);
        int listened = 0;
        for (int i = 0; i < count; ++i) {
            auto process =
                PosixLauncher().start("sh -c \"sleep 0.5; exit " + std::to_string(i % 5) + "\"", WindowStyle::Normal);
            if (i % 10 == 3)
                continue; // dropped at once
            if (i % 10 != 7)
                process->onEnd(loop, [&, i](int s) { ++reports[i], statuses[i] = s; });
            if (i % 10 == 5)
                continue; // dropped while the loop watched it: no report
            listened += i % 10 != 7;
            kept.push_back(std::move(process));
        }
        EXPECT_LE(threadsOfOurs(), threadsBefore + 2);
        ASSERT_TRUE(waitOnLoop(loop, [&] { return std::count(reports.begin(), reports.end(), 1) == listened; }));
        for (int i = 0; i < count; ++i) {
            if (i % 10 != 3 && i % 10 != 5 && i % 10 != 7) {
                EXPECT_EQ(statuses[i], i % 5) << i;
            }
        }
        waitOnLoop(loop, [&] { return !zombieChildOfOurs(); });
        EXPECT_FALSE(zombieChildOfOurs());
        for (const auto& process : kept)
            EXPECT_FALSE(process->running());
        EXPECT_EQ(std::accumulate(reports.begin(), reports.end(), 0), listened) << "an end reported twice";
    }
    watchHeldChildrenBySignal(false);
}

// stop() asks the whole group with SIGTERM; one that ignores it runs on until end().
TEST(HeldChildren, StopReachesTheGroupAndEndFollowsOneThatIgnoresIt)
{
    QtEventLoop& loop = qtLoop();
    Folder dir;
    const std::string pids = dir.file("pids");
    auto grandchildRuns = [&] {
        std::ifstream in(pids), stat;
        std::string pid, number, name, state;
        std::getline(in, pid);
        stat.open("/proc/" + pid + "/stat");
        return !pid.empty() && stat >> number >> name >> state && state != "Z";
    };
    int status = -1;
    auto polite = PosixLauncher().start("sh -c \"sleep 30 & echo $! > " + pids + "; wait\"", WindowStyle::Normal);
    polite->onEnd(loop, [&](int s) { status = s; });
    ASSERT_TRUE(eventually(grandchildRuns));
    polite->stop();
    ASSERT_TRUE(waitOnLoop(loop, [&] { return status >= 0; }));
    EXPECT_EQ(status, 128 + SIGTERM);
    EXPECT_TRUE(eventually([&] { return !grandchildRuns(); })) << "the grandchild outlived stop()";

    status = -1;
    auto stubborn = PosixLauncher().start("sh -c \"trap '' TERM; echo $$ > " + pids + "; while :; do sleep 1; done\"",
                                          WindowStyle::Normal);
    stubborn->onEnd(loop, [&](int s) { status = s; });
    ASSERT_TRUE(eventually(grandchildRuns));
    stubborn->stop();
    auto grace = loop.createTimer(300, true, [] {});
    loop.waitForEvents();
    EXPECT_TRUE(stubborn->running());
    stubborn->end();
    ASSERT_TRUE(waitOnLoop(loop, [&] { return status >= 0; }));
    EXPECT_EQ(status, 128 + SIGKILL);
    EXPECT_FALSE(stubborn->running());
    stubborn->end(); // collected: nothing is signalled any more
}

} // namespace
} // namespace torv

// What holding programs costs the console: 100 held programs on the real
// launcher and Qt loop, first idle (each sleeps an hour), then each ending
// every few seconds and started again at once from its end's report. Prints
// the console process's own CPU time (children excluded) as a share of one
// core, the most threads seen beside the ones before the first start, and
// whether any zombie is left. Goals: idle <= 0.1 %, churning <= 0.5 %, at
// most 2 extra threads, no zombie.
// Usage: build/bench/held_processes [programs=100] [seconds between ends=5] [seconds measured=30]
#include "platform/posix/Launcher.h"
#include "platform/qt/QtEventLoop.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace torv;

double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

int threads()
{
    namespace fs = std::filesystem;
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()));
}

int zombies()
{
    const std::string ours = std::to_string(::getpid());
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat) || stat.rfind(')') == std::string::npos)
            continue;
        std::string state, ppid;
        std::istringstream(stat.substr(stat.rfind(')') + 1)) >> state >> ppid;
        count += state == "Z" && ppid == ours;
    }
    return count;
}

// Runs the loop for `seconds`; the CPU share of one core and the most threads seen.
std::pair<double, int> measure(QtEventLoop& loop, int seconds)
{
    int most = threads();
    auto sample = loop.createTimer(1000, true, [&] { most = std::max(most, threads()); });
    bool over = false;
    auto end = loop.createTimer(seconds * 1000, true, [&] { over = true; });
    const double before = cpuSeconds();
    while (!over)
        loop.waitForEvents();
    return {100.0 * (cpuSeconds() - before) / seconds, most};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100;
    const int every = argc > 2 ? std::atoi(argv[2]) : 5;
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
    QtEventLoop loop;
    PosixLauncher launcher;
    const int threadsBefore = threads();

    std::vector<std::unique_ptr<RunningProcess>> idle;
    for (int i = 0; i < count; ++i) {
        idle.push_back(launcher.start("sleep 3600", WindowStyle::Normal));
        idle.back()->onEnd(loop, [](int) {});
    }
    const auto [idleCpu, idleThreads] = measure(loop, seconds);
    std::printf("idle: %d held programs, %d s: %.3f %% of a core, %+d threads\n", count, seconds, idleCpu,
                idleThreads - threadsBefore);
    for (auto& process : idle)
        process->end();
    idle.clear();

    // Each program sleeps `every` seconds; the first ones are spread over
    // that time so that ends come evenly.
    std::vector<std::unique_ptr<RunningProcess>> held(count);
    long ends = 0;
    std::function<void(int, const std::string&)> startOne = [&](int i, const std::string& line) {
        held[i] = launcher.start(line, WindowStyle::Normal);
        held[i]->onEnd(loop, [&, i](int) {
            ++ends;
            startOne(i, "sleep " + std::to_string(every));
        });
    };
    for (int i = 0; i < count; ++i)
        startOne(i, "sleep " + std::to_string(static_cast<double>(every) * (i + 1) / count));
    const auto [churnCpu, churnThreads] = measure(loop, seconds);
    std::printf("churn: %d held programs ending every %d s, %ld ends in %d s: %.3f %% of a core, %+d threads\n", count,
                every, ends, seconds, churnCpu, churnThreads - threadsBefore);
    for (auto& process : held)
        process->end();
    held.clear();
    bool over = false;
    auto settle = loop.createTimer(1000, true, [&] { over = true; });
    while (!over)
        loop.waitForEvents();
    std::printf("zombies left: %d\n", zombies());
    return 0;
}

// The /proc/stat CPU usage component on stat files written by the test.
#include "base/Failure.h"
#include "platform/posix/CpuUsage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

using namespace torv;

namespace {

// A stat file whose aggregate line has these counters (user nice system idle
// iowait irq softirq steal guest guest_nice).
std::string statFile(std::vector<unsigned long long> c)
{
    std::string line = "cpu ";
    for (auto v : c)
        line += " " + std::to_string(v);
    return line + "\ncpu0 1 2 3 4 5 6 7 8 0 0\nintr 12 3\nctxt 99\n";
}

} // namespace

TEST(ProcStatCpuUsageTest, MeasuresBusyShareBetweenCalls)
{
    sim::TempDir dir;
    // Since boot this machine is 15 % busy.
    dir.write("stat", statFile({1000, 0, 500, 8000, 500, 0, 0, 0, 0, 0}));
    int intervals = 0;
    ProcStatCpuUsage cpu(dir.file("stat"), [&] {
        ++intervals;
        // 70 busy ticks (guest time is already part of user), 30 idle or waiting.
        dir.write("stat", statFile({1030, 10, 520, 8020, 510, 5, 3, 2, 30, 0}));
    });
    EXPECT_EQ(cpu.cpuuse(), 70);
    dir.write("stat", statFile({1031, 10, 520, 8022, 510, 5, 3, 2, 30, 0}));
    EXPECT_EQ(cpu.cpuuse(), 33);
    dir.write("stat", statFile({1033, 10, 520, 8023, 510, 5, 3, 2, 30, 0}));
    EXPECT_EQ(cpu.cpuuse(), 67);
    // Nothing counted since the last call: the last answer stands.
    EXPECT_EQ(cpu.cpuuse(), 67);
    EXPECT_EQ(intervals, 1);
}

TEST(ProcStatCpuUsageTest, CounterThatWentDownStartsAFreshInterval)
{
    sim::TempDir dir;
    dir.write("stat", statFile({100, 0, 100, 800, 0, 0, 0, 0}));
    ProcStatCpuUsage cpu(dir.file("stat"), [&] { dir.write("stat", statFile({150, 0, 150, 900, 0, 0, 0, 0})); });
    EXPECT_EQ(cpu.cpuuse(), 50);
    dir.write("stat", statFile({4, 0, 160, 990, 0, 0, 0, 0})); // user wrapped
    EXPECT_EQ(cpu.cpuuse(), 50);
    dir.write("stat", statFile({14, 0, 160, 1020, 0, 0, 0, 0}));
    EXPECT_EQ(cpu.cpuuse(), 25);
}

TEST(ProcStatCpuUsageTest, FirstSampleAfterAPauseIsCurrentNotTheAverageOverThePause)
{
    sim::TempDir dir;
    auto t = std::chrono::steady_clock::time_point{};
    bool busyNow = false;
    dir.write("stat", statFile({0, 0, 0, 0, 0, 0, 0, 0}));
    ProcStatCpuUsage cpu(
        dir.file("stat"),
        [&] {
            // The short interval of its own: all busy once the machine got busy.
            if (busyNow)
                dir.write("stat", statFile({300, 0, 0, 360000, 0, 0, 0, 0}));
            else
                dir.write("stat", statFile({0, 0, 0, 100, 0, 0, 0, 0}));
        },
        [&] { return t; });
    EXPECT_EQ(cpu.cpuuse(), 0);
    // An hour mostly idle, the last moments fully busy.
    t += std::chrono::hours(1);
    busyNow = true;
    dir.write("stat", statFile({200, 0, 0, 360000, 0, 0, 0, 0}));
    EXPECT_EQ(cpu.cpuuse(), 100);
    // Samples 2 s apart measure from the previous one again.
    t += std::chrono::seconds(2);
    dir.write("stat", statFile({350, 0, 0, 360050, 0, 0, 0, 0}));
    EXPECT_EQ(cpu.cpuuse(), 50);
}

TEST(ProcStatCpuUsageTest, MalformedOrMissingFileIsAFailure)
{
    sim::TempDir dir;
    for (std::string bad : {"", "intr 1 2\n", "cpu  12 abc 3 4\n", "cpu  1 2 3\n", "cpu  -1 2 3 4\n",
                            "cpu  99999999999999999999999 1 2 3\n"}) {
        dir.write("stat", bad);
        ProcStatCpuUsage cpu(dir.file("stat"), [] {});
        EXPECT_THROW(cpu.cpuuse(), Failure) << bad;
    }
    // Going bad after good samples, then recovering.
    dir.write("stat", statFile({100, 0, 100, 800}));
    ProcStatCpuUsage cpu(dir.file("stat"), [&] { dir.write("stat", statFile({110, 0, 100, 810})); });
    EXPECT_EQ(cpu.cpuuse(), 50);
    dir.write("stat", "garbage\n");
    EXPECT_THROW(cpu.cpuuse(), Failure);
    dir.write("stat", statFile({140, 0, 100, 820}));
    EXPECT_EQ(cpu.cpuuse(), 75);
    try {
        ProcStatCpuUsage(dir.file("absent"), [] {}).cpuuse();
        ADD_FAILURE() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code, 53);
    }
}

TEST(ProcStatCpuUsageTest, FactoryKnowsOnlyItsNameAndNeedsAStatFile)
{
    sim::TempDir dir;
    dir.write("stat", statFile({1, 2, 3, 4}));
    PosixCpuUsageFactory factory(dir.file("stat"));
    EXPECT_NE(factory.create("cpumon.cpuuse"), nullptr);
    EXPECT_NE(factory.create("CPUMon.CpuUse"), nullptr);
    EXPECT_THROW(factory.create("cpumon.other"), Failure);
    PosixCpuUsageFactory nowhere(dir.file("absent"));
    EXPECT_THROW(nowhere.create("cpumon.cpuuse"), Failure);
    if (std::filesystem::exists("/proc/stat")) {
        double v = PosixCpuUsageFactory().create("cpumon.cpuuse")->cpuuse();
        EXPECT_GE(v, 0);
        EXPECT_LE(v, 100);
    }
}

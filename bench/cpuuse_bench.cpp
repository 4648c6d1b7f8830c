// Cost of one CPU usage sample on this machine, and (with --sample) the
// readings themselves, for checking them against a known load.
#include "platform/posix/CpuUsage.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// Every call after the first: one read of /proc/stat and a division.
void BM_cpuuse(benchmark::State& state)
{
    auto cpu = torv::PosixCpuUsageFactory().create(torv::kCpuUsageProgId);
    cpu->cpuuse();
    for (auto _ : state)
        benchmark::DoNotOptimize(cpu->cpuuse());
}
BENCHMARK(BM_cpuuse)->Unit(benchmark::kMicrosecond);

// The first call measures over its own short interval.
void BM_cpuuse_first(benchmark::State& state)
{
    for (auto _ : state) {
        auto cpu = torv::PosixCpuUsageFactory().create(torv::kCpuUsageProgId);
        benchmark::DoNotOptimize(cpu->cpuuse());
    }
}
BENCHMARK(BM_cpuuse_first)->Unit(benchmark::kMillisecond)->Iterations(3);

int sample(int count)
{
    auto cpu = torv::PosixCpuUsageFactory().create(torv::kCpuUsageProgId);
    std::printf("first %.0f %%\n", cpu->cpuuse());
    for (int i = 1; i <= count; ++i) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        std::printf("sample %d %.0f %%\n", i, cpu->cpuuse());
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--sample") == 0)
            return sample(i + 1 < argc && std::atoi(argv[i + 1]) > 0 ? std::atoi(argv[i + 1]) : 10);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Cost of the two listeners: one metrics write (the figures of 20 tasks
// formatted, written, synced and renamed into place), and the time the
// console's thread spends starting one alert command, which is all an alert
// can take from the sequence (the command is never waited for).
#include "alerts/Alert.h"
#include "alerts/MetricsWriter.h"
#include "support/SimPlatform.h"
#include "support/TempDir.h"

#ifndef _WIN32
#include "platform/posix/Launcher.h"
#endif

#include <benchmark/benchmark.h>

namespace {

using namespace torv;

void BM_metrics_write(benchmark::State& state)
{
    sim::TempDir folder;
    sim::SimEventLoop events;
    sim::SimClock clock(events);
    MetricsWriter writer(events, clock, "2.2.8", [&](const std::string& line) { state.SkipWithError(line.c_str()); });
    writer.configure(folder.file("torv.prom"));
    for (int task = 1; task <= 20; ++task)
        writer.notify(consoleEvent(Event::TaskLaunched, task, "Task number " + std::to_string(task)));
    ConsoleEvent command = consoleEvent(Event::Command);
    command.kind = "report";
    for (auto _ : state)
        writer.notify(command); // one write each
}
BENCHMARK(BM_metrics_write)->Unit(benchmark::kMicrosecond);

#ifndef _WIN32
void BM_alert_start(benchmark::State& state)
{
    PosixLauncher launcher;
    const ConsoleEvent event = consoleEvent(Event::LaunchFailed, 2, "Missing Tool", "53 File not found", "53");
    for (auto _ : state) {
        const auto env = alertEnvironment(event, "srv1", "2026-12-07T09:05:00Z");
        auto process = launcher.startWithEnvironment("true", {env.begin(), env.end()});
        benchmark::DoNotOptimize(process);
    }
}
BENCHMARK(BM_alert_start)->Unit(benchmark::kMicrosecond)->Iterations(300);
#endif

} // namespace

BENCHMARK_MAIN();

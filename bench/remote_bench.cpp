// Cost of the remote poll when the folder is idle (every ten seconds, for the
// life of the program) and of one result file holding a large log.
#include "remote/CommandInterface.h"
#include "remote/ResultFile.h"
#include "support/ConsoleFixture.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace torv;

// The idle poll: the folder exists and holds no command file.
void BM_idle_poll(benchmark::State& state)
{
    sim::SimConsole console; // a console that is never started
    Form1& form = *console.form;
    form.state().settings.ExchangeDir = console.exchange.path();
    for (auto _ : state)
        form.remote().Command_Interface();
    if (!form.state().DumpString.text().empty() || console.exchange.exists("Result.txt"))
        state.SkipWithError("an idle poll changed something");
}
BENCHMARK(BM_idle_poll)->Unit(benchmark::kMicrosecond);

// One result file from a 1 MiB log: written whole, synced, renamed into place.
void BM_result_file_1MiB(benchmark::State& state)
{
    sim::TempDir folder;
    std::string log;
    const std::string line = "Executing Remote Command:/srv/jobs/nightly-backup.sh --full at:7 Dec 2026:09:05:00\r\n";
    while (log.size() < (1u << 20))
        log += line;
    log.resize(1u << 20);
    for (auto _ : state)
        writeResultFile(folder.path(), log);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(log.size()));
    if (std::filesystem::file_size(folder.file("Result.txt")) != log.size() + 2)
        state.SkipWithError("the result file has the wrong size");
}
BENCHMARK(BM_result_file_1MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

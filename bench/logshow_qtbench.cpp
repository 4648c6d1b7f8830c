// Showing the log after one new entry must cost the same whatever the log's
// size: the window appends the tail instead of replacing its whole text.
#include "console/ConsoleWindow.h"
#include "core/Log.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

void BM_AppendEntryToLogOfSize(benchmark::State& state)
{
    torv::ConsoleWindow window;
    torv::Log log;
    const std::string entry = "Executing Remote Command:/opt/tools/backup.sh --full at:7 Dec 2026:04:30:55";
    while (log.size() < static_cast<size_t>(state.range(0)))
        log.append(entry);
    window.setLogText(log.text());
    for (auto _ : state) {
        window.appendLogText(entry + "\r\n");
        QCoreApplication::processEvents();
    }
    state.SetLabel(std::to_string(state.range(0) / 1024) + " KiB log");
}
BENCHMARK(BM_AppendEntryToLogOfSize)->Arg(16 << 10)->Arg(1 << 20)->Arg(8 << 20)->Unit(benchmark::kMicrosecond);

// For comparison: what replacing the whole text would cost.
void BM_ReplaceWholeLogOfSize(benchmark::State& state)
{
    torv::ConsoleWindow window;
    torv::Log log;
    while (log.size() < static_cast<size_t>(state.range(0)))
        log.append("Executing Remote Command:/opt/tools/backup.sh --full at:7 Dec 2026:04:30:55");
    for (auto _ : state) {
        window.setLogText(log.text());
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ReplaceWholeLogOfSize)->Arg(16 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

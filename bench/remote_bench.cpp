// Cost of the remote poll when the folder is idle (every ten seconds, for the
// life of the program) and of one result file holding a large log.
#include "console/Form1.h"
#include "remote/ResultFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace torv;

// Just enough of a platform for a console that is never started.
struct NoTimer : Timer {
    bool on = false;
    void setEnabled(bool e) override { on = e; }
    bool enabled() const override { return on; }
    int intervalMs() const override { return 0; }
};
struct NoEvents : EventLoop {
    void processPending() override {}
    void waitForEvents() override { std::abort(); }
    std::unique_ptr<Timer> createTimer(int, bool, std::function<void()>) override
    {
        return std::make_unique<NoTimer>();
    }
};
struct FixedClock : Clock {
    DateTimeFields now() const override { return {2026, 12, 7, 9, 5, 0}; }
    std::string dateText() const override { return "7 Dec 2026"; }
    std::string timeText() const override { return "09:05:00"; }
};
struct NoLauncher : Launcher {
    void run(const std::string&, WindowStyle) override { std::abort(); }
    void openInTextEditor(const std::string&) override { std::abort(); }
};
struct NoSound : Sound {
    void play(const std::string&) override {}
};
struct NoDialogs : Dialogs {
    Answer messageBox(const std::string&, bool) override { return Answer::Ok; }
    void showSettingsEditor() override {}
    std::string openFile(const OpenFileRequest&) override { return {}; }
};
struct FixedProgram : Program {
    std::string folder() const override { return "/nonexistent"; }
    std::string driveRoot() const override { return "/nonexistent"; }
    Version version() const override { return {}; }
    std::string fileDescription() const override { return "bench"; }
    std::optional<std::string> environment(const std::string&) const override { return {}; }
    bool anotherInstanceRunning() override { return false; }
    [[noreturn]] void endNow() override { std::abort(); }
};
struct NoTray : TrayShell {
    TrayWindow openWindow(std::function<void(int)>) override { return {}; }
    void closeWindow() override {}
    void notifyIcon(NotifyIconMessage, const NotifyIconData&) override {}
    int popUpMenu(const std::vector<TrayMenuEntry>&, int) override { return -1; }
    bool available() const override { return false; }
};
struct NoCpu : CpuUsageFactory {
    std::unique_ptr<CpuUsage> create(const std::string&) override { return nullptr; }
};
struct NoScope : ScopeView {
    void clear() override {}
    void drawLine(double, double, double, double) override {}
    void setValueText(const std::string&) override {}
};
struct NoView : ConsoleView {
    NoScope scopeView;
    void setCaption(const std::string&) override {}
    void setStatus(const std::string&) override {}
    void setLogText(const std::string&) override {}
    void appendLogText(const std::string&) override {}
    void setControlEnabled(Control, bool) override {}
    void setToggleValue(Control, bool) override {}
    void moveToTwips(int, int) override {}
    void showWindow() override {}
    void hideWindow() override {}
    void minimizeWindow() override {}
    void focusWindow() override {}
    ScopeView& scope() override { return scopeView; }
};

struct Platform {
    NoEvents events;
    FixedClock clock;
    NoLauncher launcher;
    NoSound sound;
    NoDialogs dialogs;
    FixedProgram program;
    NoTray tray;
    NoCpu cpu;
    NoView view;
};

// A fresh folder under the system's temporary folder, removed at the end.
struct ScratchFolder {
    std::filesystem::path path;
    ScratchFolder()
    {
        path = std::filesystem::temp_directory_path() / ("torv-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() { std::filesystem::remove_all(path); }
};

// The idle poll: the folder exists and holds no command file.
void BM_idle_poll(benchmark::State& state)
{
    ScratchFolder folder;
    Platform p;
    Form1 form(Ports{p.events, p.clock, p.launcher, p.sound, p.dialogs, p.program, p.tray, p.cpu, 0}, p.view);
    form.settings.ExchangeDir = folder.path.string();
    for (auto _ : state)
        form.Command_Interface();
    if (!form.DumpString.text().empty() || std::filesystem::exists(folder.path / "Result.txt"))
        state.SkipWithError("an idle poll changed something");
}
BENCHMARK(BM_idle_poll)->Unit(benchmark::kMicrosecond);

// One result file from a 1 MiB log: written whole, synced, renamed into place.
void BM_result_file_1MiB(benchmark::State& state)
{
    ScratchFolder folder;
    std::string log;
    const std::string line = "Executing Remote Command:/srv/jobs/nightly-backup.sh --full at:7 Dec 2026:09:05:00\r\n";
    while (log.size() < (1u << 20))
        log += line;
    log.resize(1u << 20);
    for (auto _ : state)
        writeResultFile(folder.path.string(), log);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(log.size()));
    if (std::filesystem::file_size(folder.path / "Result.txt") != log.size() + 2)
        state.SkipWithError("the result file has the wrong size");
}
BENCHMARK(BM_result_file_1MiB)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

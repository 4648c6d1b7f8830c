// Wires the adapters of a console without a window: the same logic as the
// window, with a journal for a view and a tray, chart and editor that are not
// there.
#include "app/Headless.h"

#include "app/WindowModule.h"

#include "console/Form1.h"
#include "headless/GatedSound.h"
#include "headless/HeadlessConsole.h"
#include "headless/HeadlessDialogs.h"
#include "headless/Inert.h"
#include "headless/JournalView.h"
#include "headless/ServiceLifecycle.h"
#include "headless/ServiceNotifier.h"
#include "platform/Platform.h"
#include "platform/ThreadedProbe.h"
#include "platform/ThreadedWebClient.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtEventLoop.h"
#include "ports/ServiceHost.h"
#include "ports/ServiceManager.h"
#include "ports/SoundOutput.h"
#include "ports/StandardStreams.h"

#include <QCoreApplication>

#include <cstdio>
#include <memory>

namespace torv {

namespace {

// The cue player of the window module, loaded at the first cue that can
// sound: on a machine without sound the GUI and multimedia libraries never
// load.
class ModuleSound : public Sound {
public:
    void play(const std::string& path) override
    {
        if (!tried_) {
            tried_ = true;
            std::string why;
            player_ = windowmodule::newSound(why);
            if (!player_)
                std::fprintf(stderr, "torv: no cues: %s\n", why.c_str());
        }
        if (player_)
            player_->play(path);
    }

private:
    bool tried_ = false;
    std::unique_ptr<Sound> player_;
};

// The service's lines: where the service manager's system keeps them.
class ServiceSink : public LineSink {
public:
    explicit ServiceSink(ServiceHost& host) : host_(host) {}
    void out(const std::string& line) override { host_.writeLine(line, false); }
    void err(const std::string& line) override { host_.writeLine(line, true); }

private:
    ServiceHost& host_;
};

} // namespace

int runHeadless(int argc, char** argv, const std::string& serviceName)
{
    // A service connects first: the manager waits for it from its start.
    std::unique_ptr<ServiceHost> host;
    std::unique_ptr<ServiceLifecycle> lifecycle;
    if (!serviceName.empty()) {
        std::string why;
        host = connectServiceHost(serviceName, why);
        if (!host) {
            std::fprintf(stderr, "torv: %s\n", why.c_str());
            return exitstatus::NeedsSettings; // started by hand: no restart mends it
        }
        lifecycle = std::make_unique<ServiceLifecycle>(*host);
    }
    // Then: it takes the manager's variables out of the environment before
    // anything can inherit them.
    const std::unique_ptr<ServiceManager> manager = lifecycle ? nullptr : makeServiceManager();
    ServiceManager& told = lifecycle ? *lifecycle : *manager;
    // Every way the process ends reports the service stopped first.
    const auto ended = [&lifecycle](int status) {
        if (lifecycle)
            lifecycle->ended(status);
        return status;
    };
    QCoreApplication app(argc, argv);

    StdioSink stdio(streamIsJournal(StandardStream::Output), streamIsJournal(StandardStream::Error));
    std::unique_ptr<LineSink> serviceSink = host ? std::make_unique<ServiceSink>(*host) : nullptr;
    LineSink& sink = serviceSink ? *serviceSink : stdio;
    QtEventLoop events;
    QtClock clock;
    CoreAdapters platform = makeCorePlatform();
    ProgramEndHook program(*platform.program, [&ended] { ended(exitstatus::Ok); });
    ModuleSound player;
    // A service has no desktop to play a cue on (nor to show a window).
    const bool desktop = !host;
    GatedSound sound(player, [desktop] { return desktop && soundOutputThere(); });
    HeadlessDialogs dialogs(sink);
    InertTrayShell tray;
    NoCpuUsage cpu;
    ThreadedProbe probe(events);
    ThreadedWebClient web(events);
    JournalView view(sink);
    Form1 form({events, clock, *platform.launcher, sound, dialogs, program, tray, cpu, 0, probe, web}, view);
    ServiceNotifier notifier(events, told);
    form.addListener(notifier);

    // How a stop request ends the console: the system's (SIGTERM, SIGINT, a
    // console control event) and the service manager's alike, from the event
    // loop with 0, once the kept programs are stopped; a second one ends those
    // at once.
    const auto stop = [&form] { form.requestEnd(); };
    platform.stop->onStop(stop);
    if (host)
        host->onStop([&events, stop] { events.post(stop); });

    HeadlessConsole console(form, view, sink);
    const int status = console.start();
    if (status != HeadlessConsole::kKeepRunning)
        return ended(status);
    return ended(app.exec());
}

} // namespace torv

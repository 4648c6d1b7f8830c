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
#include "headless/ServiceNotifier.h"
#include "platform/Platform.h"
#include "platform/ServiceManager.h"
#include "platform/SoundOutput.h"
#include "platform/StandardStreams.h"
#include "platform/ThreadedProbe.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtEventLoop.h"

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

} // namespace

int runHeadless(int argc, char** argv)
{
    // First: it takes the manager's variables out of the environment before
    // anything can inherit them.
    const std::unique_ptr<ServiceManager> manager = makeServiceManager();
    QCoreApplication app(argc, argv);

    StdioSink sink(streamIsJournal(StandardStream::Output), streamIsJournal(StandardStream::Error));
    QtEventLoop events;
    QtClock clock;
    CoreAdapters platform = makeCorePlatform();
    ModuleSound player;
    GatedSound sound(player, soundOutputThere);
    HeadlessDialogs dialogs(sink);
    InertTrayShell tray;
    NoCpuUsage cpu;
    ThreadedProbe probe(events);
    ThreadedWebClient web(events);
    JournalView view(sink);
    Form1 form({events, clock, *platform.launcher, sound, dialogs, *platform.program, tray, cpu, 0, probe, web}, view);
    ServiceNotifier notifier(events, *manager);
    form.addListener(notifier);
    // The system's stop request (SIGTERM, SIGINT, a console control event)
    // ends the program from the event loop with 0, once the kept programs
    // are stopped; a second one ends those at once.
    platform.stop->onStop([&form] { form.requestEnd(); });

    HeadlessConsole console(form, view, sink);
    const int status = console.start();
    if (status != HeadlessConsole::kKeepRunning)
        return status;
    return app.exec();
}

} // namespace torv

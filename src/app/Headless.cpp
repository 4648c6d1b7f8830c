// Wires the adapters of a console without a window: the same logic as the
// window, with a journal for a view and a tray, chart and editor that are not
// there.
#include "app/Headless.h"

#include "console/Form1.h"
#include "headless/GatedSound.h"
#include "headless/HeadlessConsole.h"
#include "headless/HeadlessDialogs.h"
#include "headless/Inert.h"
#include "headless/JournalView.h"
#include "platform/SoundOutput.h"
#include "platform/posix/PosixLauncher.h"
#include "platform/posix/PosixStopSignal.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtProgram.h"
#include "platform/qt/QtSound.h"

#include <QCoreApplication>

namespace torv {

int runHeadless(int argc, char** argv)
{
    QCoreApplication app(argc, argv);

    StdioSink sink;
    QtEventLoop events;
    QtClock clock;
    PosixLauncher launcher;
    QtSound player;
    GatedSound sound(player, soundOutputThere);
    HeadlessDialogs dialogs(sink);
    QtProgram program;
    InertTrayShell tray;
    NoCpuUsage cpu;
    JournalView view(sink);
    Form1 form({events, clock, launcher, sound, dialogs, program, tray, cpu, 0}, view);
    // SIGTERM and SIGINT end the program from the event loop, at once, with 0.
    PosixStopSignal stop;
    stop.onStop([&form] { form.endProgram(); });

    HeadlessConsole console(form, sink);
    const int status = console.start();
    if (status != HeadlessConsole::kKeepRunning)
        return status;
    return app.exec();
}

} // namespace torv

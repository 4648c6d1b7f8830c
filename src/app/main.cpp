// The window: wires the real adapters to the console, runs start-up, then Qt's
// loop. Built into the window module, which app/Start.cpp loads only when a
// window is wanted (the headless console never loads the GUI libraries).
#include "console/ConsoleWindow.h"
#include "console/Form1.h"
#include "editor/Config.h"
#include "platform/Platform.h"
#include "platform/ThreadedProbe.h"
#include "platform/ThreadedWebClient.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "platform/qt/QtTrayShell.h"

#include <QApplication>

extern "C" Q_DECL_EXPORT int torv_window_main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    app.setWindowIcon(torv::programIcon());

    torv::QtEventLoop events;
    torv::QtClock clock;
    torv::PlatformAdapters platform = torv::makePlatform();
    torv::QtDialogs dialogs;
    torv::QtTrayShell trayShell;
    torv::ThreadedProbe probe(events);
    torv::ThreadedWebClient web(events);
    torv::ConsoleWindow window;
    const std::uint32_t consoleIcon = trayShell.registerIcon(window.windowIcon());
    torv::Form1 form({events, clock, *platform.launcher, *platform.sound, dialogs, *platform.program, trayShell,
                      *platform.cpuUsage, consoleIcon, probe, web},
                     window);
    window.attach(&form);
    dialogs.parent = &window;
    dialogs.settingsEditor = [&] {
        // Owned by the console even while that is still hidden (a first run):
        // the editor is then the console's transient, not a window of its own
        // in the taskbar. The owner needs its native window for that hint.
        window.winId();
        torv::Config editor(form.state(), form, form.ports(), &window);
        editor.exec();
    };

    form.Form_Load();
    // After an abnormal stop the window shows the error text; after a
    // sequence it is already visible.
    window.show();
    return app.exec();
}

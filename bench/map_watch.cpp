// Waits for the first top-level window to be mapped on the X display and
// prints how long after the given start time (seconds since the epoch, as
// bash's EPOCHREALTIME) that was, in milliseconds. Prints "ready" once it
// listens, so a script can start the program under test only then.
// Usage: map_watch START_TIME_FILE
#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    XSync(display, False);
    std::printf("ready\n");
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && !event.xmap.override_redirect)
            break;
    }
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    double start = 0;
    std::ifstream(argv[1]) >> start;
    std::printf("%.1f\n", (now - start) * 1000);
    XCloseDisplay(display);
    return 0;
}

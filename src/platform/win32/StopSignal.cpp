#include "platform/win32/StopSignal.h"

#include "platform/win32/ServiceHost.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <windows.h>

namespace torv {

namespace {

std::function<void()> gHandler;

BOOL WINAPI onControl(DWORD event)
{
    switch (event) {
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // A service hears any user's log-off; the manager stops it itself.
        if (runsAsService())
            return TRUE;
        [[fallthrough]];
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app,
                [] {
                    if (gHandler)
                        gHandler();
                },
                Qt::QueuedConnection);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

Win32StopSignal::Win32StopSignal()
{
    SetConsoleCtrlHandler(onControl, TRUE);
}

Win32StopSignal::~Win32StopSignal()
{
    SetConsoleCtrlHandler(onControl, FALSE);
    gHandler = nullptr;
}

void Win32StopSignal::onStop(std::function<void()> handler)
{
    gHandler = std::move(handler);
}

} // namespace torv

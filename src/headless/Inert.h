#pragma once
// The parts of a windowed console that a headless one goes without: a tray
// shell with no notification area and no CPU usage component (no chart).
#include "ports/CpuUsage.h"
#include "ports/TrayShell.h"

namespace torv {

class InertTrayShell : public TrayShell {
public:
    TrayWindow openWindow(std::function<void(int)>) override { return {}; }
    void closeWindow() override {}
    void notifyIcon(NotifyIconMessage, const NotifyIconData&) override {}
    int popUpMenu(const std::vector<TrayMenuEntry>&, int) override { return -1; }
    bool available() const override { return false; }
};

// Start-up then leaves the chart disabled and samples nothing. No component
// is the same failure as a throw, without unwinding at every headless start.
class NoCpuUsage : public CpuUsageFactory {
public:
    std::unique_ptr<CpuUsage> create(const std::string&) override { return nullptr; }
};

} // namespace torv

#pragma once
// Tells the service manager how the console is doing: ready at the first
// countdown (start-up has read its files by then), the status line as it
// changes but at most once a second, stopping at a clean end, and a sign of
// life from a timer of the console's own loop, so that a hung loop goes quiet.
#include "core/ConsoleListener.h"
#include "ports/EventLoop.h"
#include "ports/ServiceManager.h"

#include <memory>
#include <string>

namespace torv {

class ServiceNotifier : public ConsoleListener {
public:
    ServiceNotifier(EventLoop& events, ServiceManager& manager);

    void notify(const ConsoleEvent& event) override;
    void statusChanged(const std::string& text) override;
    void ending() override;

private:
    void gateTick();

    ServiceManager& manager_;
    bool ready_ = false;
    bool stopping_ = false; // the manager knows the end has begun
    std::string sent_;      // the status the manager has
    std::string pending_;   // the newest status, held while the gate is shut
    std::unique_ptr<Timer> gate_;
    std::unique_ptr<Timer> watchdog_;
};

} // namespace torv

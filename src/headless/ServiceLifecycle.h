#pragma once
// The states a service manager that waits on its services expects, in its
// order: start pending until start-up has read its files, running, stop
// pending with a check point raised at each step of the end, and stopped
// with the console's exit status, once, whichever way the console ends.
#include "ports/Program.h"
#include "ports/ServiceHost.h"
#include "ports/ServiceManager.h"

#include <cstdlib>
#include <functional>

namespace torv {

class ServiceLifecycle : public ServiceManager {
public:
    static constexpr int kStartHintMs = 30000; // reading the files, well within
    static constexpr int kStopMarginMs = 5000; // a step of the end beyond its own time-out

    // Reports start pending at once.
    explicit ServiceLifecycle(ServiceStatusPort& port);

    void ready() override;
    void status(const std::string&) override {} // the manager keeps no status line
    void stopping() override;
    void stoppingTask(int stopTimeoutMs) override;
    void watchdog() override {}
    int watchdogIntervalMs() const override { return 0; }

    // The process ends with this status: stopped, the last report.
    void ended(int exitStatus);

private:
    void send(ServicePhase phase, int waitHintMs, int exitStatus = 0);

    ServiceStatusPort& port_;
    ServicePhase phase_ = ServicePhase::StartPending;
    int checkPoint_ = 0;
};

// The program, whose ending at once (EXIT, a stop, a second copy) runs
// `beforeEnd` first: the one way out that bypasses every return path.
class ProgramEndHook : public Program {
public:
    ProgramEndHook(Program& program, std::function<void()> beforeEnd)
        : program_(program), beforeEnd_(std::move(beforeEnd))
    {
    }
    std::string folder() const override { return program_.folder(); }
    std::string driveRoot() const override { return program_.driveRoot(); }
    Version version() const override { return program_.version(); }
    std::string fileDescription() const override { return program_.fileDescription(); }
    std::optional<std::string> environment(const std::string& name) const override
    {
        return program_.environment(name);
    }
    std::string hostName() const override { return program_.hostName(); }
    std::string shutdownCommand() const override { return program_.shutdownCommand(); }
    std::string restartCommand() const override { return program_.restartCommand(); }
    ProgramFileFilters programFileFilters() const override { return program_.programFileFilters(); }
    bool anotherInstanceRunning() override { return program_.anotherInstanceRunning(); }
    [[noreturn]] void endNow() override
    {
        beforeEnd_();
        program_.endNow();
        std::abort(); // endNow never returns
    }

private:
    Program& program_;
    std::function<void()> beforeEnd_;
};

} // namespace torv

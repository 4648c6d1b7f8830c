#pragma once
// The service manager that started the console, told how it is doing: ready
// once start-up has read its files, the status line, the end, and a sign of
// life while the event loop turns. Where nothing supervises the console the
// null adapter listens to nothing.
#include <memory>
#include <string>

namespace torv {

class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    virtual void ready() = 0;
    virtual void status(const std::string& text) = 0;
    virtual void stopping() = 0;
    // The end goes on to stop one more task, which may take stopTimeoutMs.
    virtual void stoppingTask(int /*stopTimeoutMs*/) {}
    virtual void watchdog() = 0;
    // How often watchdog() is due, in milliseconds; 0 when the manager keeps
    // no watch.
    virtual int watchdogIntervalMs() const = 0;
};

class NullServiceManager : public ServiceManager {
public:
    void ready() override {}
    void status(const std::string&) override {}
    void stopping() override {}
    void watchdog() override {}
    int watchdogIntervalMs() const override { return 0; }
};

// The manager this process runs under, as its environment says; the null
// adapter when there is none. Takes what it read out of the environment, so
// that tasks, checks and alert commands never inherit it. Call once, before
// anything is launched.
std::unique_ptr<ServiceManager> makeServiceManager();

} // namespace torv

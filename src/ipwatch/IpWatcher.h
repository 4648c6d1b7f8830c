#pragma once
// The console's IPTimer: asks a web service for the machine's external
// address now and then, and acts when the address changes (a log line, the
// address file, a program to start, an alarm, an event). Opt-in: without a
// url it does nothing at all.
#include "core/ConsoleActions.h"
#include "core/Ports.h"
#include "settings/IpOptions.h"

#include <memory>
#include <string>

namespace torv {

inline constexpr int kIpFirstCheckMs = 10000;
inline constexpr int kIpFetchLimitMs = 10000;
inline constexpr std::size_t kIpMaxAnswerBytes = 64 * 1024;

class IpWatcher {
public:
    IpWatcher(ConsoleActions& console, const Ports& ports);
    ~IpWatcher();
    IpWatcher(const IpWatcher&) = delete;
    IpWatcher& operator=(const IpWatcher&) = delete;

    // Takes the [ip] section's values, at start-up and on every reload. A new
    // url or interval starts the checks afresh (the first 10 s later); other
    // values count from the next check. The known address is always kept.
    void configure(const IpOptions& options);

    // The address last seen, or empty.
    const std::string& knownAddress() const { return known_; }

private:
    void check();
    void answered(const WebAnswer& answer);
    void failed(const std::string& reason);
    void seen(const std::string& address);
    void changed(std::string from, std::string to);
    // The address the write-to file holds, or empty.
    std::string fileAddress() const;
    void writeFile(const std::string& address);
    void launch(const std::string& from, const std::string& to);

    ConsoleActions& console_;
    const Ports& ports_;
    IpOptions options_;
    std::unique_ptr<Timer> firstCheck_;
    std::unique_ptr<Timer> everyCheck_;
    std::string known_;
    bool asking_ = false;  // a GET is under way
    bool failing_ = false; // the last check failed (an outage is logged once)
    // Answers of a GET started before the url changed, or after the watcher
    // is gone, are dropped.
    std::shared_ptr<int> generation_;
};

} // namespace torv

#include "ipwatch/IpWatcher.h"

#include "base/Failure.h"
#include "core/Cues.h"
#include "ipwatch/ExternalAddress.h"
#include "ports/AtomicFile.h"
#include "ports/Files.h"

#include <algorithm>

namespace torv {

namespace {

AddressFamily familyOf(IpFamily family)
{
    return family == IpFamily::IPv6 ? AddressFamily::IPv6 : AddressFamily::IPv4;
}

const char* familyName(IpFamily family)
{
    return family == IpFamily::IPv6 ? "IPv6" : "IPv4";
}

} // namespace

IpWatcher::IpWatcher(ConsoleActions& console, const Ports& ports)
    : console_(console), ports_(ports), generation_(std::make_shared<int>(0))
{
}

IpWatcher::~IpWatcher() = default;

void IpWatcher::configure(const IpOptions& options)
{
    const bool reschedule = options.url != options_.url || options.everyMinutes != options_.everyMinutes;
    options_ = options;
    if (!reschedule)
        return;
    // A GET for the old address tells nothing about the new one.
    generation_ = std::make_shared<int>(*generation_ + 1);
    asking_ = false;
    failing_ = false;
    firstCheck_.reset();
    everyCheck_.reset();
    if (!options_.watching())
        return;
    firstCheck_ = ports_.events.createTimer(kIpFirstCheckMs, true, [this] {
        firstCheck_->setEnabled(false);
        check();
    });
    // Never a zero interval, whatever a caller hands in: that would spin.
    const int minutes = std::clamp(options_.everyMinutes, 1, kIpMaxMinutes);
    everyCheck_ = ports_.events.createTimer(minutes * 60000, true, [this] { check(); });
}

void IpWatcher::check()
{
    // A hung service is not asked twice at once; its own limit ends the GET.
    if (asking_)
        return;
    asking_ = true;
    std::weak_ptr<int> generation = generation_;
    ports_.web.get(options_.url, kIpFetchLimitMs, kIpMaxAnswerBytes, [this, generation](const WebAnswer& answer) {
        if (generation.expired())
            return;
        asking_ = false;
        answered(answer);
    });
}

void IpWatcher::answered(const WebAnswer& answer)
{
    if (!answer.answered) {
        failed(answer.error.empty() ? "no answer" : answer.error);
        return;
    }
    if (answer.status < 200 || answer.status > 299) {
        failed("status " + std::to_string(answer.status));
        return;
    }
    const auto address = firstAddress(answer.body, familyOf(options_.family));
    if (!address) {
        failed(std::string("no ") + familyName(options_.family) + " address in the answer");
        return;
    }
    if (failing_) {
        failing_ = false;
        console_.appendLog("External IP Check Working Again");
        console_.showLog();
    }
    seen(*address);
}

void IpWatcher::failed(const std::string& reason)
{
    if (failing_)
        return;
    failing_ = true;
    console_.appendLog("External IP Check Failed: " + reason);
    console_.showLog();
    console_.notify(consoleEvent(Event::IpCheckFailed, 0, {}, reason));
}

void IpWatcher::seen(const std::string& address)
{
    if (known_.empty()) {
        // An address kept in the file from an earlier run is the baseline, so
        // that a change while the console was not running is seen.
        const std::string kept = fileAddress();
        if (!kept.empty() && kept != address) {
            changed(kept, address);
            return;
        }
        known_ = address;
        console_.appendLog("External IP: " + address);
        console_.showLog();
        if (kept.empty())
            writeFile(address);
        return;
    }
    if (address != known_)
        changed(known_, address);
}

void IpWatcher::changed(std::string from, std::string to)
{
    // By value: `from` may be known_ itself, which changes here.
    known_ = to;
    const std::string line = "External IP Changed: " + from + " To " + to;
    console_.appendStamped(line + " at:");
    console_.showLog();
    writeFile(to);
    launch(from, to);
    if (options_.alarm)
        console_.playCue(cue::IpChange);
    console_.notify(consoleEvent(Event::IpChanged, 0, {}, line));
}

std::string IpWatcher::fileAddress() const
{
    if (options_.writeTo.empty())
        return {};
    try {
        const std::string text = decodeFileText(readRegularFile(options_.writeTo, 4096, Links::Follow));
        return firstAddress(text, familyOf(options_.family)).value_or("");
    } catch (const std::exception&) {
        return {}; // missing or unreadable: no baseline from it
    }
}

void IpWatcher::writeFile(const std::string& address)
{
    if (options_.writeTo.empty())
        return;
    try {
        writeFileAtomically(options_.writeTo, address + "\n");
    } catch (const Failure& failure) {
        console_.appendLog("External IP Not Written To " + options_.writeTo + ": " + failure.text());
        console_.showLog();
    }
}

void IpWatcher::launch(const std::string& from, const std::string& to)
{
    if (options_.launch.empty())
        return;
    try {
        ports_.launcher.runWithEnvironment(options_.launch, WindowStyle::Normal,
                                           {{"TORV_IP", to}, {"TORV_OLD_IP", from}});
    } catch (const Failure& failure) {
        console_.appendLog("External IP Program Not Started: " + failure.text() + " (" + options_.launch + ")");
        console_.showLog();
    }
}

} // namespace torv

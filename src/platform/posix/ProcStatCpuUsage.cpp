#include "platform/posix/ProcStatCpuUsage.h"

#include "platform/Failure.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace torv {

namespace {

// A counter is a plain run of decimal digits that fits 64 bits.
bool toCounter(const std::string& token, std::uint64_t& value)
{
    if (token.empty() || token.size() > 20)
        return false;
    std::uint64_t v = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (v > (UINT64_MAX - digit) / 10)
            return false;
        v = v * 10 + digit;
    }
    value = v;
    return true;
}

std::uint64_t sumChecked(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t s = 0;
    if (__builtin_add_overflow(a, b, &s))
        throw Failure::automationError();
    return s;
}

bool equalsNoCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

} // namespace

ProcStatCpuUsage::ProcStatCpuUsage(std::string statPath, std::function<void()> firstInterval, Clock clock)
    : path_(std::move(statPath)), firstInterval_(std::move(firstInterval)), clock_(std::move(clock))
{
    if (!firstInterval_)
        firstInterval_ = [] { std::this_thread::sleep_for(std::chrono::milliseconds(100)); };
    if (!clock_)
        clock_ = [] { return std::chrono::steady_clock::now(); };
}

ProcStatCpuUsage::Times ProcStatCpuUsage::parse(const std::string& text)
{
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name;
        fields >> name;
        if (name != "cpu")
            continue;
        // user nice system idle iowait irq softirq steal guest guest_nice; the
        // guest times are already part of user and nice, so they are not added.
        std::vector<std::uint64_t> v;
        std::string token;
        while (fields >> token) {
            std::uint64_t n = 0;
            if (!toCounter(token, n))
                throw Failure::automationError();
            v.push_back(n);
        }
        if (v.size() < 4)
            throw Failure::automationError();
        v.resize(std::max<size_t>(v.size(), 8), 0);
        Times t;
        for (int i : {0, 1, 2, 5, 6, 7})
            t.busy = sumChecked(t.busy, v[i]);
        t.idle = sumChecked(v[3], v[4]);
        return t;
    }
    throw Failure::automationError();
}

ProcStatCpuUsage::Times ProcStatCpuUsage::readFile(const std::string& statPath)
{
    std::ifstream in(statPath);
    if (!in)
        throw Failure::fileNotFound();
    // The aggregate line comes first; a few lines are enough to find it.
    std::string text, line;
    for (int i = 0; i < 4 && std::getline(in, line); ++i) {
        text += line;
        text += '\n';
        if (line.rfind("cpu ", 0) == 0)
            break;
    }
    return parse(text);
}

double ProcStatCpuUsage::cpuuse()
{
    // The chart samples every 2 s; a base older than this spans a pause and
    // would give the average over it instead of the usage now.
    constexpr auto kStale = std::chrono::seconds(5);
    const auto at = clock_();
    if (last_ && at - lastAt_ > kStale)
        last_.reset();
    lastAt_ = at;
    Times now = readFile(path_);
    Times before;
    if (last_) {
        before = *last_;
    } else {
        before = now;
        firstInterval_();
        now = readFile(path_);
    }
    last_ = now;

    // A counter that went down (wrapped or restarted) leaves this interval
    // without a meaning; the new reading becomes the base for the next one.
    if (now.busy < before.busy || now.idle < before.idle)
        return lastPercent_;
    const std::uint64_t busy = now.busy - before.busy;
    const std::uint64_t idle = now.idle - before.idle;
    // Two calls within one clock tick: nothing new was counted.
    if (busy == 0 && idle == 0)
        return lastPercent_;
    const long double share = static_cast<long double>(busy) / (static_cast<long double>(busy) + idle);
    lastPercent_ = static_cast<int>(std::floor(share * 100.0L + 0.5L));
    return lastPercent_;
}

PosixCpuUsageFactory::PosixCpuUsageFactory(std::string statPath) : statPath_(std::move(statPath))
{
}

std::unique_ptr<CpuUsage> PosixCpuUsageFactory::create(const std::string& progId)
{
    if (!equalsNoCase(progId, kCpuUsageProgId))
        throw Failure::cannotCreateObject();
    // A machine without a usable stat file has no component to offer.
    try {
        ProcStatCpuUsage::readFile(statPath_);
    } catch (const Failure&) {
        throw Failure::cannotCreateObject();
    }
    return std::make_unique<ProcStatCpuUsage>(statPath_);
}

} // namespace torv

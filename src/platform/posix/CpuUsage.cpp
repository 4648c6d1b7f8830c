#include "platform/posix/CpuUsage.h"

#include "base/AsciiCase.h"
#include "base/Failure.h"

#include <algorithm>
#include <fstream>
#include <sstream>
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

} // namespace

ProcStatCpuUsage::ProcStatCpuUsage(std::string statPath, std::function<void()> firstInterval, Clock clock)
    : CounterCpuUsage([path = std::move(statPath)] { return readFile(path); }, std::move(firstInterval),
                      std::move(clock))
{
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

PosixCpuUsageFactory::PosixCpuUsageFactory(std::string statPath) : statPath_(std::move(statPath))
{
}

std::unique_ptr<CpuUsage> PosixCpuUsageFactory::create(const std::string& progId)
{
    if (!equalsIgnoringAsciiCase(progId, kCpuUsageProgId))
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

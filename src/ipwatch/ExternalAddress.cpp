#include "ipwatch/ExternalAddress.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace torv {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::vector<std::string> split(const std::string& s, char by)
{
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == by)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

// Four numbers 0-255, as bytes.
std::optional<std::array<int, 4>> parseV4(const std::string& s)
{
    const auto parts = split(s, '.');
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> bytes{};
    for (int i = 0; i < 4; ++i) {
        const std::string& p = parts[i];
        if (p.empty() || p.size() > 3 || (p.size() > 1 && p[0] == '0'))
            return std::nullopt;
        for (char c : p)
            if (!isDigit(c))
                return std::nullopt;
        bytes[i] = std::stoi(p);
        if (bytes[i] > 255)
            return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<std::uint16_t>> parseGroups(const std::string& s)
{
    std::vector<std::uint16_t> groups;
    if (s.empty())
        return groups;
    const auto parts = split(s, ':');
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const std::string& p = parts[i];
        if (i + 1 == parts.size() && p.find('.') != std::string::npos) {
            const auto v4 = parseV4(p);
            if (!v4)
                return std::nullopt;
            groups.push_back(static_cast<std::uint16_t>((*v4)[0] << 8 | (*v4)[1]));
            groups.push_back(static_cast<std::uint16_t>((*v4)[2] << 8 | (*v4)[3]));
            continue;
        }
        if (p.empty() || p.size() > 4)
            return std::nullopt;
        for (char c : p)
            if (!isHex(c))
                return std::nullopt;
        groups.push_back(static_cast<std::uint16_t>(std::stoul(p, nullptr, 16)));
    }
    return groups;
}

// The eight groups of an IPv6 address, or nothing.
std::optional<std::array<std::uint16_t, 8>> parseV6(const std::string& s)
{
    const auto gap = s.find("::");
    std::array<std::uint16_t, 8> out{};
    if (gap == std::string::npos) {
        const auto groups = parseGroups(s);
        if (!groups || groups->size() != 8)
            return std::nullopt;
        std::copy(groups->begin(), groups->end(), out.begin());
        return out;
    }
    if (s.find("::", gap + 1) != std::string::npos)
        return std::nullopt;
    const auto head = parseGroups(s.substr(0, gap));
    const auto tail = parseGroups(s.substr(gap + 2));
    if (!head || !tail || head->size() + tail->size() > 7)
        return std::nullopt;
    std::copy(head->begin(), head->end(), out.begin());
    std::copy(tail->begin(), tail->end(), out.end() - static_cast<std::ptrdiff_t>(tail->size()));
    return out;
}

// The one written form of an address (lower case, no leading zeros, the
// longest run of zero groups as "::"), so that two spellings of one address
// never count as a change.
std::string canonical(const std::array<std::uint16_t, 8>& g)
{
    int bestStart = -1, bestLength = 1;
    for (int i = 0; i < 8;) {
        int j = i;
        while (j < 8 && g[j] == 0)
            ++j;
        if (j - i > bestLength) {
            bestStart = i;
            bestLength = j - i;
        }
        i = j == i ? i + 1 : j;
    }
    std::string out;
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 0; i < 8; ++i) {
        if (i == bestStart) {
            out += "::";
            i += bestLength - 1;
            continue;
        }
        if (!out.empty() && out.back() != ':')
            out += ':';
        std::string group;
        for (int shift = 12; shift >= 0; shift -= 4)
            if (const int digit = (g[i] >> shift) & 0xf; digit || !group.empty() || shift == 0)
                group += kHex[digit];
        out += group;
    }
    return out;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Runs of the characters an address of the family is written with. An IPv6
// run also takes letters, so that a word with colons ("li::before") is one
// run that is no address, not an address cut out of it.
std::vector<std::string> runs(const std::string& text, AddressFamily family)
{
    auto inRun = [family](char c) {
        return family == AddressFamily::IPv4 ? isDigit(c) || c == '.'
                                             : isDigit(c) || isLetter(c) || c == ':' || c == '.';
    };
    std::vector<std::string> found;
    for (std::size_t i = 0; i < text.size();) {
        if (!inRun(text[i])) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < text.size() && inRun(text[j]))
            ++j;
        found.push_back(text.substr(i, j - i));
        i = j;
    }
    return found;
}

// "IP:2001:db8::1": a label of letters, not all hex digits, and one colon
// before the address.
void dropLabel(std::string& run)
{
    const auto colon = run.find(':');
    if (colon == std::string::npos || colon + 1 == run.size() || run[colon + 1] == ':')
        return;
    const std::string word = run.substr(0, colon);
    if (std::any_of(word.begin(), word.end(), [](char c) { return !isHex(c); }))
        run.erase(0, colon + 1);
}

// Addresses that never stand for the machine on the Internet: unspecified,
// loopback, link-local, multicast and IPv4-mapped.
bool neverExternal(const std::array<std::uint16_t, 8>& g)
{
    const bool zeroHead = std::all_of(g.begin(), g.begin() + 5, [](std::uint16_t x) { return x == 0; });
    return (zeroHead && g[5] == 0 && g[6] == 0 && g[7] <= 1) || (g[0] & 0xffc0) == 0xfe80 ||
           (g[0] & 0xff00) == 0xff00 || (zeroHead && g[5] == 0xffff);
}

} // namespace

std::optional<std::string> firstAddress(const std::string& text, AddressFamily family)
{
    for (std::string run : runs(text, family)) {
        // A sentence's full stop or a label's colon is not part of the address.
        while (!run.empty() && run.back() == '.')
            run.pop_back();
        while (!run.empty() && run.front() == '.')
            run.erase(run.begin());
        if (family == AddressFamily::IPv4) {
            if (parseV4(run))
                return run;
            continue;
        }
        dropLabel(run);
        if (run.size() >= 2 && run.front() == ':' && run[1] != ':')
            run.erase(run.begin());
        if (run.size() >= 2 && run.back() == ':' && run[run.size() - 2] != ':')
            run.pop_back();
        if (const auto groups = parseV6(run); groups && !neverExternal(*groups))
            return canonical(*groups);
    }
    return std::nullopt;
}

} // namespace torv

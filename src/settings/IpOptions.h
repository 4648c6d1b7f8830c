#pragma once
// The `[ip]` section of torv.ini: the external address watcher's options.
// No section, or an empty url, means no watching at all.
#include "settings/OptionsFile.h"

#include <string>
#include <vector>

namespace torv {

inline constexpr const char* kIpSection = "ip";
inline constexpr int kIpDefaultMinutes = 10;
inline constexpr int kIpMaxMinutes = 1440; // a day

enum class IpFamily { IPv4, IPv6 };

struct IpOptions {
    std::string url;
    int everyMinutes = kIpDefaultMinutes;
    std::string launch;  // a command line started on a change
    std::string writeTo; // a file that holds the address
    bool alarm = false;
    IpFamily family = IpFamily::IPv4;

    bool watching() const { return !url.empty(); }
    bool operator==(const IpOptions&) const = default;
};

OptionsSectionRule ipSectionRule();

// The section's values; a bad value is reported and its default kept.
IpOptions readIpOptions(OptionsFile& file);

// What a save writes: the section, or nothing when there is nothing to watch
// and nothing else set (so that an untouched window adds no section).
std::vector<OptionsSectionText> ipSectionTexts(const IpOptions& options);

bool isIpSection(const std::string& name);

// Whether a minutes box may keep its text: a number from 1 to 1440.
bool ipMinutesAccepted(const std::string& text);

} // namespace torv

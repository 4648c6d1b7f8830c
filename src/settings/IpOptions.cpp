#include "settings/IpOptions.h"

#include "base/AsciiCase.h"
#include "base/Number.h"

#include <algorithm>

namespace torv {

namespace {

// Stores the minutes only when the text is a whole number from 1 to 1440.
bool wholeMinutes(const std::string& text, int& minutes)
{
    if (text.empty() || text.size() > 4 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const int n = std::stoi(text);
    if (n < 1 || n > kIpMaxMinutes)
        return false;
    minutes = n;
    return true;
}

} // namespace

OptionsSectionRule ipSectionRule()
{
    return {kIpSection, {{"url"}, {"every"}, {"launch"}, {"write-to"}, {"alarm"}, {"family"}}};
}

bool isIpSection(const std::string& name)
{
    return name == kIpSection;
}

IpOptions readIpOptions(OptionsFile& file)
{
    IpOptions options;
    const OptionsSection* section = file.find(kIpSection);
    if (!section)
        return options;
    for (const OptionsValue& v : section->values) {
        if (v.key == "url") {
            const std::string scheme = asciiLower(v.value.substr(0, v.value.find("://") + 3));
            if (v.value.empty() || scheme == "http://" || scheme == "https://")
                options.url = v.value;
            else
                file.report(v.line, "url = " + v.value + ": expected an http:// or https:// address");
        } else if (v.key == "every") {
            if (!wholeMinutes(v.value, options.everyMinutes))
                file.report(v.line, "every = " + v.value + ": expected minutes from 1 to 1440");
        } else if (v.key == "launch") {
            options.launch = v.value;
        } else if (v.key == "write-to") {
            options.writeTo = v.value;
        } else if (v.key == "alarm") {
            const std::string word = asciiLower(v.value);
            if (word == "on" || word == "off")
                options.alarm = word == "on";
            else
                file.report(v.line, "alarm = " + v.value + ": expected on or off");
        } else if (v.key == "family") {
            const std::string word = asciiLower(v.value);
            if (word == "ipv4" || word == "ipv6")
                options.family = word == "ipv6" ? IpFamily::IPv6 : IpFamily::IPv4;
            else
                file.report(v.line, "family = " + v.value + ": expected ipv4 or ipv6");
        }
    }
    return options;
}

std::vector<OptionsSectionText> ipSectionTexts(const IpOptions& o)
{
    if (o == IpOptions{})
        return {};
    OptionsSectionText s{kIpSection, {}};
    s.values.emplace_back("url", o.url);
    s.values.emplace_back("every", std::to_string(o.everyMinutes));
    if (!o.launch.empty())
        s.values.emplace_back("launch", o.launch);
    if (!o.writeTo.empty())
        s.values.emplace_back("write-to", o.writeTo);
    s.values.emplace_back("alarm", o.alarm ? "on" : "off");
    if (o.family == IpFamily::IPv6)
        s.values.emplace_back("family", "ipv6");
    return {s};
}

bool ipMinutesAccepted(const std::string& text)
{
    const double v = leadingNumber(text);
    return v >= 1 && v <= kIpMaxMinutes;
}

} // namespace torv

#include "headless/StatusFilter.h"

#include "core/ConsoleTexts.h"

#include <string_view>
#include <utility>

namespace torv {

namespace {

// "Seconds Until Execution Start:12" -> its words and 12; no number: -1.
std::pair<std::string_view, long> splitNumber(std::string_view text)
{
    size_t i = text.size();
    while (i > 0 && text[i - 1] >= '0' && text[i - 1] <= '9')
        --i;
    if (i == text.size() || text.size() - i > 9)
        return {text, -1};
    long n = 0;
    for (char c : text.substr(i))
        n = n * 10 + (c - '0');
    return {text.substr(0, i), n};
}

} // namespace

bool StatusFilter::wanted(const std::string& status)
{
    if (status == last_)
        return false;
    // A check's wait: the log has said it already.
    if (status.starts_with(kWaitingFor)) {
        last_ = status;
        return false;
    }
    const auto [words, n] = splitNumber(status);
    const auto [lastWords, lastN] = splitNumber(last_);
    // A falling number under the same words is the same countdown going on; a
    // rising one is a new wait (the next task's).
    const bool countdownGoesOn = n >= 0 && lastN >= 0 && words == lastWords && n < lastN;
    last_ = status;
    return !countdownGoesOn;
}

} // namespace torv

// fetchWeb through the web module, loaded on the first fetch.
#include "platform/WebFetch.h"

#include "platform/posix/LazyModule.h"

namespace torv {

WebAnswer fetchWeb(const std::string& url, const std::string& caFile, int timeoutMs, std::size_t maxBody)
{
    static LazyModule module("torv-web.so");
    using Fetch = void (*)(const std::string&, const std::string&, int, std::size_t, WebAnswer&);
    WebAnswer answer;
    std::string why;
    const auto fetch = reinterpret_cast<Fetch>(module.entry("torv_fetch_web", why));
    if (!fetch)
        answer.error = "the web module is " + why;
    else
        fetch(url, caFile, timeoutMs, maxBody, answer);
    return answer;
}

} // namespace torv

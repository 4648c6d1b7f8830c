#pragma once
// A blocking GET of a web address, for work done off the console's thread
// (readiness checks, the external address watcher). TLS is verified against
// the system's store, plus a CA file where one is given; redirects are not
// followed. Each platform folder implements it.
#include <cstddef>
#include <string>

namespace torv {

struct WebAnswer {
    bool answered = false; // a status line came back
    long status = 0;
    std::string body;  // at most the asked-for number of bytes
    std::string error; // why nothing came back
};

WebAnswer fetchWeb(const std::string& url, const std::string& caFile, int timeoutMs, std::size_t maxBody);

} // namespace torv

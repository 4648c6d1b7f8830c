#pragma once
// A blocking GET of a web address, for work done off the console's thread
// (readiness checks, the external address watcher). TLS is verified against
// the system's store, plus a CA file where one is given; redirects are not
// followed. Each platform folder implements it.
#include "ports/WebClient.h"

#include <cstddef>
#include <string>

namespace torv {

WebAnswer fetchWeb(const std::string& url, const std::string& caFile, int timeoutMs, std::size_t maxBody);

} // namespace torv

#pragma once
// A GET of a web address that never holds up the console: it runs elsewhere
// and its answer comes back as an event of the console's loop.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace torv {

struct WebAnswer {
    bool answered = false; // a status line came back
    long status = 0;
    std::string body;  // at most the asked-for number of bytes
    std::string error; // why nothing came back
};

class WebClient {
public:
    virtual ~WebClient() = default;
    // Starts one GET. `done` runs exactly once, later, on the console's
    // thread, never inside get() itself and never after the client is gone.
    virtual void get(const std::string& url, int limitMs, std::size_t maxBody, std::function<void(WebAnswer)> done) = 0;
};

} // namespace torv

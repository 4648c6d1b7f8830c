#pragma once
// A GET of a web address that never holds up the console: it runs elsewhere
// and its answer comes back as an event of the console's loop.
#include "platform/EventLoop.h"
#include "platform/WebFetch.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace torv {

class WebClient {
public:
    virtual ~WebClient() = default;
    // Starts one GET. `done` runs exactly once, later, on the console's
    // thread, never inside get() itself and never after the client is gone.
    virtual void get(const std::string& url, int limitMs, std::size_t maxBody, std::function<void(WebAnswer)> done) = 0;
};

// The real platforms' client: each GET through fetchWeb on a thread of its own.
class ThreadedWebClient : public WebClient {
public:
    using FetchFunction = std::function<WebAnswer(const std::string& url, int limitMs, std::size_t maxBody)>;
    explicit ThreadedWebClient(EventLoop& events, FetchFunction fetch = {});
    // A GET still under way is left to end on its own; its answer is dropped.
    ~ThreadedWebClient() override;
    void get(const std::string& url, int limitMs, std::size_t maxBody, std::function<void(WebAnswer)> done) override;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    FetchFunction fetch_;
};

} // namespace torv

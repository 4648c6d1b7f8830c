#pragma once
// The real platforms' web client: each GET through fetchWeb on a thread of
// its own, its answer posted back to the console's event loop.
#include "platform/LoopPost.h"
#include "platform/WebFetch.h"
#include "ports/EventLoop.h"
#include "ports/WebClient.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace torv {

class ThreadedWebClient : public WebClient {
public:
    using FetchFunction = std::function<WebAnswer(const std::string& url, int limitMs, std::size_t maxBody)>;
    explicit ThreadedWebClient(EventLoop& events, FetchFunction fetch = {});
    // A GET still under way is left to end on its own; its answer is dropped.
    ~ThreadedWebClient() override;
    void get(const std::string& url, int limitMs, std::size_t maxBody, std::function<void(WebAnswer)> done) override;

private:
    std::shared_ptr<LoopPost> loop_;
    FetchFunction fetch_;
};

} // namespace torv

#include "platform/ThreadedWebClient.h"

#include <thread>

namespace torv {

ThreadedWebClient::ThreadedWebClient(EventLoop& events, FetchFunction fetch)
    : loop_(std::make_shared<LoopPost>(events)), fetch_(std::move(fetch))
{
    if (!fetch_)
        fetch_ = [](const std::string& url, int limitMs, std::size_t maxBody) {
            return fetchWeb(url, {}, limitMs, maxBody);
        };
}

ThreadedWebClient::~ThreadedWebClient()
{
    loop_->close();
}

void ThreadedWebClient::get(const std::string& url, int limitMs, std::size_t maxBody,
                            std::function<void(WebAnswer)> done)
{
    // Detached: a GET never holds up the program's end; its own limit ends it.
    std::thread([loop = loop_, fetch = fetch_, url, limitMs, maxBody, done = std::move(done)]() mutable {
        WebAnswer answer;
        try {
            answer = fetch(url, limitMs, maxBody);
        } catch (const std::exception& e) {
            answer.error = e.what();
        }
        loop->post([done = std::move(done), answer = std::move(answer)] { done(answer); });
    }).detach();
}

} // namespace torv

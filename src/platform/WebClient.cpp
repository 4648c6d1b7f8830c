#include "platform/ThreadedWebClient.h"

#include <mutex>
#include <thread>

namespace torv {

// The loop to post to while the client lives; held while posting, so the
// loop cannot go away between the check and the post.
struct ThreadedWebClient::Shared {
    std::mutex mutex;
    EventLoop* events = nullptr;
};

ThreadedWebClient::ThreadedWebClient(EventLoop& events, FetchFunction fetch)
    : shared_(std::make_shared<Shared>()), fetch_(std::move(fetch))
{
    shared_->events = &events;
    if (!fetch_)
        fetch_ = [](const std::string& url, int limitMs, std::size_t maxBody) {
            return fetchWeb(url, {}, limitMs, maxBody);
        };
}

ThreadedWebClient::~ThreadedWebClient()
{
    std::lock_guard lock(shared_->mutex);
    shared_->events = nullptr;
}

void ThreadedWebClient::get(const std::string& url, int limitMs, std::size_t maxBody,
                            std::function<void(WebAnswer)> done)
{
    // Detached: a GET never holds up the program's end; its own limit ends it.
    std::thread([shared = shared_, fetch = fetch_, url, limitMs, maxBody, done = std::move(done)]() mutable {
        WebAnswer answer;
        try {
            answer = fetch(url, limitMs, maxBody);
        } catch (const std::exception& e) {
            answer.error = e.what();
        }
        std::lock_guard lock(shared->mutex);
        if (shared->events)
            shared->events->post([done = std::move(done), answer = std::move(answer)] { done(answer); });
    }).detach();
}

} // namespace torv

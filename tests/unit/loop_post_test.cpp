// Results handed back to the event loop from other threads: never after the
// one who asked has gone.
#include "platform/LoopPost.h"
#include "support/PostedCalls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace torv {
namespace {

// Steps: L listen (again), T tell the next value (1, 2, ...), D drop,
// X destroy the reply, R run what the loop holds.
TEST(LoopReply, TheListenerHearsOneValueAtMostAndNothingOnceDropped)
{
    struct Row {
        std::string steps;
        std::vector<int> heard;
        std::string told; // what each T returned: + posted, - not
    };
    const Row rows[] = {
        {"TLR", {}, "-"},
        {"LTR", {1}, "+"},
        {"LTTR", {1}, "+-"},
        {"LTRT", {1}, "+-"},
        {"LTRLTR", {1, 2}, "++"},
        {"LTDR", {}, "+"},
        {"LDTR", {}, "-"},
        {"LTXR", {}, "+"},
        // Listening again before the first value is heard: the new listener
        // hears it, and nothing more.
        {"LTLR", {1}, "+"},
        {"LTLTR", {1}, "++"},
    };
    for (const Row& row : rows) {
        sim::PostedCalls loop;
        std::optional<LoopReply<int>> reply;
        reply.emplace();
        std::vector<int> heard;
        std::string told;
        int next = 0;
        for (char step : row.steps) {
            if (step == 'L')
                reply->listen(loop, [&heard](int v) { heard.push_back(v); });
            else if (step == 'T')
                told += reply->tell(++next) ? '+' : '-';
            else if (step == 'D')
                reply->drop();
            else if (step == 'X')
                reply.reset();
            else
                for (auto& call : std::exchange(loop.calls, {}))
                    call();
        }
        EXPECT_EQ(heard, row.heard) << row.steps;
        EXPECT_EQ(told, row.told) << row.steps;
    }
}

// A loop whose post() holds until released: closing must wait for it.
struct SlowLoop : sim::PostedCalls {
    std::atomic<bool> inside{false}, release{false};
    void post(std::function<void()> fn) override
    {
        inside = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        PostedCalls::post(std::move(fn));
    }
};

TEST(LoopPost, ClosingWaitsForAPostUnderWayAndDropsWhatFollows)
{
    SlowLoop loop;
    LoopPost post(loop);
    std::thread worker([&] { post.post([] {}); });
    while (!loop.inside)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<bool> closed{false};
    std::thread owner([&] { post.close(), closed = true; });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(closed);
    loop.release = true;
    worker.join();
    owner.join();
    EXPECT_FALSE(post.post([] {}));
    EXPECT_EQ(loop.calls.size(), 1u);
}

} // namespace
} // namespace torv

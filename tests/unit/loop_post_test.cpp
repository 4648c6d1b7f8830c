// Results handed back to the event loop from other threads: never after the
// one who asked has gone.
#include "platform/LoopPost.h"
#include "support/PostedCalls.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace torv {
namespace {

void runPosted(sim::PostedCalls& loop)
{
    for (auto& call : std::exchange(loop.calls, {}))
        call();
}

TEST(LoopPost, PostsOnlyWhileOpenAndPostOnceCloses)
{
    sim::PostedCalls loop;
    LoopPost post(loop);
    int runs = 0;
    const auto count = [&runs] { ++runs; };
    EXPECT_TRUE(post.post(count));
    EXPECT_TRUE(post.post(count));
    EXPECT_TRUE(post.postOnce(count));
    EXPECT_FALSE(post.post(count));
    post.open(loop);
    EXPECT_TRUE(post.post(count));
    post.close();
    EXPECT_FALSE(post.postOnce(count));
    EXPECT_EQ(loop.calls.size(), 4u);
    runPosted(loop);
    EXPECT_EQ(runs, 4);
    EXPECT_FALSE(LoopPost().post(count));
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

TEST(LoopPost, ClosingWaitsForAPostUnderWay)
{
    SlowLoop loop;
    LoopPost post(loop);
    std::thread worker([&] { post.post([] {}); });
    while (!loop.inside)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::atomic<bool> closed{false};
    std::thread owner([&] {
        post.close();
        closed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(closed);
    loop.release = true;
    worker.join();
    owner.join();
    EXPECT_TRUE(closed);
    EXPECT_EQ(loop.calls.size(), 1u);
}

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
        // Listening again before the first is heard: the new listener hears it.
        {"LTLR", {1}, "+"},
        // Two posted before either runs: the one listener hears the first only.
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
            switch (step) {
            case 'L':
                reply->listen(loop, [&heard](int v) { heard.push_back(v); });
                break;
            case 'T':
                told += reply->tell(++next) ? '+' : '-';
                break;
            case 'D':
                reply->drop();
                break;
            case 'X':
                reply.reset();
                break;
            case 'R':
                runPosted(loop);
                break;
            }
        }
        EXPECT_EQ(heard, row.heard) << row.steps;
        EXPECT_EQ(told, row.told) << row.steps;
    }
}

} // namespace
} // namespace torv

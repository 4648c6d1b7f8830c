// The simulated platform every logic test stands on: if its clock or its timers
// were wrong, every timing test above it would prove nothing.
#include "support/SimPlatform.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace torv::sim {
namespace {

using Events = std::vector<std::pair<Ms, std::string>>;

TEST(SimEventLoop, TimersFireAtTheirIntervalInVirtualTime)
{
    SimEventLoop loop;
    Events seen;
    auto fast = loop.createTimer(1000, true, [&] { seen.emplace_back(loop.now(), "fast"); });
    auto slow = loop.createTimer(2500, true, [&] { seen.emplace_back(loop.now(), "slow"); });
    auto off = loop.createTimer(300, false, [&] { seen.emplace_back(loop.now(), "off"); });
    loop.runUntil(5000);
    EXPECT_EQ(seen, (Events{{1000, "fast"},
                            {2000, "fast"},
                            {2500, "slow"},
                            {3000, "fast"},
                            {4000, "fast"},
                            {5000, "fast"}, // created first, so first at a shared instant
                            {5000, "slow"}}));
    EXPECT_EQ(loop.now(), 5000);

    // A wait blocks until the next event and handles just that one.
    seen.clear();
    loop.waitForEvents();
    EXPECT_EQ(seen, (Events{{6000, "fast"}}));
    EXPECT_EQ(loop.now(), 6000);
    EXPECT_EQ(fast->intervalMs(), 1000);
    EXPECT_FALSE(off->enabled());
}

TEST(SimEventLoop, SwitchingOnStartsAFreshIntervalOnlyWhenStopped)
{
    SimEventLoop loop;
    std::vector<Ms> ticks;
    auto timer = loop.createTimer(1000, false, [&] { ticks.push_back(loop.now()); });
    loop.at(2500, [&] { timer->setEnabled(true); });
    loop.at(4700, [&] { timer->setEnabled(true); }); // already on: no change
    loop.at(6200, [&] { timer->setEnabled(false); });
    loop.at(6300, [&] { timer->setEnabled(true); });
    loop.at(8000, [&] {
        timer->setEnabled(false);
        timer->setEnabled(true); // off and on again in one handler restarts the interval
    });
    loop.runUntil(10000);
    EXPECT_EQ(ticks, (std::vector<Ms>{3500, 4500, 5500, 7300, 9000, 10000}));
}

TEST(SimEventLoop, ActionsComeBeforeATimerDueAtTheSameInstant)
{
    SimEventLoop loop;
    Events seen;
    auto timer = loop.createTimer(1000, true, [&] { seen.emplace_back(loop.now(), "tick"); });
    loop.at(1000, [&] { seen.emplace_back(loop.now(), "first action"); });
    loop.at(1000, [&] { seen.emplace_back(loop.now(), "second action"); });
    loop.at(500, [&] { seen.emplace_back(loop.now(), "early"); });
    // Due in the past: runs at the current instant, never moves time back.
    loop.at(1500, [&] { loop.at(200, [&] { seen.emplace_back(loop.now(), "late"); }); });
    loop.runUntil(2000);
    EXPECT_EQ(seen, (Events{{500, "early"},
                            {1000, "first action"},
                            {1000, "second action"},
                            {1000, "tick"},
                            {1500, "late"},
                            {2000, "tick"}}));
}

TEST(SimEventLoop, ProcessPendingHandlesOnlyWhatIsDueNow)
{
    SimEventLoop loop;
    int ran = 0, ticks = 0;
    auto timer = loop.createTimer(1000, true, [&] { ++ticks; });
    loop.at(0, [&] { ++ran; });
    loop.at(0, [&] { ++ran; });
    loop.processPending();
    EXPECT_EQ(ran, 2);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(loop.now(), 0);
    EXPECT_EQ(loop.waits, 0);
}

TEST(SimEventLoop, ASpinningWaitFailsAtOnceButPassesThatAdvanceDoNot)
{
    SimEventLoop loop;
    auto timer = loop.createTimer(1000, true, [] {});
    // A wait that forgot to block: asks for events again and again at t = 0.
    EXPECT_NONFATAL_FAILURE(
        {
            try {
                for (;;)
                    loop.processPending();
            } catch (const Deadlock&) {
            }
        },
        "with nothing due");
    // Many passes are fine when time moves between them, as a blocking wait does.
    for (int i = 0; i < 3000; ++i) {
        loop.processPending();
        loop.waitForEvents();
    }
    EXPECT_EQ(loop.now(), 3000 * 1000);
    // So are passes that find something to do at one instant.
    for (int i = 0; i < 3000; ++i) {
        loop.at(loop.now(), [] {});
        loop.processPending();
    }
}

TEST(SimEventLoop, NestedWaitsWorkAndATimerIsNotReenteredWhileItsHandlerRuns)
{
    SimEventLoop loop;
    int fastTicks = 0, depth = 0, maxDepth = 0, slowTicks = 0;
    std::vector<Ms> fastDuringSlow;
    auto fast = loop.createTimer(300, true, [&] {
        ++fastTicks;
        if (depth > 0)
            fastDuringSlow.push_back(loop.now());
    });
    // The slow handler waits longer than its own interval, as the sequencer's
    // countdown does inside a tick.
    auto slow = loop.createTimer(1000, true, [&] {
        ++slowTicks;
        maxDepth = std::max(maxDepth, ++depth);
        int until = fastTicks + 5;
        while (fastTicks < until)
            loop.waitForEvents();
        --depth;
    });
    loop.runUntil(1000);
    EXPECT_EQ(slowTicks, 1);
    EXPECT_EQ(depth, 0);
    EXPECT_EQ(maxDepth, 1);
    // The waits inside the handler went on past 2000, where the slow timer was due.
    EXPECT_EQ(fastDuringSlow, (std::vector<Ms>{1200, 1500, 1800, 2100, 2400}));
    EXPECT_EQ(loop.now(), 2400);
    loop.runUntil(10000);
    EXPECT_EQ(maxDepth, 1);
    EXPECT_GT(slowTicks, 1);
}

TEST(SimEventLoop, AWaitWithNothingLeftIsADeadlock)
{
    SimEventLoop loop;
    auto stopped = loop.createTimer(1000, false, [] {});
    bool threw = false;
    EXPECT_NONFATAL_FAILURE(
        {
            try {
                loop.waitForEvents();
            } catch (const Deadlock&) {
                threw = true;
            }
        },
        "nothing left to wait for");
    EXPECT_TRUE(threw);

    // A handler that waits for itself: its own timer is not delivered again.
    bool innerThrew = false;
    auto self = loop.createTimer(1000, true, [&] {
        try {
            loop.waitForEvents();
        } catch (const Deadlock&) {
            innerThrew = true;
        }
    });
    EXPECT_NONFATAL_FAILURE(loop.runUntil(1000), "nothing left to wait for");
    EXPECT_TRUE(innerThrew);
}

TEST(SimEventLoop, TheTimeLimitStopsAnEndlessWait)
{
    SimEventLoop loop;
    loop.limit = 3000;
    int ticks = 0;
    auto timer = loop.createTimer(1000, true, [&] { ++ticks; });
    bool threw = false;
    EXPECT_NONFATAL_FAILURE(
        {
            try {
                for (;;)
                    loop.waitForEvents();
            } catch (const Deadlock&) {
                threw = true;
            }
        },
        "limit of 3000 ms");
    EXPECT_TRUE(threw);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(loop.now(), 3000);
}

TEST(SimClock, TextsFollowVirtualTime)
{
    SimEventLoop loop;
    SimClock clock(loop);
    EXPECT_EQ(clock.dateText(), "12/7/2026");
    EXPECT_EQ(clock.timeText(), "09:05:00");
    loop.runFor(3661 * 1000 + 999); // whole seconds only
    EXPECT_EQ(clock.timeText(), "10:06:01");
    DateTimeFields f = clock.now();
    EXPECT_EQ(f.hour, 10);
    EXPECT_EQ(f.minute, 6);
    EXPECT_EQ(f.second, 1);
    // Past midnight the date moves on.
    loop.runUntil((14 * 3600 + 55 * 60 + 2) * 1000LL);
    EXPECT_EQ(clock.timeText(), "00:00:02");
    EXPECT_EQ(clock.dateText(), "12/8/2026");
}

} // namespace
} // namespace torv::sim

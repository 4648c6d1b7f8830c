#include "cpumon/CpuChart.h"
#include "support/RecordingScope.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <deque>
#include <filesystem>
#include <stdexcept>

using namespace torv;

namespace {

using Journal = std::vector<std::string>;

using sim::RecordingScope;
using Line = RecordingScope::Line;

// What the fake component answers next: a value, or a failure when empty.
struct Feed {
    std::deque<double> values;
    int calls = 0;
    Journal* journal = nullptr;
};

class FakeCpuUsage : public CpuUsage {
public:
    explicit FakeCpuUsage(Feed& feed) : feed_(feed) {}
    double cpuuse() override
    {
        ++feed_.calls;
        feed_.journal->push_back("sample");
        if (feed_.values.empty())
            throw Failure{440, "Automation error"};
        double v = feed_.values.front();
        feed_.values.pop_front();
        return v;
    }

private:
    Feed& feed_;
};

class FakeFactory : public CpuUsageFactory {
public:
    explicit FakeFactory(Feed& feed) : feed_(feed) {}
    std::unique_ptr<CpuUsage> create(const std::string& progId) override
    {
        if (refuse || progId != "cpumon.cpuuse")
            throw Failure{429, "ActiveX component can't create object"};
        ++created;
        return std::make_unique<FakeCpuUsage>(feed_);
    }
    bool refuse = false;
    int created = 0;

private:
    Feed& feed_;
};

class CpuChartTest : public ::testing::Test {
protected:
    CpuChartTest() { feed.journal = &journal; }
    void start() { ASSERT_FALSE(chart.CreateCpuMon(false, factory)); }
    void tick(std::optional<double> sample, bool on = true)
    {
        if (sample)
            feed.values.push_back(*sample);
        chart.CPUTimer_Timer(on, scope);
    }

    Journal journal;
    Feed feed;
    FakeFactory factory{feed};
    RecordingScope scope{journal};
    CpuChart chart;
};

} // namespace

TEST_F(CpuChartTest, HistoryKeepsTheNewestSamplesAtTheirAge)
{
    start();
    // Tick t samples the value t; slot n holds the sample of n - 3 ticks before.
    auto expectHistory = [&](int ticks) {
        SCOPED_TRACE(ticks);
        EXPECT_EQ(chart.CpuHist[2], ticks);
        for (int n = 3; n <= 100; ++n)
            EXPECT_EQ(chart.CpuHist[n], std::max(0, ticks - (n - 3))) << "slot " << n;
        for (int n : {0, 1, 101})
            EXPECT_EQ(chart.CpuHist[n], 0) << "slot " << n;
        EXPECT_EQ(chart.CpuPlot[2], 0);
    };
    for (int t = 1; t <= 110; ++t) {
        tick(t);
        if (t == 1 || t == 3 || t == 40 || t == 110)
            expectHistory(t);
    }
    // Only the 98 newest survive; the plot's last slot gets the one just dropped.
    EXPECT_EQ(chart.CpuHist[100], 13);
    EXPECT_EQ(chart.CpuPlot[101], 12);
}

TEST_F(CpuChartTest, CurveStartsFlatAndASampleReachesTheLeftOnItsThirdTick)
{
    start();
    tick(60);
    EXPECT_EQ(scope.value, "60");
    ASSERT_EQ(scope.lines.size(), 33u);
    for (int i = 0; i < 33; ++i)
        EXPECT_EQ(scope.lines[i], (Line{400.0 + 100 * i, 810, 500.0 + 100 * i, 810})) << i;
    tick(0);
    EXPECT_EQ(scope.lines[0], (Line{400, 810, 500, 810}));
    tick(0);
    EXPECT_EQ(scope.lines[0], (Line{400, 330, 500, 810}));
    tick(0);
    EXPECT_EQ(scope.lines[0], (Line{400, 810, 500, 330}));
    EXPECT_EQ(scope.lines[1], (Line{500, 330, 600, 810}));
    EXPECT_EQ(scope.lines.back(), (Line{3600, 810, 3700, 810}));
}

TEST_F(CpuChartTest, ZeroFiftyAndHundredLieAtTheirHeights)
{
    start();
    for (double s : {0, 100, 50, 9, 9})
        tick(s);
    ASSERT_EQ(scope.lines.size(), 33u);
    EXPECT_EQ(scope.lines[0], (Line{400, 410, 500, 10}));
    EXPECT_EQ(scope.lines[1], (Line{500, 10, 600, 810}));
    EXPECT_EQ(scope.lines[2], (Line{600, 810, 700, 810}));
}

TEST_F(CpuChartTest, EachTickRedrawsTheWholeCurveOnceAndAnOffTickDoesNothing)
{
    start();
    tick(std::nullopt, false);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(feed.calls, 0);
    int ticks = 0;
    for (double sample : {42, 7, 99}) {
        journal.clear();
        tick(sample);
        SCOPED_TRACE(sample);
        // One sample per tick; the chart shows exactly one curve of 33
        // segments across the picture (the old one is gone), and its value.
        EXPECT_EQ(feed.calls, ++ticks);
        ASSERT_EQ(scope.lines.size(), 33u);
        EXPECT_EQ(scope.lines.front().x1, 400);
        EXPECT_EQ(scope.lines.back().x2, 3700);
        EXPECT_EQ(scope.value, std::to_string(static_cast<int>(sample)));
    }
}

TEST_F(CpuChartTest, SamplesRoundHalfToEvenAndMustFit16Bits)
{
    start();
    tick(2.5);
    EXPECT_EQ(scope.value, "2");
    EXPECT_EQ(chart.CpuHist[2], 2);
    tick(3.5);
    EXPECT_EQ(scope.value, "4");
    EXPECT_EQ(chart.CpuHist[3], 4);
    for (auto [in, out] : std::vector<std::pair<double, int>>{{-2.5, -2}, {7.49, 7}, {-5, -5}, {-32768.4, -32768}}) {
        feed.values.push_back(in);
        chart.GetCpu();
        EXPECT_EQ(chart.CpuValue, out) << in;
    }
    for (double bad : {32767.5, 1e9, HUGE_VAL, std::nan("")}) {
        feed.values.push_back(bad);
        EXPECT_THROW(chart.GetCpu(), Failure) << bad;
    }
}

TEST_F(CpuChartTest, PauseLeavesNoGapAndKeepsWhatIsShown)
{
    start();
    tick(10);
    tick(20);
    const auto hist = chart.CpuHist;
    const auto lines = scope.lines;
    journal.clear();
    for (int i = 0; i < 3; ++i)
        tick(std::nullopt, false);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(chart.CpuHist, hist);
    EXPECT_EQ(scope.lines, lines);
    EXPECT_EQ(scope.value, "20");
    tick(30);
    EXPECT_EQ(chart.CpuHist[3], 30);
    EXPECT_EQ(chart.CpuHist[4], 20);
    EXPECT_EQ(chart.CpuHist[5], 10);
}

TEST_F(CpuChartTest, ReloadKeepsTheComponentAndTheHistory)
{
    start();
    CpuUsage* first = chart.CpuMon.get();
    for (double s : {5, 6, 7})
        tick(s);
    EXPECT_FALSE(chart.CreateCpuMon(true, factory));
    EXPECT_EQ(factory.created, 1);
    EXPECT_EQ(chart.CpuMon.get(), first);
    EXPECT_TRUE(chart.CpuMonCreated);
    tick(8);
    EXPECT_EQ(chart.CpuHist[3], 8);
    EXPECT_EQ(chart.CpuHist[6], 5);
}

TEST_F(CpuChartTest, ComponentThatCannotBeCreatedLeavesTheConsoleRunning)
{
    factory.refuse = true;
    auto failure = chart.CreateCpuMon(false, factory);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->code, 429);
    EXPECT_FALSE(chart.CpuMonCreated);
    EXPECT_EQ(chart.CpuMon, nullptr);
    EXPECT_NO_THROW(tick(std::nullopt));
    ASSERT_TRUE(chart.lastFailure());
    EXPECT_EQ(chart.lastFailure()->code, 91);
    EXPECT_TRUE(scope.lines.empty());
    EXPECT_EQ(scope.value, "000");
    EXPECT_EQ(chart.CpuHist, CpuChart::Slots{});
}

TEST_F(CpuChartTest, FailedOrUndrawableSampleKeepsCurveNumberAndHistory)
{
    start();
    tick(30);
    tick(40);
    tick(45);
    const auto hist = chart.CpuHist;
    const auto plot = chart.CpuPlot;
    const auto lines = scope.lines;
    // A failing component, then samples just past what the chart can draw.
    for (std::optional<double> bad :
         {std::optional<double>{}, std::optional<double>{4096}, std::optional<double>{-3995}}) {
        EXPECT_NO_THROW(tick(bad));
        ASSERT_TRUE(chart.lastFailure());
        EXPECT_EQ(chart.CpuHist, hist);
        EXPECT_EQ(chart.CpuPlot, plot);
        EXPECT_EQ(scope.lines, lines);
        EXPECT_EQ(scope.value, "45");
        EXPECT_EQ(chart.CpuValue, 45);
    }
    EXPECT_EQ(chart.lastFailure()->code, 6);
    // The limits themselves are drawn; the failed ticks left no slot behind.
    tick(4095);
    tick(-3994);
    tick(50);
    EXPECT_EQ(chart.CpuHist[3], 50);
    EXPECT_EQ(chart.CpuHist[6], 45);
    EXPECT_EQ(scope.lines[0], (Line{400, 810 - 8 * 4095, 500, 810 - 8 * 45}));
}

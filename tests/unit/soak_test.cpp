// Ten thousand remote commands of every kind in virtual time, against a small
// model of the command table: the log must match the model exactly, the result
// file must equal the log after every answer, and nothing but the log may grow.
#include "support/ConsoleFixture.h"
#include "support/FileTricks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

using namespace torv;
using namespace torv::sim;

namespace {

// Keeps the test's folders in memory where the machine offers it: ten thousand
// result files each synced to a disk would take minutes.
struct InMemoryTemp {
    std::unique_ptr<Undo> undo = tempFoldersInMemory();
};

class SoakTest : private InMemoryTemp, public ConsoleTest {
protected:
    // The model's clock: virtual time t after 09:05:00 on 7 Dec 2026.
    static std::string date(Ms t)
    {
        long long secs = 9 * 3600 + 5 * 60 + t / 1000;
        return "12/" + std::to_string(7 + secs / 86400) + "/2026";
    }
    static std::string time(Ms t)
    {
        long long secs = (9 * 3600 + 5 * 60 + t / 1000) % 86400;
        char buf[16];
        std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", secs / 3600, secs / 60 % 60, secs % 60);
        return buf;
    }
    // Everything the simulator records for its own tests; the console keeps none of it.
    void forgetRecords()
    {
        sim.launcher.launches = {};
        sim.sound.cues = {};
        sim.view.statusHistory = {};
        sim.view.logBox.shrink_to_fit();
    }
    // The heap in use, less what the log holds (its buffer keeps the size of
    // the longest log so far).
    // -1 where the platform cannot tell.
    long long heapBesidesTheLog() const
    {
        const long long heap = heapInUse();
        return heap < 0 ? -1 : heap - static_cast<long long>(form->state().DumpString.text().capacity());
    }
};

TEST_F(SoakTest, TenThousandCommandsKeepLogResultAndMemoryInStep)
{
    writeConfig({.initTime = "1"});
    ASSERT_FALSE(start());
    ASSERT_TRUE(form->state().Timer2->enabled());
    std::string expected = form->state().DumpString.text(); // the sequence's own three lines
    std::mt19937 rng(20261207);
    size_t launchesSeen = 0;
    long long heapAtWarmUp = 0;
    const int kCommands = 10000;

    for (int i = 1; i <= kCommands; ++i) {
        SCOPED_TRACE("command " + std::to_string(i));
        const int kind = static_cast<int>(rng() % 10);
        const std::string n = std::to_string(i);
        std::string text, launched;
        bool stays = false, pollStops = false;
        switch (kind) {
        case 0:
            text = "report";
            break;
        case 1:
            text = i % 2 ? "off" : "restart";
            launched = i % 2 ? "shutdown -h now" : "shutdown -r now";
            pollStops = true;
            break;
        case 2:
            text = (i % 3 == 0 ? "DELTREE /x" : i % 3 == 1 ? "del " : "Delete ") + n;
            break;
        case 3:
            text = "run-" + n + " --flag " + n;
            launched = text;
            break;
        case 4:
            // Quoted: the comma is part of the command; the rest of the file is not.
            text = "\"tool-" + n + " a,b\",off\r\nreport";
            launched = "tool-" + n + " a,b";
            break;
        case 5:
            text = "missing-" + n; // cannot be launched: no trace, the file stays
            sim.launcher.failing[text] = {53, "File not found"};
            launched = text; // tried, and failed
            stays = true;
            break;
        case 6:
            text = i % 2 ? ",report" : "\r\noff"; // an empty first field
            stays = true;
            break;
        case 7:
            text = "  report  ,x"; // blanks around a command
            break;
        default:
            // Long commands: a whole line of text in the log.
            text = "long-" + n + " " + std::string(500 + i % 700, 'x');
            launched = text;
            break;
        }
        exchange.write("command.txt", text + "\r\n");
        const size_t logBefore = form->state().DumpString.text().size();
        sim.events.runFor(10000);
        const Ms t = sim.events.now();

        // The model.
        const std::string field = kind == 4 ? launched : kind == 7 ? "report" : text;
        if (stays) {
            // Nothing happened; the remote party takes its file back.
        } else if (field == "report") {
            expected += "Report Requested and Generated at:" + date(t) + ":" + time(t) + "\r\n";
        } else if (field == "off") {
            expected += "System Shutdown Acknowledged at:" + time(t) + ":" + date(t) + "\r\n";
        } else if (field == "restart") {
            expected += "System Restart Acknowledged at:" + time(t) + ":" + date(t) + "\r\n";
        } else if (kind == 2) {
            expected += "HOSTILE COMMAND DEL:" + date(t) + ":" + time(t) + "\r\n";
        } else {
            expected += "Executing Remote Command:" + field + " at:" + date(t) + ":" + time(t) + "\r\n";
        }

        ASSERT_EQ(form->state().DumpString.text(), expected);
        ASSERT_EQ(sim.view.logBox, expected) << "the log box shows the log after every answer";
        ASSERT_EQ(exchange.exists("command.txt"), stays);
        if (stays) {
            ASSERT_EQ(form->state().DumpString.text().size(), logBefore);
            std::remove(exchange.file("command.txt").c_str());
            sim.launcher.failing.clear();
        } else {
            ASSERT_EQ(exchange.read("Result.txt"), expected + "\r\n");
        }
        ASSERT_EQ(sim.launcher.launches.size(), launchesSeen + (launched.empty() ? 0 : 1));
        if (!launched.empty()) {
            ASSERT_EQ(sim.launcher.launches.back().commandLine, launched);
            ASSERT_EQ(sim.launcher.launches.back().at, t);
        }
        launchesSeen = sim.launcher.launches.size();
        ASSERT_EQ(form->state().Timer2->enabled(), !pollStops);
        if (pollStops) {
            // The remote party's operator switches the poll back on by hand.
            form->chkRemote_UserSet(false);
            form->chkRemote_UserSet(true);
        }

        // Every hundred commands the operator clears the log: the log is all
        // the console keeps, so memory must come back to where it was.
        if (i % 100 == 0) {
            form->cmdClear_Click();
            expected = {};
            forgetRecords();
            launchesSeen = 0;
            if (i == 2000)
                heapAtWarmUp = heapBesidesTheLog();
        }
    }
    const long long heapAtEnd = heapBesidesTheLog();
#if defined(__SANITIZE_ADDRESS__)
    (void)heapAtWarmUp;
    (void)heapAtEnd; // the sanitizer's allocator is not the one measured; it finds leaks itself
#else
    // Eight thousand commands later: a few peak sizes more at most; a leak of
    // even one small block per command would be 256 KB.
    if (heapAtWarmUp >= 0) {
        EXPECT_LT(heapAtEnd, heapAtWarmUp + 64 * 1024) << "the heap grew by " << (heapAtEnd - heapAtWarmUp) << " bytes";
    }
#endif
}

} // namespace

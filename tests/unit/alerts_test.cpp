// The alert limit, the events' environment, the metrics text, and the
// address found in a web answer.
#include "alerts/Alert.h"
#include "alerts/Metrics.h"
#include "ipwatch/ExternalAddress.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

namespace torv {
namespace {

TEST(Alerts, TenAMinuteThenOneSummaryWithTheCountAndTheLastEvent)
{
    AlertLimiter limiter;
    int started = 0;
    for (int i = 0; i < 15; ++i) // 15 failures in 15 s
        started += static_cast<int>(limiter.offer({Event::LaunchFailed, i + 1, "task", "m"}, i * 1000).size());
    EXPECT_EQ(started, 10);
    ASSERT_TRUE(limiter.nextDue());
    EXPECT_EQ(*limiter.nextDue(), 60000); // the first of the ten is a minute old
    EXPECT_FALSE(limiter.due(59999));
    const auto summary = limiter.due(60000);
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->event, Event::Suppressed);
    EXPECT_EQ(summary->suppressed, 5u);
    EXPECT_EQ(summary->task, 15);
    EXPECT_FALSE(limiter.due(120000));
    // The summary counts toward its own minute; a later event falling due
    // together with a pending summary comes after it.
    for (int i = 0; i < 10; ++i)
        limiter.offer({Event::NotReady}, 61000 + i);
    const auto both = limiter.offer({Event::SequenceStopped}, 200000);
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].event, Event::Suppressed);
    EXPECT_EQ(both[0].suppressed, 1u);
    EXPECT_EQ(both[1].event, Event::SequenceStopped);

    std::map<std::string, std::string> env;
    for (const auto& [k, v] : alertEnvironment(*summary, "srv1", "2026-12-07T21:00:00Z"))
        env[k] = v;
    EXPECT_EQ(env, (std::map<std::string, std::string>{{"TORV_EVENT", "suppressed"},
                                                       {"TORV_TASK", "15"},
                                                       {"TORV_DESCRIPTION", "task"},
                                                       {"TORV_MESSAGE", "m"},
                                                       {"TORV_SUPPRESSED", "5"},
                                                       {"TORV_HOST", "srv1"},
                                                       {"TORV_TIME", "2026-12-07T21:00:00Z"}}));
}

// The words are what alert scripts, stored files and scrapers know: each one,
// and who gets it, as the manual lists them.
TEST(Alerts, EveryEventWordAndWhoGetsIt)
{
    enum Sent { Failure, Asked, Never, Always };
    const std::pair<const char*, Sent> rows[] = {
        {"launch-failed", Failure},   {"not-ready", Failure},       {"sequence-stopped", Failure},
        {"command-refused", Failure}, {"abnormal-stop", Failure},   {"settings-replaced", Failure},
        {"ip-check-failed", Failure}, {"task-exited", Failure},     {"task-gave-up", Failure},
        {"sequence-started", Asked},  {"sequence-complete", Asked}, {"command", Asked},
        {"shutdown", Asked},          {"restart", Asked},           {"ip-changed", Asked},
        {"task-restarted", Asked},    {"task-stopped", Asked},      {"sequence-counting", Never},
        {"task-launched", Never},     {"task-ready", Never},        {"remote-poll", Never},
        {"task-watched", Never},      {"task-ended", Never},        {"task-stopping", Never},
        {"suppressed", Always},
    };
    ASSERT_EQ(std::size(rows), std::size(kEventTable)); // every event has its row
    std::vector<std::string> unknown;
    const AlertFilter failures = AlertFilter::parse("failure", unknown);
    const AlertFilter all = AlertFilter::parse("ALL", unknown);
    const AlertFilter some = AlertFilter::parse(" command , ip-changed,bogus", unknown);
    const AlertFilter typo = AlertFilter::parse("failures", unknown); // never silences the failures
    EXPECT_EQ(unknown, (std::vector<std::string>{"bogus", "failures"}));
    for (const auto& [word, sent] : rows) {
        const std::optional<Event> event = eventNamed(word);
        ASSERT_TRUE(event) << word;
        EXPECT_STREQ(eventWord(*event), word);
        EXPECT_EQ(failures.wants(*event), sent == Failure || sent == Always) << word;
        EXPECT_EQ(typo.wants(*event), sent == Failure || sent == Always) << word;
        EXPECT_EQ(all.wants(*event), sent != Never) << word;
        const std::string w = word;
        EXPECT_EQ(some.wants(*event), w == "command" || w == "ip-changed" || sent == Always) << word;
        // Only what the command can get may be named in `events`.
        std::vector<std::string> bad;
        AlertFilter::parse(word, bad);
        EXPECT_EQ(bad.empty(), sent == Failure || sent == Asked) << word;
    }
}

// The exposition format's rules, read back: every sample's family has HELP
// and TYPE before it, names and label syntax are valid, counters end in
// _total, lines end in LF.
std::map<std::string, std::string> parseMetrics(const std::string& text)
{
    std::map<std::string, std::string> samples;
    std::map<std::string, std::string> types;
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("# HELP ", 0) == 0)
            continue;
        if (line.rfind("# TYPE ", 0) == 0) {
            std::istringstream t(line.substr(7));
            std::string name, type;
            t >> name >> type;
            EXPECT_TRUE(type == "gauge" || type == "counter") << line;
            EXPECT_EQ(type == "counter", name.size() > 6 && name.substr(name.size() - 6) == "_total") << line;
            types[name] = type;
            continue;
        }
        const auto space = line.rfind(' ');
        const std::string series = line.substr(0, space);
        const std::string name = series.substr(0, series.find('{'));
        EXPECT_TRUE(types.count(name)) << "no TYPE before " << line;
        EXPECT_NE(line.substr(space + 1).find_first_of("0123456789"), std::string::npos) << line;
        samples[series] = line.substr(space + 1);
    }
    return samples;
}

TEST(Alerts, MetricsText)
{
    ConsoleFigures f;
    f.state = SequenceState::Running;
    f.sequenceStart = 1765000000;
    f.tasks[1] = {"DB \"main\"\\x\nnext", 1765000005.25, 2, 3.5};
    f.tasks[2] = {"Caf\xe9 \xC0\xAF\xE2\x82", 0, 0, -1}; // not UTF-8: U+FFFD for each bad byte
    f.commands["report"] = 4;
    f.refused["stamp-used"] = 1;
    f.version = "1.4.0";
    const auto m = parseMetrics(formatMetrics(f));
    EXPECT_EQ(m.at("torv_up"), "1");
    EXPECT_EQ(m.at("torv_sequence_state{state=\"running\"}"), "1");
    EXPECT_EQ(m.at("torv_sequence_state{state=\"counting\"}"), "0");
    EXPECT_EQ(m.at("torv_task_launch_timestamp_seconds{task=\"1\",description=\"DB \\\"main\\\"\\\\x\\nnext\"}"),
              "1765000005.250");
    EXPECT_EQ(m.at("torv_task_failures_total{task=\"1\"}"), "2");
    EXPECT_EQ(m.at("torv_task_failures_total{task=\"2\"}"), "0");
    EXPECT_EQ(m.at("torv_task_ready_seconds{task=\"1\"}"), "3.500");
    EXPECT_EQ(m.at("torv_remote_commands_total{kind=\"report\"}"), "4");
    EXPECT_EQ(m.at("torv_remote_commands_total{kind=\"launch\"}"), "0");
    EXPECT_EQ(m.at("torv_remote_refused_total{reason=\"stamp-used\"}"), "1");
    EXPECT_EQ(m.at("torv_build_info{version=\"1.4.0\"}"), "1");
    EXPECT_EQ(m.at("torv_sequence_start_timestamp_seconds"), "1765000000");
    EXPECT_EQ(m.count("torv_remote_last_poll_timestamp_seconds"), 0u);
    f.up = false;
    f.tasks[2].launchedAt = 1765000009;
    const auto ended = parseMetrics(formatMetrics(f));
    EXPECT_EQ(ended.at("torv_up"), "0");
    EXPECT_EQ(
        ended.at("torv_task_launch_timestamp_seconds{task=\"2\",description=\"Caf\uFFFD \uFFFD\uFFFD\uFFFD\uFFFD\"}"),
        "1765000009");
    // Before any time is known, no family of times at all, not even its HELP.
    const std::string fresh = formatMetrics(ConsoleFigures{});
    EXPECT_EQ(fresh.find("_timestamp_seconds"), std::string::npos) << fresh;
    EXPECT_EQ(parseMetrics(fresh).at("torv_up"), "1");
}

TEST(Alerts, AddressInAWebAnswer)
{
    struct Case {
        const char* body;
        AddressFamily family;
        const char* address; // nullptr: none
    };
    const Case cases[] = {
        {"203.0.113.7\n", AddressFamily::IPv4, "203.0.113.7"},
        {"<html>HTTP/1.1 ok. Your address is 198.51.100.23.</html>", AddressFamily::IPv4, "198.51.100.23"},
        {"version 1.2.3.4.5 then 10.0.0.1", AddressFamily::IPv4, "10.0.0.1"},
        {"256.1.1.1 01.2.3.4", AddressFamily::IPv4, nullptr},
        {"2001:db8::1 then 203.0.113.7", AddressFamily::IPv4, "203.0.113.7"},
        {"2001:DB8:0:0:0:0:0:1", AddressFamily::IPv6, "2001:db8::1"},
        {"IP:2001:db8:0:0:1:0:0:1.", AddressFamily::IPv6, "2001:db8::1:0:0:1"},
        {"at 12:30:45, mac aa:bb:cc:dd:ee:ff, ::ffff:192.0.2.1", AddressFamily::IPv6, nullptr},
        {"<title>Home :: What is my IP</title> li::before{} 2001:db8::7", AddressFamily::IPv6, "2001:db8::7"},
        // Never this machine's outside address; the boundaries just past them are.
        {"::1 fe80::1 FEBF::1 ff02::1 ::ffff:0:1 fec0::1", AddressFamily::IPv6, "fec0::1"},
        {":: ::2", AddressFamily::IPv6, "::2"},
        {"203.0.113.7 only", AddressFamily::IPv6, nullptr},
        {"", AddressFamily::IPv4, nullptr},
    };
    for (const auto& c : cases) {
        const auto found = firstAddress(c.body, c.family);
        if (!c.address)
            EXPECT_FALSE(found) << c.body << " gave " << found.value_or("");
        else
            EXPECT_EQ(found.value_or("(none)"), c.address) << c.body;
    }
}

} // namespace
} // namespace torv

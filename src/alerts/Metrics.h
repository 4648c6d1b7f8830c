#pragma once
// The console's figures in the text format Prometheus' node and windows
// exporters read from a folder: what state the sequence is in, when each task
// launched, how often it failed, how long its readiness took, and how the
// remote interface is used.
#include <cstdint>
#include <map>
#include <string>

namespace torv {

enum class SequenceState { Counting, Running, Complete, Stopped };

struct TaskFigures {
    std::string description;
    double launchedAt = 0; // seconds since the epoch; 0: not launched yet
    std::uint64_t failures = 0;
    double readySeconds = -1; // -1: no readiness measured
    // Kept running by the console: these three have a series only then.
    bool watched = false;
    bool running = false;
    std::uint64_t restarts = 0;
    bool exited = false; // lastExitStatus holds a status
    long long lastExitStatus = 0;
};

struct ConsoleFigures {
    bool up = true;
    SequenceState state = SequenceState::Counting;
    double sequenceStart = 0;
    std::map<int, TaskFigures> tasks;
    double lastPoll = 0;
    // Every kind and reason is there from the start, at 0, so that a rate
    // over the first event is right.
    std::map<std::string, std::uint64_t> commands{
        {"report", 0}, {"shutdown", 0}, {"restart", 0}, {"launch", 0}, {"refused", 0}};
    std::map<std::string, std::uint64_t> refused{{"bad-signature", 0}, {"stamp-used", 0},   {"stamp-outside-window", 0},
                                                 {"unsigned", 0},      {"key-unusable", 0}, {"state-unwritable", 0}};
    std::string version;
};

// The whole file: LF line ends, no byte-order mark, every family with its
// HELP and TYPE lines, label values escaped; a time that has not happened yet
// is left out.
std::string formatMetrics(const ConsoleFigures& figures);

// A label value as the format writes it: backslash, double quote and line
// feed escaped, and bytes that are not UTF-8 (which the format must be) as
// U+FFFD.
std::string escapeLabelValue(const std::string& value);

} // namespace torv

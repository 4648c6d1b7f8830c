#pragma once
// What a task waits for: the checks of its `[task N]` section in torv.ini,
// tried before its launch (`before`) and after it (`ready`).
#include "ports/ReadinessProbe.h"
#include "settings/OptionsFile.h"
#include "settings/Settings.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace torv {

// One set of kinds for what the file says and what the probe tries.
using CheckKind = ProbeKind;

struct Check {
    CheckKind kind = CheckKind::Path;
    std::string text;   // as written in the file: what is saved back
    std::string target; // tcp: the host; http: the URL; else what follows the colon
    std::string port;   // tcp only
    // The text for log lines and messages: a password in a URL is masked.
    std::string shown() const;
};

enum class OnTimeout { Continue, Skip, Stop };

inline constexpr int kDefaultCheckTimeout = 60;
inline constexpr int kLongestCheckTimeout = 86400; // a day

// What the console does when a task's program ends, and when the console
// itself ends: `restart`, `restart-delay` … `stop-timeout` of `[task N]`.
enum class RestartPolicy { No, OnFailure, Always };
enum class StopPolicy { No, OnExit };

struct KeepRunning {
    RestartPolicy restart = RestartPolicy::No;
    int restartDelay = 1;     // seconds before the first restart; doubles for each further one
    int restartMaxDelay = 60; // ... up to this
    int restartReset = 60;    // a run this long resets the delay and the count
    int restartLimit = 5;     // restarts in a row before giving up; 0: never gives up
    StopPolicy stop = StopPolicy::No;
    int stopTimeout = 10; // seconds between the polite stop and the forced one

    // Whether the task's program is held and watched once started.
    bool watched() const { return restart != RestartPolicy::No || stop != StopPolicy::No; }
    bool operator==(const KeepRunning&) const = default;
};

struct TaskChecks {
    std::string location; // the task's location the section was written for
    std::vector<Check> before;
    std::vector<Check> ready;
    int timeout = kDefaultCheckTimeout; // seconds in all; 0: no limit
    OnTimeout onTimeout = OnTimeout::Continue;
    std::string caFile; // for https: a CA to trust besides the system's store
    // Seconds between a check's tries; 0: each kind's own pace.
    double interval = 0;
    KeepRunning keep;

    // No check to wait for (the task's launch is not held for checks).
    bool empty() const { return before.empty() && ready.empty(); }
    // Nothing that changes what the console does: no check, no keep-running
    // key, no interval. Such a section is neither kept nor written.
    bool unused() const { return empty() && keep == KeepRunning{} && interval == 0; }
};

// The whole-number keys of keeping a task running, in the order a save
// writes them: one table for the reader, the writer, the editor and the JSON.
struct KeepNumberKey {
    const char* name;
    int KeepRunning::*field;
    int least;
    int most;
};
inline constexpr KeepNumberKey kKeepNumberKeys[] = {
    {"restart-delay", &KeepRunning::restartDelay, 0, 3600},
    {"restart-max-delay", &KeepRunning::restartMaxDelay, 1, 3600},
    {"restart-reset", &KeepRunning::restartReset, 1, 86400},
    {"restart-limit", &KeepRunning::restartLimit, 0, 1000},
    {"stop-timeout", &KeepRunning::stopTimeout, 1, 600},
};
// "expected a whole number from 0 to 3600"
std::string keepNumberRange(const KeepNumberKey& key);

std::string restartWord(RestartPolicy policy);
std::string stopWord(StopPolicy policy);
// The policy a word names (any case), or nothing.
std::optional<RestartPolicy> restartPolicyOf(const std::string& word);
std::optional<StopPolicy> stopPolicyOf(const std::string& word);

// Seconds between a check's tries when `interval` is given.
inline constexpr double kShortestInterval = 0.1;
inline constexpr double kLongestInterval = 60;
inline constexpr const char* kIntervalRange = "expected seconds from 0.1 to 60, with a point for a fraction";
// Seconds as written: digits with at most one point ("0.5", "2", ".25"),
// always a point whatever the system's language; nothing when not such a
// number or outside 0.1 to 60.
std::optional<double> intervalOf(const std::string& text);
// The shortest text that reads back as the same seconds ("0.25", "2").
std::string intervalText(double seconds);

// Task number (1..100) -> its checks.
using CheckTable = std::map<int, TaskChecks>;

// The `[task N]` rule for the options file's reader.
OptionsSectionRule taskSectionRule();

// A check from its text, or nothing when the text is not one (`why` says why).
std::optional<Check> parseCheck(const std::string& text, std::string& why);

// The checks of the tasks config.ini holds. A section for a number with no
// task, or whose `location` differs from that task's, guards nothing and is
// reported (renumbered by hand or by a tool); a bad value is reported and the
// rest of its section still counts.
CheckTable readTaskChecks(OptionsFile& file, const TaskTable& tasks, int totalApps);

// The checks with each relative `path:` taken in `folder` (the program's):
// the working folder is whatever started the console ("/" under systemd).
std::vector<Check> withPathsIn(const std::string& folder, std::vector<Check> checks);

// The sections a save writes: one per task that has checks or keys (keyed by the
// number the task has in the saved file), each with the task's location so
// that a later renumbering by hand is noticed.
std::vector<OptionsSectionText> taskCheckSections(const CheckTable& checks, const TaskTable& tasks);

// Whether a section name is one of the task sections a save replaces.
bool isTaskSection(const std::string& name);

std::string onTimeoutWord(OnTimeout policy);

} // namespace torv

#pragma once
// What a task waits for: the checks of its `[task N]` section in torv.ini,
// tried before its launch (`before`) and after it (`ready`).
#include "platform/ReadinessProbe.h"
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

    bool empty() const { return before.empty() && ready.empty(); }
};

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

// The sections a save writes: one per task that has checks (keyed by the
// number the task has in the saved file), each with the task's location so
// that a later renumbering by hand is noticed.
std::vector<OptionsSectionText> taskCheckSections(const CheckTable& checks, const TaskTable& tasks);

// Whether a section name is one of the task sections a save replaces.
bool isTaskSection(const std::string& name);

std::string onTimeoutWord(OnTimeout policy);

} // namespace torv

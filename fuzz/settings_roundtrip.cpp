// What the settings editor saves reads back unchanged: every value in its
// place, whatever bytes it holds, and the times as the editor's text reads.
#include "base/Failure.h"
#include "editor/EditorRules.h"
#include "settings/ConfigFile.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void changed(const char* what, const std::string& saved, const std::string& read)
{
    std::fprintf(stderr, "%s changed: saved [%s] read [%s]\n", what, saved.c_str(), read.c_str());
    std::abort();
}

void same(const char* what, const std::string& saved, const std::string& read)
{
    if (saved != read)
        changed(what, saved, read);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace torv;
    FuzzedDataProvider in(data, size);
    EditorValues v;
    static const char* const launchOpts[] = {"EXIT", "MIN", "NORM"};
    v.LaunchOpt = launchOpts[in.ConsumeIntegralInRange(0, 2)];
    v.remoteOn = in.ConsumeBool();
    v.soundOn = in.ConsumeBool();
    v.commentsOn = in.ConsumeBool();
    v.ExchangeDir = in.ConsumeRandomLengthString(200);
    v.UserCmd = in.ConsumeRandomLengthString(200);
    // The time boxes keep only a text the editor's check accepts.
    v.InitTimeText = in.ConsumeRandomLengthString(20);
    if (!timeTextAccepted(v.InitTimeText))
        v.InitTimeText = "30";
    v.CheckTimeText = in.ConsumeRandomLengthString(20);
    if (!timeTextAccepted(v.CheckTimeText))
        v.CheckTimeText = "10";
    TaskTable t;
    std::vector<std::pair<std::string, std::string>> expected;
    const int slots = in.ConsumeIntegralInRange(0, kMaxTasks);
    for (int i = 1; i <= slots && in.remaining_bytes() > 0; ++i) {
        const int slot = in.ConsumeIntegralInRange(1, kMaxTasks);
        t.TaskDesc[slot] = in.ConsumeRandomLengthString(100);
        t.TaskLoc[slot] = in.ConsumeRandomLengthString(100);
    }
    for (int i = 1; i <= kMaxTasks; ++i)
        if (!t.TaskLoc[i].empty())
            expected.emplace_back(t.TaskDesc[i], t.TaskLoc[i]);

    SettingsRecord s;
    TaskTable r;
    int16 total = -1;
    try {
        parseConfig(formatConfig(v, t), s, r, total);
    } catch (const Failure& f) {
        changed("the file", "readable", f.text());
    }
    same("LaunchOpt", v.LaunchOpt, s.LaunchOpt);
    same("ExchangeDir", v.ExchangeDir, s.ExchangeDir);
    same("UserCmd", v.UserCmd, s.UserCmd);
    if (s.InitTime != parseTime(v.InitTimeText) || s.InitTime < 1 || s.InitTime > 60)
        changed("InitTime", v.InitTimeText, std::to_string(s.InitTime));
    if (s.CheckTime != parseTime(v.CheckTimeText) || s.CheckTime < 1 || s.CheckTime > 60)
        changed("CheckTime", v.CheckTimeText, std::to_string(s.CheckTime));
    same("RemoteOpt", v.remoteOn ? "REMOTEON" : "REMOTEOFF", s.RemoteOpt);
    same("Sounds", v.soundOn ? "SOUNDON" : "SOUNDOFF", s.Sounds);
    same("UserComment", v.commentsOn ? "COMMENTSON" : "COMMENTSOFF", s.UserComment);
    if (total != static_cast<int>(expected.size()))
        changed("TotalApps", std::to_string(expected.size()), std::to_string(total));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        same("TaskDesc", expected[i].first, r.TaskDesc[i + 1]);
        same("TaskLoc", expected[i].second, r.TaskLoc[i + 1]);
    }
    return 0;
}

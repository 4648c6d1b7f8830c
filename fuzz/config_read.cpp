// The config.ini reader on any bytes: only a Failure may come out, and what it
// reads keeps the table's bounds.
#include "base/Failure.h"
#include "settings/ConfigFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace torv;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SettingsRecord s;
    TaskTable t;
    t.TaskDesc.fill("stale");
    t.TaskLoc.fill("stale");
    int16 total = -1;
    try {
        parseConfig(text, s, t, total);
    } catch (const Failure& f) {
        if (f.code != 62 && f.code != 9 && f.code != 6)
            std::abort();
        return 0;
    }
    if (total < 0 || total > kMaxTasks)
        std::abort();
    // Slot 0 is never a task.
    if (t.TaskDesc[0] != "stale" || t.TaskLoc[0] != "stale")
        std::abort();
    return 0;
}

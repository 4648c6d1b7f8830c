#include "editor/EditorSave.h"

#include "base/Failure.h"
#include "core/ConsolePaths.h"
#include "settings/OptionsRules.h"

#include <vector>

namespace torv {

namespace {

// How config.ini numbers the tasks once saved: the slots with a location, in
// slot order, from 1. The console keeps its slots until the next reading, so
// its checks stay keyed by slot and only the file sees the new numbers.
class SavedNumbering {
public:
    explicit SavedNumbering(const TaskTable& slots)
    {
        for (int slot = 1; slot <= kMaxTasks; ++slot) {
            if (slots.TaskLoc[slot].empty())
                continue;
            slotOf_.push_back(slot);
            saved_.TaskDesc[count()] = slots.TaskDesc[slot];
            saved_.TaskLoc[count()] = slots.TaskLoc[slot];
        }
    }
    const TaskTable& tasks() const { return saved_; }
    int count() const { return static_cast<int>(slotOf_.size()); }

    CheckTable toSaved(const CheckTable& bySlot) const
    {
        CheckTable out;
        for (int n = 1; n <= count(); ++n)
            if (auto found = bySlot.find(slotOf_[n - 1]); found != bySlot.end())
                out[n] = found->second;
        return out;
    }
    CheckTable toSlots(const CheckTable& bySaved) const
    {
        CheckTable out;
        for (const auto& [n, checks] : bySaved)
            if (n >= 1 && n <= count())
                out[slotOf_[n - 1]] = checks;
        return out;
    }

private:
    TaskTable saved_;
    std::vector<int> slotOf_; // index: the saved number - 1
};

void readSavedOptions(ConsoleState& state, ConsoleActions& console, const std::string& path,
                      const SavedNumbering& numbering)
{
    OptionsFile file = readOptions(path, knownOptionsRules());
    state.checks = numbering.toSlots(readTaskChecks(file, numbering.tasks(), numbering.count()));
    // A check wait under way starts over with what was saved, as at a reload.
    ++state.optionsReadings;
    const auto problems = file.problemLines();
    for (const std::string& problem : problems) {
        console.appendLog(problem);
        console.needsAttention("WARNING: " + problem);
    }
    if (!problems.empty())
        console.showLog();
}

} // namespace

std::string optionsNotWrittenMessage(const std::string& path, const std::string& reason)
{
    return "Could not write " + path + ": " + reason +
           "\nconfig.ini was saved; the task checks were not. Press Ok again or Cancel.";
}

bool saveFromEditor(ConsoleState& state, ConsoleActions& console, const Ports& ports, const EditorValues& values)
{
    try {
        // Written through a temporary file: a failed save leaves the old file whole.
        saveConfig(configPath(ports.program), values, state.tasks);
    } catch (const Failure&) {
        return false;
    }
    // A console that has not read torv.ini yet (a first run, or a start-up
    // stopped at config.ini) does not hold the file's checks: unless some were
    // entered, the file is left as it is rather than emptied of them.
    if (state.optionsReadings == 0 && state.checks.empty())
        return true;
    // torv.ini second: until it is written, each old section still names the
    // location it was written for, so a section whose task has moved is
    // reported and ignored rather than applied to another program.
    const SavedNumbering numbering(state.tasks);
    const std::string path = optionsPath(ports.program);
    try {
        saveOptions(path, isTaskSection, taskCheckSections(numbering.toSaved(state.checks), numbering.tasks()));
    } catch (const Failure& failure) {
        ports.dialogs.messageBox(optionsNotWrittenMessage(path, failure.text()));
        return false;
    }
    readSavedOptions(state, console, path, numbering);
    return true;
}

bool saveAndRestart(ConsoleState& state, ConsoleActions& console, const Ports& ports, const EditorValues& values)
{
    if (!saveFromEditor(state, console, ports, values))
        return false;
    state.Reloading = true;
    return true;
}

void cancelEditor(ConsoleState& state, ConsoleActions& console)
{
    if (state.FirstCancel) {
        state.FirstCancel = false;
        console.requestEnd();
    }
}

} // namespace torv

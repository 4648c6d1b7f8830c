#include "editor/EditorSave.h"

#include "platform/Failure.h"

namespace torv {

bool saveFromEditor(const ConsoleState& state, const std::string& configPath, const EditorValues& values)
{
    try {
        // Written through a temporary file: a failed save leaves the old file whole.
        saveConfig(configPath, values, state.tasks);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

bool saveAndRestart(ConsoleState& state, const std::string& configPath, const EditorValues& values)
{
    if (!saveFromEditor(state, configPath, values))
        return false;
    state.Reloading = true;
    return true;
}

void cancelEditor(ConsoleState& state, ConsoleActions& console)
{
    if (state.FirstCancel) {
        state.FirstCancel = false;
        console.endProgram();
    }
}

} // namespace torv

#pragma once
// The editor's closing actions on the console's state, without any widget.
#include "core/ConsoleActions.h"
#include "core/ConsoleState.h"
#include "settings/ConfigFile.h"

#include <string>

namespace torv {

// Saves the values and the console's task list to config.ini. Returns false
// (and changes nothing else) when the save fails: the editor then stays open
// and says nothing.
bool saveFromEditor(const ConsoleState& state, const std::string& configPath, const EditorValues& values);
// "Ok+&Restart": save, and on success ask the console to start over.
bool saveAndRestart(ConsoleState& state, const std::string& configPath, const EditorValues& values);
// "&Cancel": on a first run the user refused the settings and the program ends.
void cancelEditor(ConsoleState& state, ConsoleActions& console);

} // namespace torv

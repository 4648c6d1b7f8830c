#pragma once
// The editor's closing actions on the console's state, without any widget.
#include "core/ConsoleActions.h"
#include "core/ConsoleState.h"
#include "core/Ports.h"
#include "settings/ConfigFile.h"

#include <string>

namespace torv {

// Saves the values and the console's task list to config.ini, then the tasks'
// checks to torv.ini's [task N] sections, numbered as config.ini now numbers
// the tasks (it keeps no empty slot) and each with its task's location; every
// other line of torv.ini stays. torv.ini is then read again, as at a reload,
// so that the console's checks are what the file says.
// Returns false when a file could not be written; the editor then stays open.
// A failed config.ini says nothing and torv.ini is not touched (the editor's
// rule); a failed torv.ini says so in a message box, and config.ini stays saved.
bool saveFromEditor(ConsoleState& state, ConsoleActions& console, const Ports& ports, const EditorValues& values);
// "Ok+&Restart": save, and on success ask the console to start over.
bool saveAndRestart(ConsoleState& state, ConsoleActions& console, const Ports& ports, const EditorValues& values);
// "&Cancel": on a first run the user refused the settings and the program ends.
void cancelEditor(ConsoleState& state, ConsoleActions& console);

// The message when torv.ini cannot be written.
std::string optionsNotWrittenMessage(const std::string& path, const std::string& reason);

} // namespace torv

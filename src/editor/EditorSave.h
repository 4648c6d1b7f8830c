#pragma once
// The editor's closing actions on the console's state, without any widget.
#include "settings/ConfigFile.h"

namespace torv {

class Form1;

// Saves config.ini. Returns false (and changes nothing else) when the save
// fails: the editor then stays open and says nothing.
bool saveFromEditor(Form1& form, const EditorValues& values);
// "Ok+&Restart": save, and on success ask the console to start over.
bool saveAndRestart(Form1& form, const EditorValues& values);
// "&Cancel": on a first run the user refused the settings and the program ends.
void cancelEditor(Form1& form);

} // namespace torv

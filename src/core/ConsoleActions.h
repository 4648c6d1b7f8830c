#pragma once
// What the parts of the console may ask of it: the log, the status line, the
// cues, the controls, the window and the end of the program. The console
// (Form1) implements it for whatever view it drives, a window or a journal.
#include "core/ConsoleEvent.h"

#include <string>

namespace torv {

enum class Control { cmdEdit, cmdRestart, cmdClear, cmdTray, Command8, cmdConfig, chkRemote, Chart };

class ConsoleActions {
public:
    // Adds an entry to the log; shows nothing yet.
    virtual void appendLog(const std::string& entry) = 0;
    // entry + date + ":" + time, or time first; returns the line it added.
    virtual std::string appendStamped(const std::string& entry, bool timeFirst = false) = 0;
    // The log box gets the whole log.
    virtual void showLog() = 0;
    // Puts other text into the log box (comment line, error text).
    virtual void setLogBox(const std::string& text) = 0;
    virtual void setStatus(const std::string& text) = 0;
    // A line that needs a person ("WARNING: ..." or "ERROR: ..."), besides
    // the log: only a console without a window has a place for it.
    virtual void needsAttention(const std::string& line) = 0;
    // Tells the listeners (alert command, metrics file) of an event; costs
    // nothing when none is set up.
    virtual void notify(const ConsoleEvent& event) = 0;
    // Plays a cue file of the program's folder when sounds are on.
    virtual void playCue(const char* cueFile) = 0;
    virtual void setControlEnabled(Control control, bool enabled) = 0;
    // Sets the remote toggle's value from code; runs its handler on a change.
    virtual void setRemoteToggle(bool on) = 0;

    virtual void showWindow() = 0;
    virtual void focusWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    // Ends the program: at once when no kept program has to be stopped
    // first (then it does not return); else the kept programs are stopped in
    // order on the loop, and the program ends after them. A second request
    // while they stop ends what is left of them at once.
    virtual void requestEnd() = 0;

protected:
    ~ConsoleActions() = default;
};

} // namespace torv

#pragma once
// What the console logic asks of its window. The Qt window implements it; tests
// record it.
#include "core/ConsoleActions.h"
#include "cpumon/CpuChart.h"

#include <string>

namespace torv {

class ConsoleView {
public:
    virtual ~ConsoleView() = default;
    virtual void setCaption(const std::string& caption) = 0;
    virtual void setStatus(const std::string& text) = 0; // Label1
    // Text1: replace the whole text, or add to its end without moving the view.
    virtual void setLogText(const std::string& text) = 0;
    virtual void appendLogText(const std::string& tail) = 0;
    // One entry has just been added to the log (before any showing of it); a
    // view that writes a journal takes it from here.
    virtual void logEntryAppended(const std::string& /*entry*/) {}
    // A "WARNING: " or "ERROR: " line; a window shows it in the log already.
    virtual void attention(const std::string& /*line*/) {}
    virtual void setControlEnabled(Control control, bool enabled) = 0;
    // Shows a toggle's value; raises no handler.
    virtual void setToggleValue(Control control, bool on) = 0;
    virtual void moveToTwips(int left, int top) = 0;
    virtual void showWindow() = 0;
    virtual void hideWindow() = 0;
    virtual void minimizeWindow() = 0;
    virtual void focusWindow() = 0;
    // The chart area (Scope with Label3).
    virtual ScopeView& scope() = 0;
};

} // namespace torv

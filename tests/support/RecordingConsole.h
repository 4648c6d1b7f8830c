#pragma once
// The console's side of one component under test (a watcher, the
// supervisor): what it logs, tells and plays, each as a text to compare.
#include "core/ConsoleActions.h"
#include "support/SimPlatform.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace torv::sim {

struct RecordingConsole : ConsoleActions {
    using Prefix = std::function<std::string()>;
    using EventText = std::function<std::string(const ConsoleEvent&)>;
    // prefix: put before every log line (a virtual time, say); eventText: how
    // a told event reads in `events` (by default "event: message").
    explicit RecordingConsole(const SimClock& clock, Prefix prefix = {}, EventText eventText = {})
        : clock(clock), prefix(std::move(prefix)), eventText(std::move(eventText))
    {
    }
    void appendLog(const std::string& entry) override { lines.push_back((prefix ? prefix() : "") + entry); }
    std::string appendStamped(const std::string& entry, bool) override
    {
        appendLog(entry + clock.dateText() + ":" + clock.timeText());
        return lines.back();
    }
    void showLog() override {}
    void setLogBox(const std::string&) override {}
    void setStatus(const std::string&) override {}
    void needsAttention(const std::string& line) override { attention.push_back(line); }
    void notify(const ConsoleEvent& e) override
    {
        events.push_back(eventText ? eventText(e) : std::string(eventWord(e.event)) + ": " + e.message);
    }
    void playCue(const char* cueFile) override { cues.push_back(cueFile); }
    void setControlEnabled(Control, bool) override {}
    void setRemoteToggle(bool) override {}
    void showWindow() override {}
    void focusWindow() override {}
    void hideWindow() override {}
    void minimizeWindow() override {}
    void requestEnd() override { throw ProgramEnded{}; }

    const SimClock& clock;
    Prefix prefix;
    EventText eventText;
    std::vector<std::string> lines, attention, events, cues;
};

} // namespace torv::sim

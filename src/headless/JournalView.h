#pragma once
// The console "window" of a headless run: every log entry as it is appended and
// every status change (countdowns by their first number) become journal
// lines; everything else a window would show has no one to look at it.
#include "console/ConsoleView.h"
#include "headless/LineSink.h"
#include "headless/StatusFilter.h"

namespace torv {

class JournalView : public ConsoleView, private ScopeView {
public:
    explicit JournalView(LineSink& sink);

    void setStatus(const std::string& text) override;
    void logEntryAppended(const std::string& entry) override { sink_.out(oneLine(entry)); }
    void attention(const std::string& line) override { sink_.err(oneLine(line)); }

    // The log box only repeats what the entries said, but for the texts put
    // there instead of the log (the abnormal stop's): kept for boxText().
    void setLogText(const std::string& text) override { box_ = text; }
    const std::string& boxText() const { return box_; }
    void appendLogText(const std::string&) override {}
    void setCaption(const std::string&) override {}
    void setControlEnabled(Control, bool) override {}
    void setToggleValue(Control, bool) override {}
    void moveToTwips(int, int) override {}
    void showWindow() override {}
    void hideWindow() override {}
    void minimizeWindow() override {}
    void focusWindow() override {}
    ScopeView& scope() override { return *this; }

private:
    // No chart: its area draws nothing.
    void clear() override {}
    void drawLine(double, double, double, double) override {}
    void setValueText(const std::string&) override {}

    LineSink& sink_;
    StatusFilter filter_;
    std::string box_;
};

} // namespace torv

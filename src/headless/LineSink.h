#pragma once
// Where a console without a window writes: journal lines and error lines.
#include <string>

namespace torv {

class LineSink {
public:
    virtual ~LineSink() = default;
    // Each call writes one line; callers pass text through oneLine().
    virtual void out(const std::string& line) = 0; // what a person would read
    virtual void err(const std::string& line) = 0; // what needs a person
};

// Text made into exactly one line: control characters (a line break inside a
// quoted remote command, say) become blanks, so no text can forge a line.
std::string oneLine(const std::string& text);

// The syslog priority the journal reads at a line's start: "<3>" for an
// ERROR: line, "<4>" for a WARNING: line, "<6>" for the rest.
std::string journalPriority(const std::string& line);

// Standard output and standard error, each line flushed at once: a journal
// must see a line when it happens, not when a buffer fills. A stream the
// journal reads directly gets each line's priority in front of it; anywhere
// else the lines stay as they are.
class StdioSink : public LineSink {
public:
    explicit StdioSink(bool outIsJournal = false, bool errIsJournal = false)
        : outIsJournal_(outIsJournal), errIsJournal_(errIsJournal)
    {
    }
    void out(const std::string& line) override;
    void err(const std::string& line) override;

private:
    bool outIsJournal_;
    bool errIsJournal_;
};

} // namespace torv

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

// Standard output and standard error, each line flushed at once: a journal
// must see a line when it happens, not when a buffer fills.
class StdioSink : public LineSink {
public:
    void out(const std::string& line) override;
    void err(const std::string& line) override;
};

} // namespace torv

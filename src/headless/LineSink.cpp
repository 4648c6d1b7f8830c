#include "headless/LineSink.h"

#include <cstdio>

namespace torv {

std::string oneLine(const std::string& text)
{
    std::string line = text;
    for (char& c : line)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
            c = ' ';
    return line;
}

std::string journalPriority(const std::string& line)
{
    if (line.rfind("ERROR:", 0) == 0)
        return "<3>";
    if (line.rfind("WARNING:", 0) == 0)
        return "<4>";
    return "<6>";
}

namespace {
void writeLine(std::FILE* to, bool journal, const std::string& line)
{
    const std::string text = journal ? journalPriority(line) + line : line;
    std::fwrite(text.data(), 1, text.size(), to);
    std::fputc('\n', to);
    std::fflush(to);
}
} // namespace

void StdioSink::out(const std::string& line)
{
    writeLine(stdout, outIsJournal_, line);
}

void StdioSink::err(const std::string& line)
{
    writeLine(stderr, errIsJournal_, line);
}

} // namespace torv

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

namespace {
void writeLine(std::FILE* to, const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), to);
    std::fputc('\n', to);
    std::fflush(to);
}
} // namespace

void StdioSink::out(const std::string& line)
{
    writeLine(stdout, line);
}

void StdioSink::err(const std::string& line)
{
    writeLine(stderr, line);
}

} // namespace torv

// The command-line word splitter on any bytes: a NUL is refused as 5 and
// nothing else fails; words never hold a double quote, and an unquoted word
// never holds a blank and is never empty.
#include "base/CommandLine.h"
#include "base/Failure.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace torv;
    const std::string line(reinterpret_cast<const char*>(data), size);
    const bool hasNul = line.find('\0') != std::string::npos;
    std::vector<std::string> words;
    try {
        words = splitCommandLine(line);
    } catch (const Failure& f) {
        if (!hasNul || f.code != 5)
            std::abort();
        return 0;
    }
    if (hasNul)
        std::abort();
    const bool anyQuote = line.find('"') != std::string::npos;
    std::string joined;
    for (const std::string& w : words) {
        if (w.find('"') != std::string::npos)
            std::abort();
        if (!anyQuote && (w.empty() || w.find_first_of(" \t\r\n") != std::string::npos))
            std::abort();
        joined += w;
    }
    // Splitting only drops blanks and quotes.
    std::string kept;
    for (char c : line)
        if (c != '"' && (anyQuote || (c != ' ' && c != '\t' && c != '\r' && c != '\n')))
            kept += c;
    if (!anyQuote && joined != kept)
        std::abort();
    if (joined.size() > kept.size())
        std::abort();
    return 0;
}

#include "base/CommandLine.h"

#include "base/Failure.h"

namespace torv {

void checkCommandLine(const std::string& line)
{
    if (line.find('\0') != std::string::npos)
        throw Failure::invalidCall();
}

std::vector<std::string> splitCommandLine(const std::string& line)
{
    checkCommandLine(line);
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true; // "" is an empty word
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\r' || c == '\n')) {
            if (inWord)
                words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(word);
    return words;
}

} // namespace torv

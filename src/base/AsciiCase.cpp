#include "base/AsciiCase.h"

namespace torv {

namespace {

char lowerByte(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

char upperByte(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lowerByte(c);
    return out;
}

std::string asciiUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = upperByte(c);
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && startsWithIgnoringAsciiCase(a, b);
}

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lowerByte(text[i]) != lowerByte(prefix[i]))
            return false;
    return true;
}

} // namespace torv

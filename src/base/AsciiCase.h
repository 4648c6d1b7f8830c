#pragma once
// Case folding for the console's own words (setting names, event words,
// schemes, commands). ASCII letters only, never the locale's rules: any other
// byte, a UTF-8 sequence's included, passes through as it is.
#include <string>
#include <string_view>

namespace torv {

std::string asciiLower(std::string_view text);
std::string asciiUpper(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);
bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix);

} // namespace torv

#pragma once
// Text is UTF-8 inside the program; the Win32 API gets and gives UTF-16.
#include <string>

namespace torv {

std::wstring widen(const std::string& utf8);
std::string narrow(const std::wstring& wide);

// Between the system's ANSI code page (the encoding of text files written by
// older programs) and UTF-8.
std::string ansiToUtf8(const std::string& ansi);
// Throws Failure 75 when the text has a character the code page cannot hold.
std::string utf8ToAnsi(const std::string& utf8);

// "2 The system cannot find the file specified." style text of a system error.
std::string systemMessage(unsigned long error);

} // namespace torv

#pragma once
// UTF-8 byte rules shared by readers and writers of text.
#include <cstddef>
#include <string>
#include <string_view>

namespace torv {

// How many bytes the UTF-8 character at the start of `bytes` takes; 0 when
// they start with no valid character (a stray continuation byte, an overlong
// form, a surrogate, a value past U+10FFFF). Bytes that end inside a
// character that is valid so far give 0 and set `cutShort`.
std::size_t utf8CharLength(std::string_view bytes, bool& cutShort);

// The text with every byte that is not part of a valid UTF-8 character
// replaced by U+FFFD, for formats that must be UTF-8 whatever they are given.
std::string withValidUtf8(std::string_view bytes);

} // namespace torv

#pragma once
// Numbers read from text and numbers stored in 16 bits: one rule for each,
// shared by the settings file, the settings editor and the CPU chart.
#include "base/Int16.h"

#include <string_view>

namespace torv {

// The number a text begins with: leading spaces and tabs skipped, then an
// optional sign, digits and a fraction after a point ("5x" is 5, "2.5" is 2.5,
// ".5" is 0.5). A text that does not begin with a number counts as 0; a number
// too large for a double is an infinity.
double leadingNumber(std::string_view text);

// The nearest 16-bit integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4,
// -2.5 -> -2). Outside 16 bits: 6; not a number: 13.
int16 roundToInt16(double v);

} // namespace torv

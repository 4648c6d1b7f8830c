#pragma once
// Counters, times and chart coordinates are signed 16-bit values whose overflow
// is a failure, never a wrap-around.
#include "base/Failure.h"

#include <cstdint>

namespace torv {

using int16 = std::int16_t;

constexpr int16 checked16(long long v)
{
    if (v < INT16_MIN || v > INT16_MAX)
        throw Failure::overflow();
    return static_cast<int16>(v);
}

constexpr int16 add16(int16 a, int16 b)
{
    return checked16(static_cast<long long>(a) + b);
}
constexpr int16 sub16(int16 a, int16 b)
{
    return checked16(static_cast<long long>(a) - b);
}
constexpr int16 mul16(int16 a, int16 b)
{
    return checked16(static_cast<long long>(a) * b);
}

} // namespace torv

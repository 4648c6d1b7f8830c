#pragma once
#include <string>

namespace torv {

struct DateTimeFields {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual DateTimeFields now() const = 0;
    // The system's short date, as the system renders it.
    virtual std::string dateText() const = 0;
    // The system's time with seconds, without a time-zone suffix.
    virtual std::string timeText() const = 0;
    // Milliseconds since 1970-01-01 00:00 UTC, whatever the local time zone.
    virtual long long utcMilliseconds() const = 0;
};

} // namespace torv

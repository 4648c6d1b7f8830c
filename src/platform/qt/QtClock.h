#pragma once
#include "ports/Clock.h"

namespace torv {

// Date and time texts in the system locale's own forms.
class QtClock : public Clock {
public:
    DateTimeFields now() const override;
    std::string dateText() const override;
    std::string timeText() const override;
    long long utcMilliseconds() const override;
};

} // namespace torv

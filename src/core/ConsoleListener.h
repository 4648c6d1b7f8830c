#pragma once
// One who follows the console from outside: the events, the status line as
// it changes, and the program's clean end. Each part is optional.
#include "core/ConsoleEvent.h"

#include <string>

namespace torv {

class ConsoleListener {
public:
    virtual void notify(const ConsoleEvent&) {}
    virtual void statusChanged(const std::string&) {}
    // The program ends cleanly ("EXIT", a stop request); nothing runs after.
    virtual void ending() {}

protected:
    ~ConsoleListener() = default;
};

} // namespace torv

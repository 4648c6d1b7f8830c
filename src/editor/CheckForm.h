#pragma once
// The checks dialog's fields as text: what it shows for a task's checks, and
// the checks it reads back, refusing the first line that is not one.
#include "settings/TaskChecks.h"

#include <array>
#include <string>
#include <variant>

namespace torv {

struct CheckFormText {
    std::string before; // one check a line
    std::string ready;
    std::string timeout; // seconds
    OnTimeout onTimeout = OnTimeout::Continue;
    std::string caFile;
    std::string interval; // seconds; empty: each kind's own pace
    RestartPolicy restart = RestartPolicy::No;
    StopPolicy stop = StopPolicy::No;
    std::array<std::string, std::size(kKeepNumberKeys)> keepNumbers; // in the order of kKeepNumberKeys
};

// The dialog's caption of each of kKeepNumberKeys, as its messages name it.
extern const std::array<const char*, std::size(kKeepNumberKeys)> kKeepNumberCaptions;

CheckFormText checkFormOf(const TaskChecks& checks);

// The checks the fields hold; blank lines and the blanks around a value are
// dropped. Otherwise the message for the first field or line refused.
std::variant<TaskChecks, std::string> readCheckForm(const CheckFormText& form);

} // namespace torv

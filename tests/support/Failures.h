#pragma once
// One way for every test to ask which failure a call ends in.
#include "base/Failure.h"

#include <utility>

namespace torv::sim {

// The code of the Failure the call throws; 0 when it throws none.
template <class Call> int failureCodeOf(Call&& call)
{
    try {
        std::forward<Call>(call)();
    } catch (const Failure& f) {
        return f.code;
    }
    return 0;
}

} // namespace torv::sim

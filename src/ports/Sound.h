#pragma once
#include <string>

namespace torv {

// Plays a WAV file without waiting; a new cue cuts the last one short. Never
// fails: a missing file gives the platform's default beep.
class Sound {
public:
    virtual ~Sound() = default;
    virtual void play(const std::string& path) = 0;
};

} // namespace torv

#pragma once
#include "ports/Sound.h"

namespace torv {

// PlaySoundW: asynchronous, a new cue cuts the last one short; a missing file
// gives the default beep rather than the system's default sound.
class Win32Sound : public Sound {
public:
    void play(const std::string& path) override;
};

} // namespace torv

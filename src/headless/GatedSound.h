#pragma once
// Cues on a machine that may have no sound at all: played only when a sound
// output is there, otherwise skipped without a word (no line per cue in the
// journal). A missing cue file is skipped too: there is no one to hear a beep.
#include "ports/Sound.h"

#include <functional>

namespace torv {

class GatedSound : public Sound {
public:
    GatedSound(Sound& player, std::function<bool()> outputThere) : player_(player), outputThere_(std::move(outputThere))
    {
    }
    void play(const std::string& path) override;

private:
    Sound& player_;
    std::function<bool()> outputThere_;
};

} // namespace torv

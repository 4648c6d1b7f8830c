#pragma once
#include "ports/Sound.h"

#include <memory>

class QSoundEffect;

namespace torv {

// Cues through QSoundEffect: asynchronous, a new cue stops the last one, a
// missing file beeps.
class QtSound : public Sound {
public:
    QtSound();
    ~QtSound() override;
    void play(const std::string& path) override;

private:
    std::unique_ptr<QSoundEffect> effect_;
};

} // namespace torv

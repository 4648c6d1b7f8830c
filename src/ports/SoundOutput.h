#pragma once

namespace torv {

// True when a sound output can be reached without a desktop session (a sound
// server's socket). Cheap enough to ask before every cue; never prints.
bool soundOutputThere();

} // namespace torv

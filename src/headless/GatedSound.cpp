#include "headless/GatedSound.h"

#include <filesystem>

namespace torv {

void GatedSound::play(const std::string& path)
{
    std::error_code ec;
    // Asked at every cue: a sound server may come up after the console.
    if (std::filesystem::is_regular_file(path, ec) && outputThere_())
        player_.play(path);
}

} // namespace torv

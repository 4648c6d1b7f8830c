#pragma once
// The settings as JSON, for tools that manage many consoles: what start-up
// reads from config.ini and torv.ini, printed, and the reverse, written with
// the editor's writers. The shape is an interface (docs/manual.md).
#include "settings/OptionsFile.h"

#include <cstddef>
#include <string>
#include <vector>

namespace torv {

struct ConfigToolResult {
    int status = 0;
    std::string out; // standard output
    std::string err; // standard error
};

// Reads config.ini as start-up does and, when `optionsPath` is not empty, the
// torv.ini there. Status 0: read cleanly; 2: config.ini missing; 3: config.ini
// damaged (start-up's failure on `err`); 4: read, but torv.ini has lines that
// would be reported and ignored (listed under "warnings"). Writes nothing.
// `rules` are the torv.ini sections the program knows (knownOptionsRules()):
// the tasks' come out structured, every other one key by key.
ConfigToolResult checkConfig(const std::string& configPath, const std::string& optionsPath,
                             const std::vector<OptionsSectionRule>& rules);

// The most --write-config reads from its input.
inline constexpr std::size_t kConfigJsonLimit = 4 * 1024 * 1024;

// Writes config.ini and every torv.ini section the program knows from the
// JSON, each file only when its bytes change. Status 0 with "changed" or
// "unchanged"; 1 when the JSON or a value is refused, a value would be
// reported on reading, or a file cannot be read (nothing is written), or a
// file cannot be written.
ConfigToolResult writeConfig(const std::string& configPath, const std::string& optionsPath, const std::string& json,
                             const std::vector<OptionsSectionRule>& rules);

} // namespace torv

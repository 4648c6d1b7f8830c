#pragma once
// The console's own files, in the program's folder.
#include "ports/Paths.h"
#include "ports/Program.h"
#include "settings/OptionsFile.h"

#include <string>

namespace torv {

inline std::string configPath(const Program& program)
{
    return inFolder(program.folder(), "config.ini");
}

inline std::string optionsPath(const Program& program)
{
    return inFolder(program.folder(), kOptionsFileName);
}

inline std::string commentsPath(const Program& program)
{
    return inFolder(program.folder(), "comments.txt");
}

} // namespace torv

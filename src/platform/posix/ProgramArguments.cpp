#include "ports/ProgramArguments.h"

namespace torv {

// The arguments are the bytes they were given as; text here is UTF-8.
std::vector<std::string> programArguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

} // namespace torv

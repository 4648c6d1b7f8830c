#include "ports/ExecutableFolder.h"

#include <filesystem>

namespace torv {

std::string executableFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : exe.parent_path().string();
}

} // namespace torv

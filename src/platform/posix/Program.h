#pragma once
#include "platform/posix/SingleInstance.h"
#include "ports/Program.h"

#include <memory>

namespace torv {

class PosixProgram : public Program {
public:
    PosixProgram();
    std::string folder() const override;
    std::string driveRoot() const override;
    Version version() const override;
    std::string fileDescription() const override;
    std::optional<std::string> environment(const std::string& name) const override;
    std::string hostName() const override;
    // shutdown found on PATH, so tests can put a fake first.
    std::string shutdownCommand() const override { return "shutdown -h now"; }
    std::string restartCommand() const override { return "shutdown -r now"; }
    // An executable here has no extension: its pattern is every file.
    ProgramFileFilters programFileFilters() const override
    {
        return {{"Shell Scripts(*.sh)", "Executable Files (*)"}, 1};
    }
    bool anotherInstanceRunning() override;
    [[noreturn]] void endNow() override;

private:
    std::unique_ptr<SingleInstanceLock> lock_;
};

} // namespace torv

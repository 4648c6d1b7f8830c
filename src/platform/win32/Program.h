#pragma once
#include "ports/Program.h"

namespace torv {

class Win32Program : public Program {
public:
    Win32Program();
    ~Win32Program() override;
    std::string folder() const override { return folder_; }
    // The first three characters of the program's folder ("C:\"), or the
    // share of a UNC folder ("\\server\share\").
    std::string driveRoot() const override;
    Version version() const override;
    std::string fileDescription() const override;
    std::optional<std::string> environment(const std::string& name) const override;
    std::string hostName() const override;
    std::string shutdownCommand() const override { return "shutdown -s -f -t 0"; }
    std::string restartCommand() const override { return "shutdown -r"; }
    ProgramFileFilters programFileFilters() const override
    {
        return {{"Batch Files(*.bat)", "Executable Files (*.exe)"}, 1};
    }
    // One copy per program folder, whatever the user and session: a mutex in
    // the Global namespace named after the folder.
    bool anotherInstanceRunning() override;
    [[noreturn]] void endNow() override;

    // The mutex name for a folder: case and separators do not matter.
    static std::string instanceName(const std::string& folder);
    // Only for tests: a program that claims to run from this folder.
    explicit Win32Program(std::string folder) : folder_(std::move(folder)) {}

private:
    std::string folder_;
    void* mutex_ = nullptr;
};

} // namespace torv

#pragma once
#include "platform/Program.h"
#include "platform/posix/SingleInstance.h"

#include <memory>

namespace torv {

class QtProgram : public Program {
public:
    QtProgram();
    std::string folder() const override;
    std::string driveRoot() const override;
    Version version() const override;
    std::string fileDescription() const override;
    std::optional<std::string> environment(const std::string& name) const override;
    bool anotherInstanceRunning() override;
    [[noreturn]] void endNow() override;

private:
    std::unique_ptr<SingleInstanceLock> lock_;
};

} // namespace torv

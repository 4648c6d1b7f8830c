// Whole-file writes in a folder where no new file may be created.
#include "platform/AtomicFile.h"
#include "platform/Failure.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace torv;
namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

// Runs fn as a user who may not create files in `folder` and returns its exit
// code: as root in a child that drops to nobody, otherwise after taking the
// folder's write permission away.
int runLockedOut(const std::string& folder, const std::function<int()>& fn)
{
    if (::geteuid() != 0) {
        ::chmod(folder.c_str(), 0500);
        int rc = fn();
        ::chmod(folder.c_str(), 0700);
        return rc;
    }
    ::chmod(folder.c_str(), 0755); // root's folder: nobody may read, not create
    pid_t pid = ::fork();
    if (pid == 0) {
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(90);
        ::_exit(fn());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 91;
}

int writeAndReport(const std::string& target, const std::string& text)
{
    try {
        writeFileAtomically(target, text);
        return 0;
    } catch (const Failure& f) {
        return f.code;
    }
}

TEST(AtomicFileLockedFolder, WritableTargetIsWrittenInPlace)
{
    sim::TempDir dir;
    dir.write("Result.txt", "an old and much longer result file\r\n");
    const std::string target = dir.file("Result.txt");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(target.c_str(), kNobody, kNobody), 0);
    }
    ::chmod(target.c_str(), 0600);
    EXPECT_EQ(runLockedOut(dir.path(), [&] { return writeAndReport(target, "new\r\n"); }), 0);
    EXPECT_EQ(dir.read("Result.txt"), "new\r\n");
    // Nothing else appeared in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(AtomicFileLockedFolder, MissingTargetOrPlantedLinkIsAFailure)
{
    sim::TempDir dir;
    sim::TempDir elsewhere;
    elsewhere.write("victim", "keep me");
    fs::create_symlink(elsewhere.file("victim"), dir.file("Result.txt"));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(elsewhere.file("victim").c_str(), kNobody, kNobody), 0);
    }
    EXPECT_EQ(runLockedOut(dir.path(), [&] { return writeAndReport(dir.file("Result.txt"), "x"); }), 75);
    EXPECT_EQ(elsewhere.read("victim"), "keep me");
    EXPECT_EQ(runLockedOut(dir.path(), [&] { return writeAndReport(dir.file("config.ini"), "x"); }), 75);
    EXPECT_FALSE(dir.exists("config.ini"));
}

} // namespace

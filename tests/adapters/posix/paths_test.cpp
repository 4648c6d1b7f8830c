// What the POSIX adapters make of awkward paths and of the files they replace,
// seen through the remote folder's readers and writers.
#include "base/Failure.h"
#include "platform/posix/Launcher.h"
#include "platform/posix/Program.h"
#include "remote/CommandFile.h"
#include "remote/ResultFile.h"
#include "support/Failures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace torv {
namespace {

namespace fs = std::filesystem;
using sim::TempDir;

// A path that runs through a plain file reads the same wherever it is used.
TEST(ErrnoFailure, APathThroughAPlainFileIsNotFoundEverywhere)
{
    TempDir dir;
    dir.write("plain", "x");
    const std::string through = dir.file("plain") + "/inner";
    auto code = [](const std::function<void()>& fn) { return sim::failureCodeOf(fn); };
    EXPECT_EQ(code([&] { readCommandField(through); }), 53);
    EXPECT_EQ(code([&] { deleteCommandFile(through); }), 53);
    EXPECT_EQ(code([&] { spawnDetached({through}); }), 53);
}

// The administrator's mode of the result file stays across writes.
TEST(ResultFileMode, ARewriteKeepsTheOldFilesMode)
{
    TempDir dir;
    writeResultFile(dir.path(), "a\r\n");
    fs::permissions(dir.file("Result.txt"), fs::perms(0600));
    writeResultFile(dir.path(), "");
    EXPECT_EQ(dir.read("Result.txt"), "\r\n");
    EXPECT_EQ(fs::status(dir.file("Result.txt")).permissions(), fs::perms(0600));
}

// Variables are found by name in any ASCII case, as on Windows; nothing else
// in the name folds.
TEST(PosixProgram, EnvironmentNamesMatchInAnyAsciiCase)
{
    ::setenv("TORV_Test_Var", "one", 1);
    ::setenv("TORV_TEST_\xc3\x84", "two", 1);
    PosixProgram program;
    for (const char* name : {"torv_test_var", "TORV_TEST_VAR"})
        EXPECT_EQ(program.environment(name), "one") << name;
    EXPECT_EQ(program.environment("torv_test_\xc3\x84"), "two");
    for (const char* name : {"TORV_TEST_VA", "TORV_TEST_VAR_", "TORV_TEST_\xc3\xa4"})
        EXPECT_EQ(program.environment(name), std::nullopt) << name;
    ::unsetenv("TORV_Test_Var");
    ::unsetenv("TORV_TEST_\xc3\x84");
}

} // namespace
} // namespace torv

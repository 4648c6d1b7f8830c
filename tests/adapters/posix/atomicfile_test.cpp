// Whole-file writes: what the new file keeps of the old one, links, stale
// temporaries, and folders where no new file may be created.
#include "base/Failure.h"
#include "ports/AtomicFile.h"
#include "support/Failures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

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
    return sim::failureCodeOf([&] { writeFileAtomically(target, text); });
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

std::string readText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

uid_t ownerOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_uid : 0;
}

// What a write keeps of the file it replaces: the program folder's rules
// (follow the administrator's link, keep mode and owner) and the remote
// folder's (replace a planted link, keep the mode).
TEST(AtomicFileAttributes, TheNewFileKeepsWhatTheOldOneHad)
{
    const WriteRules programFolder{.followLink = true, .keepOwner = true, .attributesFrom = {}};
    const mode_t umask = ::umask(022);
    ::umask(umask);
    struct Case {
        const char* what;
        WriteRules rules;
        bool linked;    // the target is a link to a file in another folder
        mode_t oldMode; // of the old file (the link's file when linked)
        bool linkKept;  // the link stands and its file holds the text
        mode_t newMode;
    } cases[] = {
        {"private config.ini", programFolder, false, 0640, false, 0640},
        {"linked config.ini", programFolder, true, 0600, true, 0600},
        {"result kept private", {}, false, 0600, false, 0600},
        {"planted link replaced", {}, true, 0600, false, 0644 & ~umask},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sim::TempDir dir, elsewhere;
        const std::string target = dir.file("file");
        const std::string old = c.linked ? elsewhere.file("managed") : target;
        std::ofstream(old) << "old text";
        ::chmod(old.c_str(), c.oldMode);
        if (::geteuid() == 0) {
            ASSERT_EQ(::chown(old.c_str(), kNobody, kNobody), 0);
        }
        if (c.linked)
            fs::create_symlink(old, target);

        writeFileAtomically(target, "new text", c.rules);

        const std::string written = c.linkKept ? old : target;
        EXPECT_EQ(fs::is_symlink(target), c.linkKept);
        EXPECT_EQ(readText(written), "new text");
        EXPECT_EQ(modeOf(written) & 07777, c.newMode);
        if (c.linked && !c.linkKept) {
            EXPECT_EQ(readText(old), "old text");
        }
        if (::geteuid() == 0) {
            EXPECT_EQ(ownerOf(written), c.rules.keepOwner ? kNobody : 0u);
        }
        // No temporary file left behind, here or beside the link's file.
        EXPECT_EQ(sim::listing(dir.path()), std::vector<std::string>{"file"});
        EXPECT_EQ(sim::listing(elsewhere.path()).size(), c.linked ? 1u : 0u);
    }
}

TEST(AtomicFileAttributes, GivenPermissionsHoldWhateverTheUmaskAndAReaderNeverSeesHalfAFile)
{
    sim::TempDir dir;
    const std::string target = dir.file("torv.prom");
    const std::string a(64 * 1024, 'a'), b(96 * 1024, 'b');
    WriteRules rules;
    rules.permissions = 0644;
    const mode_t umaskWas = ::umask(077);
    writeFileAtomically(target, a, rules);
    std::atomic<bool> done{false};
    int halves = 0, reads = 0;
    std::thread reader([&] {
        while (!done) {
            std::ifstream in(target, std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            halves += text != a && text != b;
            ++reads;
        }
    });
    for (int i = 0; i < 60; ++i)
        writeFileAtomically(target, i % 2 ? a : b, rules);
    done = true;
    reader.join();
    ::umask(umaskWas);
    EXPECT_EQ(halves, 0) << "of " << reads << " reads";
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(AtomicFileStaleTemporaries, OnlyOurOwnOldOnesGo)
{
    sim::TempDir dir;
    const auto longAgo = fs::file_time_type::clock::now() - std::chrono::minutes(5);
    struct Entry {
        const char* name;
        bool old;
        bool removed;
    } entries[] = {
        {".Result.txt.tmp-0a1b2c3d4e", true, true},
        {".Result.txt.tmp-zzzzzzzzzz", true, true},
        {".Result.txt.tmp-0a1b2c3d4f", false, false}, // perhaps being written right now
        {".Result.txt.tmp-0A1B2C3D4E", true, false},  // not a name this writer makes
        {".Result.txt.tmp-0a1b2c3d4", true, false},
        {".Result.txt.tmp-0a1b2c3d4e5", true, false},
        {"Result.txt.tmp-0a1b2c3d4e", true, false},
        {".config.ini.tmp-0a1b2c3d4e", true, false}, // another file's
        {"Result.txt", true, false},
    };
    for (const Entry& e : entries) {
        dir.write(e.name, "x");
        if (e.old)
            fs::last_write_time(dir.file(e.name), longAgo);
    }
    // A folder and a link under our naming are not files we wrote.
    fs::create_directory(dir.file(".Result.txt.tmp-dir0000000"));
    fs::create_symlink(dir.file("Result.txt"), dir.file(".Result.txt.tmp-link000000"));

    removeStaleTemporaries(dir.file("Result.txt"), std::chrono::seconds(60));
    for (const Entry& e : entries)
        EXPECT_EQ(dir.exists(e.name), !e.removed) << e.name;
    EXPECT_TRUE(fs::is_directory(dir.file(".Result.txt.tmp-dir0000000")));
    EXPECT_TRUE(fs::is_symlink(dir.file(".Result.txt.tmp-link000000")));

    // Without a minimum age the fresh one goes too.
    removeStaleTemporaries(dir.file("Result.txt"));
    EXPECT_FALSE(dir.exists(".Result.txt.tmp-0a1b2c3d4f"));
}

} // namespace

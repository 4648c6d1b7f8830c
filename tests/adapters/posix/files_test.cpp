// The POSIX reader every start-up and remote file goes through: plain files
// only, never blocking, never more than asked.
#include "base/Failure.h"
#include "ports/Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace torv {
namespace {

TEST(RegularFileRead, RegularFilesOnlyNeverBlockingAndNoMoreThanAsked)
{
    sim::TempDir dir;
    // Every read that follows links also checks that fileMissing() agrees.
    auto code = [](const std::string& path, Links links) {
        ::alarm(10); // a hang ends the test
        int found = 0;
        try {
            readRegularFile(path, 100, links);
        } catch (const Failure& f) {
            found = f.code;
        }
        ::alarm(0);
        if (links == Links::Follow) {
            EXPECT_EQ(fileMissing(path), found == 53) << path;
        }
        return found;
    };
    for (Links links : {Links::Follow, Links::Refuse}) {
        SCOPED_TRACE(links == Links::Follow ? "follow" : "refuse");
        EXPECT_EQ(code(dir.file("missing"), links), 53);
        EXPECT_EQ(code(dir.file("missing/below"), links), 53);
        std::filesystem::create_directory(dir.file("folder"));
        EXPECT_EQ(code(dir.file("folder"), links), 75);
        ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
        EXPECT_EQ(code(dir.file("fifo"), links), 75);
        EXPECT_EQ(code("/dev/zero", links), 75);
        std::filesystem::remove(dir.file("fifo"));
    }
    dir.write("target", "abc");
    std::filesystem::create_symlink(dir.file("target"), dir.file("link"));
    std::filesystem::create_symlink("/dev/zero", dir.file("zero"));
    EXPECT_EQ(readRegularFile(dir.file("link"), 100, Links::Follow), "abc");
    EXPECT_EQ(code(dir.file("link"), Links::Refuse), 75);
    EXPECT_EQ(code(dir.file("zero"), Links::Follow), 75);

    std::string big(40000, 'x');
    big[0] = '\0';
    big[39999] = '\xff';
    dir.write("big.txt", big);
    EXPECT_EQ(readRegularFile(dir.file("big.txt"), 1 << 20, Links::Refuse), big);
    EXPECT_EQ(readRegularFile(dir.file("big.txt"), 20001, Links::Refuse), big.substr(0, 20001));
    dir.write("empty.txt", "");
    EXPECT_EQ(readRegularFile(dir.file("empty.txt"), 100, Links::Refuse), "");
}

} // namespace
} // namespace torv

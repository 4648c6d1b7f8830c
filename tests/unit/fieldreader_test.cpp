// The value reader as the remote command file uses it: only the first value
// counts there, so what ends it and what it keeps matter. And the bounded
// reader every start-up and remote file goes through.
#include "platform/BoundedRead.h"
#include "platform/Failure.h"
#include "settings/FieldReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace torv {
namespace {

std::string first(const std::string& text)
{
    return FieldReader(text).next();
}

std::vector<std::string> all(const std::string& text)
{
    FieldReader in(text);
    std::vector<std::string> values;
    while (!in.atEnd())
        values.push_back(in.next());
    return values;
}

int failureCode(const std::string& text)
{
    try {
        first(text);
    } catch (const Failure& f) {
        return f.code;
    }
    return 0;
}

TEST(FieldReader, FirstValueOfACommandFile)
{
    EXPECT_EQ(first("report\r\noff"), "report");
    EXPECT_EQ(first("off"), "off");
    // Unquoted blanks around a value go; quoted ones stay, so "off " is not off.
    EXPECT_EQ(first("  off \t\r\n"), "off");
    EXPECT_EQ(first("\"off \""), "off ");
    EXPECT_EQ(first(",off"), "");
    EXPECT_EQ(first("\r\noff"), "");
    EXPECT_EQ(first("restart,now"), "restart");
    EXPECT_EQ(first("\"/opt/my tool/run.sh\" --fast, later"), "/opt/my tool/run.sh");
    EXPECT_EQ(first("echo \"a\" b"), "echo \"a\" b"); // a quote inside a value is plain
    EXPECT_EQ(failureCode(""), 62);
    EXPECT_EQ(failureCode("   "), 0); // blanks are an empty value, not the end
}

TEST(FieldReader, QuotedValues)
{
    EXPECT_EQ(all("\"a, b\",c"), (std::vector<std::string>{"a, b", "c"}));
    EXPECT_EQ(all("\"say \"\"hi\"\"\""), (std::vector<std::string>{"say \"hi\""}));
    EXPECT_EQ(all("\"\""), (std::vector<std::string>{""}));
    EXPECT_EQ(all("\"two\r\nlines\"\r\nnext"), (std::vector<std::string>{"two\r\nlines", "next"}));
    // Text after the closing quote up to the next separator is dropped.
    EXPECT_EQ(all("\"ab\"cd,ef"), (std::vector<std::string>{"ab", "ef"}));
    // A quote that never closes runs to the end of the text.
    EXPECT_EQ(all("x,\"open, to the end\r\n"), (std::vector<std::string>{"x", "open, to the end\r\n"}));
}

TEST(FieldReader, LineEndsAndEmptyValues)
{
    EXPECT_EQ(all("a\rb\nc\r\nd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(all("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(all("a,,b,"), (std::vector<std::string>{"a", "", "b"}));
    FieldReader in("last\r\n");
    EXPECT_EQ(in.next(), "last");
    EXPECT_TRUE(in.atEnd());
    try {
        in.next();
        ADD_FAILURE() << "read past the end";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code, 62);
    }
}

TEST(FieldReader, ClosedValuesAndTheByteOrderMark)
{
    FieldReader in("\xEF\xBB\xBFreport,\"open");
    EXPECT_EQ(in.next(), "report");
    EXPECT_TRUE(in.lastValueClosed());
    EXPECT_EQ(in.next(), "open");
    EXPECT_FALSE(in.lastValueClosed()); // ended by the end of the text
    FieldReader quoted("\"a\"b");
    EXPECT_EQ(quoted.next(), "a");
    EXPECT_TRUE(quoted.lastValueClosed()); // whole at its closing quote
    FieldReader open("\"a");
    EXPECT_EQ(open.next(), "a");
    EXPECT_FALSE(open.lastValueClosed());
    // Only a whole mark at the very start is skipped.
    EXPECT_EQ(first("\xEF\xBB\xBF\xEF\xBB\xBF"
                    "x"),
              "\xEF\xBB\xBF"
              "x");
    EXPECT_EQ(first("\xEF\xBB"
                    "x"),
              "\xEF\xBB"
              "x");
    EXPECT_EQ(failureCode("\xEF\xBB\xBF"), 62);
}

TEST(BoundedRead, RegularFilesOnlyNeverBlockingAndNoMoreThanAsked)
{
    sim::TempDir dir;
    auto code = [](const std::string& path, Links links) {
        ::alarm(10); // a hang ends the test
        try {
            readRegularFile(path, 100, links);
        } catch (const Failure& f) {
            ::alarm(0);
            return f.code;
        }
        ::alarm(0);
        return 0;
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

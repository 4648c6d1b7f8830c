// The value reader as the remote command file uses it: only the first value
// counts there, so what ends it and what it keeps matter.
#include "platform/Failure.h"
#include "settings/FieldReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
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

TEST(FieldReader, ReadWholeFile)
{
    sim::TempDir dir;
    auto code = [](const std::string& path) {
        try {
            readWholeFile(path);
        } catch (const Failure& f) {
            return f.code;
        }
        return 0;
    };
    EXPECT_EQ(code(dir.file("command.txt")), 53);
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_EQ(code(dir.file("folder")), 75);

    std::string big(40000, 'x');
    big[0] = '\0';
    big[39999] = '\xff';
    dir.write("big.txt", big);
    EXPECT_EQ(readWholeFile(dir.file("big.txt")), big);
    EXPECT_EQ(readWholeFile(dir.file("big.txt"), 20000), big.substr(0, 20000));
    dir.write("empty.txt", "");
    EXPECT_EQ(readWholeFile(dir.file("empty.txt")), "");
}

} // namespace
} // namespace torv

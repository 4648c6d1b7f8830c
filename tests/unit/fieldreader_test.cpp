// The value reader as the remote command file uses it: only the first value
// counts there, so what ends it and what it keeps matter.
#include "base/Failure.h"
#include "settings/FieldReader.h"
#include "support/Failures.h"

#include <gtest/gtest.h>

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
    return sim::failureCodeOf([&] { first(text); });
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

} // namespace
} // namespace torv

// The console's words are folded by ASCII rules alone, whatever the locale.
#include "base/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>

namespace torv {
namespace {

TEST(AsciiCase, FoldsAsciiLettersOnly)
{
    struct Row {
        std::string text, lower, upper;
    };
    const Row rows[] = {
        {"MiXeD 123 Words", "mixed 123 words", "MIXED 123 WORDS"},
        // The neighbours of the letter ranges, 32 apart as letters are.
        {"@[`{Az", "@[`{az", "@[`{AZ"},
        // UTF-8 (and any other byte above ASCII) passes through byte for byte.
        {"\xc3\x84rger \xc3\xa9t\xc3\xa9 \xc4\xb0", "\xc3\x84rger \xc3\xa9t\xc3\xa9 \xc4\xb0",
         "\xc3\x84RGER \xc3\xa9T\xc3\xa9 \xc4\xb0"},
        {"\xc0\xe0\xdd\xfd", "\xc0\xe0\xdd\xfd", "\xc0\xe0\xdd\xfd"},
        {"", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(asciiLower(row.text), row.lower) << row.text;
        EXPECT_EQ(asciiUpper(row.text), row.upper) << row.text;
    }
}

TEST(AsciiCase, ComparesIgnoringAsciiCase)
{
    struct Row {
        std::string a, b;
        bool equal, aStartsWithB;
    };
    const Row rows[] = {
        {"Failure", "fAILURE", true, true},
        {"HTTP://host/x", "http://", false, true},
        {"ab", "abc", false, false},
        {"abc", "", false, true},
        {"", "", true, true},
        // Only letters fold: '@' and '`' differ by the case bit, yet are not letters.
        {"@[", "`{", false, false},
        {"\xc3\x89t\xc3\xa9", "\xc3\xa9t\xc3\xa9", false, false},
        {"\xc3\xa9T\xc3\xa9", "\xc3\xa9t", false, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(equalsIgnoringAsciiCase(row.a, row.b), row.equal) << row.a << " / " << row.b;
        EXPECT_EQ(equalsIgnoringAsciiCase(row.b, row.a), row.equal) << row.b << " / " << row.a;
        EXPECT_EQ(startsWithIgnoringAsciiCase(row.a, row.b), row.aStartsWithB) << row.a << " / " << row.b;
    }
}

} // namespace
} // namespace torv

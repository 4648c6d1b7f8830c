// The console's words fold by ASCII rules alone: any other byte, a UTF-8
// sequence's included, passes through unchanged whatever the locale.
#include "base/AsciiCase.h"

#include <gtest/gtest.h>

#include <string>

namespace torv {
namespace {

TEST(AsciiCase, FoldsAndComparesAsciiLettersOnly)
{
    struct Row {
        std::string a, b, lowerA, upperA;
        bool equal, aStartsWithB;
    };
    const Row rows[] = {
        {"MiXeD 1 Word", "mixed 1 WORD", "mixed 1 word", "MIXED 1 WORD", true, true},
        {"HTTP://host/x", "http://", "http://host/x", "HTTP://HOST/X", false, true},
        {"ab", "abc", "ab", "AB", false, false},
        {"", "", "", "", true, true},
        // The neighbours of the letter ranges, 32 apart as letters are.
        {"@[", "`{", "@[", "@[", false, false},
        {"\xc3\x89t\xc3\xa9", "\xc3\xa9t\xc3\xa9", "\xc3\x89t\xc3\xa9", "\xc3\x89T\xc3\xa9", false, false},
        {"\xc0\xe0\xdd\xfd", "\xc0\xe0", "\xc0\xe0\xdd\xfd", "\xc0\xe0\xdd\xfd", false, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(asciiLower(row.a), row.lowerA) << row.a;
        EXPECT_EQ(asciiUpper(row.a), row.upperA) << row.a;
        EXPECT_EQ(equalsIgnoringAsciiCase(row.a, row.b), row.equal) << row.a << " / " << row.b;
        EXPECT_EQ(equalsIgnoringAsciiCase(row.b, row.a), row.equal) << row.b << " / " << row.a;
        EXPECT_EQ(startsWithIgnoringAsciiCase(row.a, row.b), row.aStartsWithB) << row.a << " / " << row.b;
    }
}

} // namespace
} // namespace torv

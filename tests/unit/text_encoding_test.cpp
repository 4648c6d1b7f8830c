// How text files' bytes become the program's UTF-8 text, on every platform.
#include "ports/Files.h"

#include <gtest/gtest.h>

namespace torv {
namespace {

TEST(TextEncoding, Utf8IsToldFromOtherBytes)
{
    struct Case {
        std::string bytes;
        bool valid, validCutShort;
    } cases[] = {
        {"plain ASCII", true, true},
        {"f\xC3\xBCr \xE2\x82\xAC \xF0\x9F\x98\x80", true, true},
        {"f\xFCr", false, false},           // Latin-1 / code page 1252
        {"\xC0\xAF", false, false},         // overlong "/"
        {"\xED\xA0\x80", false, false},     // a surrogate
        {"\xF4\x90\x80\x80", false, false}, // past U+10FFFF
        {"\x80 lone continuation", false, false},
        {"cut \xE2\x82", false, true}, // a read that ends inside "€"
        {"\xE2\x82 not at the end", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.bytes;
        EXPECT_EQ(isValidUtf8(c.bytes, true), c.validCutShort) << c.bytes;
    }
}

TEST(TextEncoding, MarksAreSkippedAndUtf16IsDecoded)
{
    const std::string grin = "\xF0\x9F\x98\x80", euro = "\xE2\x82\xAC";
    struct Case {
        std::string bytes, text;
        TextEncoding found;
    } cases[] = {
        {"\xEF\xBB\xBF"
         "a" +
             euro,
         "a" + euro, TextEncoding::Utf8},
        {"a" + euro, "a" + euro, TextEncoding::Utf8},
        {"a\xE2\x82", "a\xE2\x82", TextEncoding::Utf8}, // cut short: still UTF-8
        {std::string("\xFF\xFE"
                     "a\0\xAC\x20\x3D\xD8\x00\xDE",
                     10),
         "a" + euro + grin, TextEncoding::SystemCodePage},
        {std::string("\xFE\xFF\0a\x20\xAC\xD8\x3D\xDE\x00", 10), "a" + euro + grin, TextEncoding::SystemCodePage},
        {std::string("\xFF\xFE\x00\xD8"
                     "b\0",
                     6),
         "\xEF\xBF\xBD"
         "b",
         TextEncoding::SystemCodePage}, // lone surrogate
        {"", "", TextEncoding::Utf8},
    };
    for (const Case& c : cases) {
        TextEncoding found = TextEncoding::Utf8;
        EXPECT_EQ(decodeFileText(c.bytes, found), c.text);
        EXPECT_EQ(found, c.found);
    }
}

} // namespace
} // namespace torv

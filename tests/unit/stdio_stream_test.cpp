// The tools print through stdio rather than <iostream>; what arrives in the
// file must be exactly what was written, in order, whichever way it was put.
#include "base/StdioStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace torv {
namespace {

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

std::string rewound(std::FILE* f, std::size_t limit = 1 << 20)
{
    std::rewind(f);
    return readStdio(f, limit);
}

TEST(StdioStream, WritesArriveInOrderAndWhole)
{
    const File file(std::tmpfile());
    ASSERT_TRUE(file);
    const std::string big(70000, 'x'); // past any stdio buffer
    StdioOutput out(file.get());
    out << "a line\n" << 42 << ' ' << -7.5;
    out.put('!');
    out.write("\0z", 2);
    out << big << std::flush;
    EXPECT_TRUE(out.good());
    const std::string text = rewound(file.get());
    EXPECT_EQ(text.substr(0, 17), std::string("a line\n42 -7.5!\0z", 17));
    EXPECT_EQ(text.size(), 17 + big.size());
    EXPECT_EQ(text.find_first_not_of('x', 17), std::string::npos);
}

TEST(StdioStream, ReadingStopsAtTheLimitOrTheEnd)
{
    const File file(std::tmpfile());
    ASSERT_TRUE(file);
    std::fputs("0123456789", file.get());
    struct Row {
        std::size_t limit;
        std::string expected;
    };
    for (const Row& row : {Row{0, ""}, Row{4, "0123"}, Row{10, "0123456789"}, Row{11, "0123456789"}})
        EXPECT_EQ(rewound(file.get(), row.limit), row.expected) << "limit " << row.limit;
}

} // namespace
} // namespace torv

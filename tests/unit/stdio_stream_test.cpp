// The tools print through stdio rather than <iostream>; what arrives in the
// file must be exactly what was written, in order, whichever way it was put,
// and reading back stops at the limit or the end.
#include "base/StdioStream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace torv {
namespace {

TEST(StdioStream, WritesArriveInOrderAndWholeAndReadsStopAtTheLimit)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::string big(70000, 'x'); // past any stdio buffer
    StdioOutput out(file);
    out << "a line\n" << 42 << ' ' << -7.5;
    out.put('!');
    out.write("\0z", 2);
    out << big << std::flush;
    EXPECT_TRUE(out.good());
    const std::string head("a line\n42 -7.5!\0z", 17);
    for (std::size_t limit :
         {std::size_t{0}, std::size_t{4}, head.size(), head.size() + big.size(), head.size() + big.size() + 1}) {
        std::rewind(file);
        EXPECT_EQ(readStdio(file, limit), (head + big).substr(0, limit)) << "limit " << limit;
    }
    std::fclose(file);
}

} // namespace
} // namespace torv

#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>

namespace torv {

// A std::ostream that writes through a C stdio stream (stdout, stderr). The
// tools that print use it instead of <iostream>: merely including that sets up
// the standard streams and their locale at every start of the program, about
// half a megabyte resident that a console which never prints through them
// would carry for its whole life. Writes go straight into the stdio stream's
// own buffer, as the synchronised std::cout's do, so order and line endings
// are the same.
class StdioOutput : public std::ostream {
public:
    explicit StdioOutput(std::FILE* file);

private:
    class Buffer : public std::streambuf {
    public:
        explicit Buffer(std::FILE* file) : file_(file) {}

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;
        int sync() override;

    private:
        std::FILE* file_;
    };
    Buffer buffer_;
};

// Reads a stdio stream to its end, but never more than `limit` bytes.
std::string readStdio(std::FILE* file, std::size_t limit);

} // namespace torv

#include "base/StdioStream.h"

namespace torv {

StdioOutput::StdioOutput(std::FILE* file) : std::ostream(nullptr), buffer_(file)
{
    rdbuf(&buffer_);
}

StdioOutput::Buffer::int_type StdioOutput::Buffer::overflow(int_type c)
{
    if (traits_type::eq_int_type(c, traits_type::eof()))
        return traits_type::not_eof(c);
    return std::fputc(c, file_) == EOF ? traits_type::eof() : c;
}

std::streamsize StdioOutput::Buffer::xsputn(const char* s, std::streamsize n)
{
    return static_cast<std::streamsize>(std::fwrite(s, 1, static_cast<std::size_t>(n), file_));
}

int StdioOutput::Buffer::sync()
{
    return std::fflush(file_) == 0 ? 0 : -1;
}

std::string readStdio(std::FILE* file, std::size_t limit)
{
    std::string bytes(limit, '\0');
    bytes.resize(std::fread(bytes.data(), 1, limit, file));
    return bytes;
}

} // namespace torv

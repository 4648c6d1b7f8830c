#include "settings/FieldReader.h"

#include "platform/Failure.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace torv {

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}
} // namespace

void FieldReader::skipDelimiter()
{
    if (atEnd())
        return;
    char c = text_[pos_];
    if (c == ',') {
        ++pos_;
    } else if (c == '\r') {
        ++pos_;
        if (!atEnd() && text_[pos_] == '\n')
            ++pos_;
    } else if (c == '\n') {
        ++pos_;
    }
}

std::string FieldReader::next()
{
    if (atEnd())
        throw Failure::inputPastEnd();
    while (!atEnd() && isBlank(text_[pos_]))
        ++pos_;
    std::string value;
    if (!atEnd() && text_[pos_] == '"') {
        ++pos_;
        while (!atEnd()) {
            char c = text_[pos_++];
            if (c == '"') {
                if (!atEnd() && text_[pos_] == '"') {
                    value += '"';
                    ++pos_;
                    continue;
                }
                break;
            }
            value += c;
        }
        while (!atEnd() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
            ++pos_;
    } else {
        size_t start = pos_;
        while (!atEnd() && text_[pos_] != ',' && !isLineEnd(text_[pos_]))
            ++pos_;
        size_t end = pos_;
        while (end > start && isBlank(text_[end - 1]))
            --end;
        value.assign(text_.substr(start, end - start));
    }
    skipDelimiter();
    return value;
}

std::string readWholeFile(const std::string& path, size_t maxBytes)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    auto st = fs::status(path, ec);
    if (ec || !fs::exists(st))
        throw Failure::fileNotFound();
    if (fs::is_directory(st))
        throw Failure::pathFileAccess();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure::pathFileAccess();
    std::string text;
    char buf[16384];
    while (in) {
        size_t want = sizeof buf;
        if (maxBytes && text.size() + want > maxBytes)
            want = maxBytes - text.size();
        if (want == 0)
            break;
        in.read(buf, static_cast<std::streamsize>(want));
        text.append(buf, static_cast<size_t>(in.gcount()));
    }
    if (in.bad())
        throw Failure::pathFileAccess();
    return text;
}

} // namespace torv

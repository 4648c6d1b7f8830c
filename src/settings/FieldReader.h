#pragma once
// Reads comma- or line-separated values, the way both config.ini and the remote
// command file are read.
//
//  - A value ends at a comma or a line end (CR LF, a lone CR or a lone LF), which
//    is consumed with it.
//  - Spaces and tabs before a value are skipped; an unquoted value also loses
//    its trailing spaces and tabs.
//  - A value that begins with a double quote runs to the closing quote; inside
//    it "" stands for one quote, and commas and line ends are part of it. Text
//    after the closing quote up to the next comma or line end is ignored.
//  - Asking for a value at the end of the text is Failure 62.
#include <string>
#include <string_view>

namespace torv {

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    // Where the next value begins: just past the last one's delimiter.
    size_t position() const { return pos_; }
    std::string next();

private:
    void skipDelimiter();

    std::string_view text_;
    size_t pos_ = 0;
};

// Reads a whole file for FieldReader. Missing file: 53; unreadable: 75.
// At most maxBytes are read when maxBytes is not zero.
std::string readWholeFile(const std::string& path, size_t maxBytes = 0);

} // namespace torv

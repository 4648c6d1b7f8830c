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
//  - A UTF-8 byte-order mark at the very start of the text is not part of it.
#include <string>
#include <string_view>

namespace torv {

class FieldReader {
public:
    explicit FieldReader(std::string_view text) : text_(withoutUtf8Bom(text)) {}

    bool atEnd() const { return pos_ >= text_.size(); }
    // Nothing but blanks, tabs and line ends is left: blank lines at the end.
    bool onlyBlankLinesLeft() const { return text_.find_first_not_of(" \t\r\n", pos_) == std::string_view::npos; }
    // Where the next value begins: just past the last one's delimiter.
    size_t position() const { return pos_; }
    std::string next();
    // Whether the last value read was whole: closed by its closing quote, or
    // unquoted and closed by a comma or a line end, rather than by the end of
    // the text (a cut text may have cut that value short).
    bool lastValueClosed() const { return lastClosed_; }

    static std::string_view withoutUtf8Bom(std::string_view text);

private:
    void skipDelimiter();

    std::string_view text_;
    size_t pos_ = 0;
    bool lastClosed_ = false;
};

} // namespace torv

#include "settings/FieldReader.h"

#include "base/Failure.h"

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

std::string_view FieldReader::withoutUtf8Bom(std::string_view text)
{
    // Windows editors put it there when saving "UTF-8 with BOM".
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    return text;
}

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
    lastClosed_ = false;
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
                lastClosed_ = true;
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
        lastClosed_ = !atEnd();
        size_t end = pos_;
        while (end > start && isBlank(text_[end - 1]))
            --end;
        value.assign(text_.substr(start, end - start));
    }
    skipDelimiter();
    return value;
}

} // namespace torv

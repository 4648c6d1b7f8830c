// The platform-neutral part of reading text files: byte-order marks, UTF-16
// and the tests and repairs of UTF-8. Only bytes in a legacy code page need the platform.
#include "ports/Files.h"

#include <cstdint>

namespace torv {

namespace {

void appendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// How many bytes the UTF-8 character at the start of `bytes` takes; 0 when
// they start with no valid character. Bytes that end inside a character that
// is valid so far give 0 and set `cutShort`.
std::size_t utf8CharLength(std::string_view bytes, bool& cutShort)
{
    cutShort = false;
    if (bytes.empty())
        return 0;
    const auto b = static_cast<unsigned char>(bytes[0]);
    std::size_t length = 0;
    std::uint32_t cp = 0, least = 0;
    if (b < 0x80)
        return 1;
    if ((b & 0xE0) == 0xC0)
        length = 2, cp = b & 0x1F, least = 0x80;
    else if ((b & 0xF0) == 0xE0)
        length = 3, cp = b & 0x0F, least = 0x800;
    else if ((b & 0xF8) == 0xF0)
        length = 4, cp = b & 0x07, least = 0x10000;
    else
        return 0;
    std::size_t k = 1;
    for (; k < length && k < bytes.size(); ++k) {
        const auto c = static_cast<unsigned char>(bytes[k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    if (k < length) {
        cutShort = true;
        return 0;
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return length;
}

// UTF-16 text without its mark as UTF-8. A lone surrogate becomes U+FFFD and
// an odd last byte is dropped.
std::string fromUtf16(std::string_view bytes, bool bigEndian)
{
    const std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto a = static_cast<unsigned char>(bytes[2 * i]), b = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? (a << 8 | b) : (b << 8 | a);
    };
    std::string out;
    out.reserve(units);
    for (std::size_t i = 0; i < units; ++i) {
        std::uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 && unit(i + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        appendUtf8(out, u);
    }
    return out;
}

} // namespace

bool isValidUtf8(std::string_view bytes, bool cutShort)
{
    for (std::size_t i = 0; i < bytes.size();) {
        bool cut = false;
        const std::size_t n = utf8CharLength(bytes.substr(i), cut);
        if (n == 0)
            return cut && cutShort;
        i += n;
    }
    return true;
}

std::string withValidUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    bool cutShort;
    for (std::size_t i = 0; i < bytes.size();) {
        if (const std::size_t n = utf8CharLength(bytes.substr(i), cutShort)) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

std::string decodeFileText(std::string_view bytes, TextEncoding& found)
{
    found = TextEncoding::SystemCodePage;
    // Notepad's "UTF-8 with BOM"; PowerShell 5's ">" and Out-File write UTF-16.
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        found = TextEncoding::Utf8;
        return std::string(bytes.substr(3));
    }
    if (bytes.starts_with("\xFF\xFE"))
        return fromUtf16(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return fromUtf16(bytes.substr(2), true);
    if (isValidUtf8(bytes, true)) {
        found = TextEncoding::Utf8;
        return std::string(bytes);
    }
    return decodeNonUtf8Text(bytes, found);
}

std::string decodeFileText(std::string_view bytes)
{
    TextEncoding found;
    return decodeFileText(bytes, found);
}

} // namespace torv

// The platform-neutral part of reading text files: byte-order marks, UTF-16
// and the test for UTF-8. Only bytes in a legacy code page need the platform.
#include "platform/Files.h"

#include "base/Utf8.h"

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

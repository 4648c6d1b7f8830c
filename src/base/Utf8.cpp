#include "base/Utf8.h"

#include <cstdint>

namespace torv {

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

} // namespace torv

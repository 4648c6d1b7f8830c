#include "remote/Signature.h"

#include <charconv>

namespace torv {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string signedMessage(std::string_view stampText, std::string_view text)
{
    std::string message;
    message.reserve(stampText.size() + 1 + text.size());
    message.append(stampText).append(1, '\n').append(text);
    return message;
}

std::string_view asBytes(const crypto::Sha256Digest& d)
{
    return {reinterpret_cast<const char*>(d.data()), d.size()};
}

} // namespace

std::string toHex(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> fromHex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    std::string out(hex.size() / 2, '\0');
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = hexValue(hex[2 * i]), lo = hexValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out[i] = static_cast<char>(hi << 4 | lo);
    }
    return out;
}

std::optional<SignatureLine> parseSignatureLine(std::string_view line)
{
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    const std::string_view scheme = kSignatureScheme;
    if (line.substr(0, scheme.size()) != scheme || line.size() <= scheme.size() || line[scheme.size()] != ' ')
        return std::nullopt;
    line.remove_prefix(scheme.size() + 1);
    const size_t space = line.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    SignatureLine out;
    const std::string_view stamp = line.substr(0, space);
    const std::string_view hex = line.substr(space + 1);
    // Digits only: no sign, no blank, and a value that fits.
    if (stamp.empty() || stamp.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    auto [end, err] = std::from_chars(stamp.data(), stamp.data() + stamp.size(), out.stamp);
    if (err != std::errc() || end != stamp.data() + stamp.size())
        return std::nullopt;
    const auto mac = hex.size() == 2 * out.mac.size() ? fromHex(hex) : std::nullopt;
    if (!mac)
        return std::nullopt;
    std::copy(mac->begin(), mac->end(), out.mac.begin());
    out.stampText = std::string(stamp);
    return out;
}

std::string signatureLine(std::string_view key, long long stamp, std::string_view text)
{
    const std::string stampText = std::to_string(stamp);
    const crypto::Sha256Digest mac = crypto::hmacSha256(key, signedMessage(stampText, text));
    return std::string(kSignatureScheme) + " " + stampText + " " + toHex(asBytes(mac));
}

bool signatureMatches(std::string_view key, const SignatureLine& line, std::string_view text)
{
    const crypto::Sha256Digest mac = crypto::hmacSha256(key, signedMessage(line.stampText, text));
    return crypto::equalInConstantTime(mac.data(), line.mac.data(), mac.size());
}

} // namespace torv

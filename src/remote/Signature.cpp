#include "remote/Signature.h"

#include <algorithm>
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

std::string answerMessage(std::string_view commandStamp, std::string_view answerStamp, std::string_view result)
{
    std::string message;
    message.reserve(32 + commandStamp.size() + answerStamp.size() + result.size());
    message.append("TORV-ANSWER\n").append(commandStamp).append(1, '\n').append(answerStamp).append(1, '\n');
    message.append(result);
    return message;
}

// Decimal digits only (no sign, no blank) of a value that fits.
std::optional<long long> parseStamp(std::string_view digits)
{
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    long long value = 0;
    auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (err != std::errc() || end != digits.data() + digits.size())
        return std::nullopt;
    return value;
}

// The next word of line, up to a single space; line moves past it.
std::string_view nextWord(std::string_view& line)
{
    const size_t space = line.find(' ');
    const std::string_view word = line.substr(0, space);
    line.remove_prefix(space == std::string_view::npos ? line.size() : space + 1);
    return word;
}

std::optional<crypto::Sha256Digest> parseMac(std::string_view hex)
{
    crypto::Sha256Digest mac{};
    const auto bytes = hex.size() == 2 * mac.size() ? fromHex(hex) : std::nullopt;
    if (!bytes)
        return std::nullopt;
    std::copy(bytes->begin(), bytes->end(), mac.begin());
    return mac;
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
    if (nextWord(line) != kSignatureScheme || line.find(' ') == std::string_view::npos)
        return std::nullopt;
    SignatureLine out;
    out.stampText = std::string(nextWord(line));
    const auto stamp = parseStamp(out.stampText);
    const auto mac = parseMac(line);
    if (!stamp || !mac)
        return std::nullopt;
    out.stamp = *stamp;
    out.mac = *mac;
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

std::string answerSignatureLine(std::string_view key, long long commandStamp, long long answerStamp,
                                std::string_view resultBytes)
{
    const std::string commandText = std::to_string(commandStamp), answerText = std::to_string(answerStamp);
    const crypto::Sha256Digest mac = crypto::hmacSha256(key, answerMessage(commandText, answerText, resultBytes));
    return std::string(kAnswerScheme) + " " + commandText + " " + answerText + " " + toHex(asBytes(mac));
}

std::optional<AnswerLine> parseAnswerLine(std::string_view line)
{
    if (nextWord(line) != kAnswerScheme)
        return std::nullopt;
    AnswerLine out;
    out.commandStampText = std::string(nextWord(line));
    out.answerStampText = std::string(nextWord(line));
    const auto commandStamp = parseStamp(out.commandStampText);
    const auto answerStamp = parseStamp(out.answerStampText);
    const auto mac = parseMac(line);
    if (!commandStamp || !answerStamp || !mac)
        return std::nullopt;
    out.commandStamp = *commandStamp;
    out.answerStamp = *answerStamp;
    out.mac = *mac;
    return out;
}

bool answerMatches(std::string_view key, const AnswerLine& line, std::string_view resultBytes)
{
    const crypto::Sha256Digest mac =
        crypto::hmacSha256(key, answerMessage(line.commandStampText, line.answerStampText, resultBytes));
    return crypto::equalInConstantTime(mac.data(), line.mac.data(), mac.size());
}

} // namespace torv

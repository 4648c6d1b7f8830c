#pragma once
// Signed remote commands and answers. A signature line reads
//   HMAC-SHA256 <stamp> <hex>
// where <stamp> is the signer's UTC time in milliseconds since 1970 and <hex>
// the HMAC-SHA256, under the shared key, of <stamp>, a line feed and the
// signed text (the command's first field, or the whole result file).
#include "platform/Crypto.h"

#include <optional>
#include <string>
#include <string_view>

namespace torv {

inline constexpr const char* kSignatureScheme = "HMAC-SHA256";

struct SignatureLine {
    std::string stampText; // the digits as written: they are what was signed
    long long stamp = 0;
    crypto::Sha256Digest mac{};
};

// Lower-case hex of the bytes.
std::string toHex(std::string_view bytes);
// The bytes of an even number of hex digits (either case); nothing otherwise.
std::optional<std::string> fromHex(std::string_view hex);

// A signature line, or nothing when the line is not exactly one (blanks at
// its end are allowed).
std::optional<SignatureLine> parseSignatureLine(std::string_view line);

// The signature line of text, signed under key at stamp.
std::string signatureLine(std::string_view key, long long stamp, std::string_view text);

// True when the line's MAC is the one of text under key; compared in constant time.
bool signatureMatches(std::string_view key, const SignatureLine& line, std::string_view text);

} // namespace torv

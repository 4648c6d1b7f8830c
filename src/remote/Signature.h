#pragma once
// Signed remote commands and answers. A command's signature line reads
//   HMAC-SHA256 <stamp> <hex>
// where <stamp> is the signer's UTC time in milliseconds since 1970 and <hex>
// the HMAC-SHA256, under the shared key, of <stamp>, a line feed and the
// command's first field. An answer's (Result.txt.sig) reads
//   HMAC-SHA256-ANSWER <command stamp> <answer stamp> <hex>
// over "TORV-ANSWER", <command stamp>, <answer stamp>, each followed by a line
// feed, then the whole result file. Its own first word and the fixed first
// line of what it signs keep either kind from passing for the other.
#include "ports/Crypto.h"

#include <optional>
#include <string>
#include <string_view>

namespace torv {

inline constexpr const char* kSignatureScheme = "HMAC-SHA256";
inline constexpr const char* kAnswerScheme = "HMAC-SHA256-ANSWER";

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

struct AnswerLine {
    // The digits as written: they are what was signed.
    std::string commandStampText, answerStampText;
    long long commandStamp = 0; // 0: the answer to no signed command
    long long answerStamp = 0;
    crypto::Sha256Digest mac{};
};

// The answer's signature line (without its line end) over the result file's bytes.
std::string answerSignatureLine(std::string_view key, long long commandStamp, long long answerStamp,
                                std::string_view resultBytes);
// An answer's signature line, or nothing when the line is not exactly one.
std::optional<AnswerLine> parseAnswerLine(std::string_view line);
// True when the line signs resultBytes under key; compared in constant time.
bool answerMatches(std::string_view key, const AnswerLine& line, std::string_view resultBytes);

} // namespace torv

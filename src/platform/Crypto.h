#pragma once
// What the remote signatures need from the platform's crypto library: the
// keyed hash, a comparison whose time does not depend on where two values
// differ, and random bytes from the system's secure source. One adapter per
// platform is linked in (OpenSSL's libcrypto, Windows CNG).
#include <array>
#include <cstddef>
#include <string_view>

namespace torv::crypto {

using Sha256Digest = std::array<unsigned char, 32>;

// HMAC-SHA256 of message under key. Throws Failure 5 if the library refuses.
Sha256Digest hmacSha256(std::string_view key, std::string_view message);

// True when the n bytes at a and b are equal; the time taken depends only on n.
bool equalInConstantTime(const unsigned char* a, const unsigned char* b, std::size_t n);

// Fills out with n bytes from the system's secure random source. Throws
// Failure 5 if the source fails.
void secureRandom(unsigned char* out, std::size_t n);

} // namespace torv::crypto

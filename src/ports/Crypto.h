#pragma once
// What the remote signatures need from the platform's crypto library: the
// keyed hash, a comparison whose time does not depend on where two values
// differ, and random bytes from the system's secure source. One adapter per
// platform: on Linux OpenSSL's libcrypto in a module loaded on first use
// (torv-crypto.so), on Windows CNG (a system library).
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace torv::crypto {

using Sha256Digest = std::array<unsigned char, 32>;

// True when the functions below can work; otherwise why says what is wrong
// ("missing" when the crypto module is not there).
bool available(std::string& why);

// HMAC-SHA256 of message under key. Throws Failure 5 if the library refuses.
Sha256Digest hmacSha256(std::string_view key, std::string_view message);

// True when the n bytes at a and b are equal; the time taken depends only on n.
bool equalInConstantTime(const unsigned char* a, const unsigned char* b, std::size_t n);

// Fills out with n bytes from the system's secure random source. Throws
// Failure 5 if the source fails.
void secureRandom(unsigned char* out, std::size_t n);

} // namespace torv::crypto

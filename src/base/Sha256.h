#pragma once
// SHA-256 and its keyed form, built in: for fingerprints of content that guard
// nothing (a remembered command file), so that no crypto library is loaded
// for them. Keys and their signatures go through the platform's crypto port.
#include <array>
#include <string_view>

namespace torv::sha256 {

using Digest = std::array<unsigned char, 32>;

Digest hash(std::string_view bytes);
// HMAC-SHA256: the same value the platform's keyed hash gives.
Digest keyed(std::string_view key, std::string_view message);

} // namespace torv::sha256

#pragma once
// The external address in a web answer: services that answer with the bare
// address and pages that contain it somewhere both work.
#include <optional>
#include <string>

namespace torv {

enum class AddressFamily { IPv4, IPv6 };

// The first address of the family in the text, in its usual written form, or
// nothing. An IPv4 address is four numbers 0-255 not part of a longer run of
// digits and dots; an IPv6 one has at least two colons and parses as one.
std::optional<std::string> firstAddress(const std::string& text, AddressFamily family);

} // namespace torv

#pragma once
// The external address in a web answer: services that answer with the bare
// address and pages that contain it somewhere both work.
#include <optional>
#include <string>

namespace torv {

enum class AddressFamily { IPv4, IPv6 };

// The first address of the family in the text, in its usual written form, or
// nothing. An IPv4 address is four numbers 0-255 not part of a longer run of
// digits and dots. An IPv6 one is a whole run of letters, digits, colons and
// dots that parses as one (a label such as "IP:" in front is allowed) and is
// not one that never stands for this machine outside: "::", "::1", fe80::/10,
// ff00::/8 and ::ffff:0:0/96.
std::optional<std::string> firstAddress(const std::string& text, AddressFamily family);

} // namespace torv

#include "base/TemporaryName.h"

#include <random>

namespace torv {

namespace {

constexpr std::size_t kSuffixLength = 10;
constexpr char kSuffixDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";

} // namespace

std::string temporaryPrefix(const std::string& fileName)
{
    // Built by appending: "." + name trips a false -Wrestrict in GCC 12's
    // optimised string concatenation.
    std::string prefix(1, '.');
    prefix += fileName;
    prefix += ".tmp-";
    return prefix;
}

std::string temporarySuffix()
{
    static std::mt19937_64 rng{std::random_device{}()};
    std::string s;
    for (std::size_t i = 0; i < kSuffixLength; ++i)
        s += kSuffixDigits[rng() % 36];
    return s;
}

bool isTemporaryOf(const std::string& entry, const std::string& fileName)
{
    const std::string prefix = temporaryPrefix(fileName);
    return entry.size() == prefix.size() + kSuffixLength && entry.compare(0, prefix.size(), prefix) == 0 &&
           entry.find_first_not_of(kSuffixDigits, prefix.size()) == std::string::npos;
}

} // namespace torv

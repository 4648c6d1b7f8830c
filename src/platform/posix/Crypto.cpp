// The crypto port through the crypto module (OpenSSL's libcrypto), loaded
// when a key is first used.
#include "ports/Crypto.h"

#include "base/Failure.h"
#include "platform/posix/LazyModule.h"

namespace torv::crypto {

namespace {

LazyModule& module()
{
    static LazyModule m("torv-crypto.so");
    return m;
}

template <typename F> F entry(const char* name)
{
    std::string why;
    return reinterpret_cast<F>(module().entry(name, why));
}

} // namespace

bool available(std::string& why)
{
    return module().entry("torv_hmac_sha256", why) && module().entry("torv_secure_random", why);
}

Sha256Digest hmacSha256(std::string_view key, std::string_view message)
{
    using Hmac = bool (*)(const void*, std::size_t, const void*, std::size_t, unsigned char*);
    static const auto hmac = entry<Hmac>("torv_hmac_sha256");
    Sha256Digest digest{};
    if (!hmac || !hmac(key.data(), key.size(), message.data(), message.size(), digest.data()))
        throw Failure::invalidCall();
    return digest;
}

bool equalInConstantTime(const unsigned char* a, const unsigned char* b, std::size_t n)
{
    // Every byte is read whatever differs; volatile keeps the loop whole.
    volatile unsigned char difference = 0;
    for (std::size_t i = 0; i < n; ++i)
        difference = difference | (a[i] ^ b[i]);
    return difference == 0;
}

void secureRandom(unsigned char* out, std::size_t n)
{
    using Random = bool (*)(unsigned char*, std::size_t);
    static const auto random = entry<Random>("torv_secure_random");
    if (!random || !random(out, n))
        throw Failure::invalidCall();
}

} // namespace torv::crypto

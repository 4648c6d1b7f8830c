// The crypto port on OpenSSL's libcrypto.
#include "platform/Crypto.h"

#include "platform/Failure.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <climits>

namespace torv::crypto {

Sha256Digest hmacSha256(std::string_view key, std::string_view message)
{
    if (key.size() > INT_MAX)
        throw Failure::invalidCall();
    Sha256Digest digest{};
    unsigned int length = 0;
    const unsigned char* ok =
        HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
             reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest.data(), &length);
    if (!ok || length != digest.size())
        throw Failure::invalidCall();
    return digest;
}

bool equalInConstantTime(const unsigned char* a, const unsigned char* b, std::size_t n)
{
    return CRYPTO_memcmp(a, b, n) == 0;
}

void secureRandom(unsigned char* out, std::size_t n)
{
    // RAND_bytes draws on the kernel's getrandom() source.
    while (n > 0) {
        const int chunk = n > INT_MAX ? INT_MAX : static_cast<int>(n);
        if (RAND_bytes(out, chunk) != 1)
            throw Failure::invalidCall();
        out += chunk;
        n -= static_cast<std::size_t>(chunk);
    }
}

} // namespace torv::crypto

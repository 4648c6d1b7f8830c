// The crypto module (torv-crypto.so): the keyed hash and random bytes from
// OpenSSL's libcrypto. Loaded by the crypto port only when a key is used.
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <climits>
#include <cstddef>

// HMAC-SHA256 into out (32 bytes); false if the library refuses.
extern "C" bool torv_hmac_sha256(const void* key, std::size_t keyLength, const void* message, std::size_t length,
                                 unsigned char* out)
{
    if (keyLength > INT_MAX)
        return false;
    unsigned int written = 0;
    const unsigned char* ok = HMAC(EVP_sha256(), key, static_cast<int>(keyLength),
                                   static_cast<const unsigned char*>(message), length, out, &written);
    return ok && written == 32;
}

// n bytes from the kernel's getrandom() source, through RAND_bytes.
extern "C" bool torv_secure_random(unsigned char* out, std::size_t n)
{
    while (n > 0) {
        const int chunk = n > INT_MAX ? INT_MAX : static_cast<int>(n);
        if (RAND_bytes(out, chunk) != 1)
            return false;
        out += chunk;
        n -= static_cast<std::size_t>(chunk);
    }
    return true;
}

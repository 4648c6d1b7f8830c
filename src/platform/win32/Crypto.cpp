// The crypto port on Windows CNG (bcrypt.dll).
#include "ports/Crypto.h"

#include "base/Failure.h"

#include <windows.h>

#include <bcrypt.h>

#include <climits>

namespace torv::crypto {

bool available(std::string&)
{
    return true;
}

namespace {

bool succeeded(NTSTATUS status)
{
    return status >= 0;
}

// The provider is opened once and kept: opening it is the costly part.
BCRYPT_ALG_HANDLE hmacProvider()
{
    static BCRYPT_ALG_HANDLE handle = [] {
        BCRYPT_ALG_HANDLE h = nullptr;
        if (!succeeded(BCryptOpenAlgorithmProvider(&h, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG)))
            h = nullptr;
        return h;
    }();
    return handle;
}

} // namespace

Sha256Digest hmacSha256(std::string_view key, std::string_view message)
{
    BCRYPT_ALG_HANDLE provider = hmacProvider();
    if (!provider || key.size() > ULONG_MAX || message.size() > ULONG_MAX)
        throw Failure::invalidCall();
    Sha256Digest digest{};
    BCRYPT_HASH_HANDLE hash = nullptr;
    // A null key pointer is refused, so an empty key points at a dummy byte.
    UCHAR empty = 0;
    PUCHAR keyBytes = key.empty() ? &empty : reinterpret_cast<PUCHAR>(const_cast<char*>(key.data()));
    bool ok = succeeded(BCryptCreateHash(provider, &hash, nullptr, 0, keyBytes, static_cast<ULONG>(key.size()), 0));
    if (ok && !message.empty())
        ok = succeeded(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(message.data())),
                                      static_cast<ULONG>(message.size()), 0));
    if (ok)
        ok = succeeded(BCryptFinishHash(hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    if (hash)
        BCryptDestroyHash(hash);
    if (!ok)
        throw Failure::invalidCall();
    return digest;
}

bool equalInConstantTime(const unsigned char* a, const unsigned char* b, std::size_t n)
{
    // Every byte is looked at; the volatile keeps the compiler from ending early.
    volatile unsigned char diff = 0;
    for (std::size_t i = 0; i < n; ++i)
        diff = static_cast<unsigned char>(diff | (a[i] ^ b[i]));
    return diff == 0;
}

void secureRandom(unsigned char* out, std::size_t n)
{
    while (n > 0) {
        const ULONG chunk = n > ULONG_MAX ? ULONG_MAX : static_cast<ULONG>(n);
        if (!succeeded(BCryptGenRandom(nullptr, out, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            throw Failure::invalidCall();
        out += chunk;
        n -= chunk;
    }
}

} // namespace torv::crypto

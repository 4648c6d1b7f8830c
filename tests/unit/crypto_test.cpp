// The platform's and the built-in HMAC-SHA256 against the RFC 4231 vectors,
// and the reading of signature lines and key files.
#include "base/Sha256.h"
#include "ports/Crypto.h"
#include "remote/RemoteKey.h"
#include "remote/Signature.h"

#include <gtest/gtest.h>

#include <vector>

using namespace torv;

namespace {

std::string repeat(char c, size_t n)
{
    return std::string(n, c);
}

std::string hexOf(const crypto::Sha256Digest& d)
{
    return toHex({reinterpret_cast<const char*>(d.data()), d.size()});
}

TEST(Crypto, HmacSha256MatchesRfc4231)
{
    struct Case {
        int number;
        std::string key, data;
        const char* mac;
    };
    const std::string key131(131, '\xaa');
    const Case cases[] = {
        {1, repeat('\x0b', 20), "Hi There", "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7"},
        {2, "Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        {3, repeat('\xaa', 20), repeat('\xdd', 50), "773ea91e36800e46854db8ebd09181a72959098b3ef8c122d9635514ced565fe"},
        {4, *fromHex("0102030405060708090a0b0c0d0e0f10111213141516171819"), repeat('\xcd', 50),
         "82558a389a443c0ea4cc819899f2083a85f0faa3e578f8077a2e3ff46729665b"},
        {6, key131, "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
        {7, key131,
         "This is a test using a larger than block-size key and a larger than block-size data. The key needs to be "
         "hashed before being used by the HMAC algorithm.",
         "9b09ffa71b942fcb27635fbcd5b0e944bfdc63644f0713938a7f51535c3a35e2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(hexOf(crypto::hmacSha256(c.key, c.data)), c.mac);
        EXPECT_EQ(hexOf(sha256::keyed(c.key, c.data)), c.mac);
    }
    // The plain hash where the padding takes one block, two, or ends one exactly.
    EXPECT_EQ(hexOf(sha256::hash("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hexOf(sha256::hash("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(hexOf(sha256::hash(std::string(64, 'a'))),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
}

TEST(Crypto, ConstantTimeComparisonAndRandomBytes)
{
    const unsigned char a[4] = {1, 2, 3, 4}, b[4] = {1, 2, 3, 5};
    EXPECT_TRUE(crypto::equalInConstantTime(a, a, 4));
    EXPECT_FALSE(crypto::equalInConstantTime(a, b, 4));
    EXPECT_TRUE(crypto::equalInConstantTime(a, b, 3));
    unsigned char r1[32] = {}, r2[32] = {};
    crypto::secureRandom(r1, sizeof r1);
    crypto::secureRandom(r2, sizeof r2);
    EXPECT_FALSE(crypto::equalInConstantTime(r1, r2, sizeof r1));
}

TEST(Signature, LinesAreReadStrictly)
{
    const std::string key = repeat('k', 32);
    const std::string good = signatureLine(key, 1796634300000, "report");
    ASSERT_EQ(good.substr(0, 26), "HMAC-SHA256 1796634300000 ");
    auto line = parseSignatureLine(good + " \t");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->stamp, 1796634300000);
    EXPECT_TRUE(signatureMatches(key, *line, "report"));
    EXPECT_FALSE(signatureMatches(key, *line, "report "));
    EXPECT_FALSE(signatureMatches(repeat('K', 32), *line, "report"));
    // Upper-case hex is the same signature.
    std::string upper = good;
    for (size_t i = 26; i < upper.size(); ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    ASSERT_TRUE(parseSignatureLine(upper));
    EXPECT_TRUE(signatureMatches(key, *parseSignatureLine(upper), "report"));

    const std::string mac = good.substr(26);
    for (const std::string& bad : std::vector<std::string>{
             "", "HMAC-SHA256", "HMAC-SHA256 1 ", "hmac-sha256 1 " + mac, "HMAC-SHA1 1 " + mac, "HMAC-SHA256  1 " + mac,
             "HMAC-SHA256 -1 " + mac, "HMAC-SHA256 +1 " + mac, "HMAC-SHA256 1x " + mac, "HMAC-SHA256 1 " + mac + "0",
             "HMAC-SHA256 1 " + mac.substr(1), "HMAC-SHA256 1 " + mac.substr(0, 63) + "g",
             "HMAC-SHA256 99999999999999999999 " + mac, " HMAC-SHA256 1 " + mac}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseSignatureLine(bad));
    }
}

TEST(Signature, KeyFilesHoldOneLineOfHex)
{
    const std::string hex64 = repeat('a', 64);
    EXPECT_EQ(parseKeyText(hex64 + "\n"), repeat('\xaa', 32));
    EXPECT_EQ(parseKeyText(" " + hex64 + "\r\n"), repeat('\xaa', 32));
    EXPECT_EQ(parseKeyText(repeat('0', 32)), repeat('\0', 16));
    for (const std::string& bad : {std::string(""), repeat('a', 30), repeat('a', 130), repeat('a', 63),
                                   hex64.substr(0, 32) + "\n" + hex64.substr(32), repeat('a', 62) + "zz"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseKeyText(bad));
    }
}

} // namespace

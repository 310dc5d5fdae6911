#include "platform/Crypto.h"

#include "platform/CryptoBigInt.h"
#include "platform/CryptoBlowfish.h"

#include <gtest/gtest.h>

using platform::BigInt;

namespace {

QByteArray hex(const char* digits)
{
    return QByteArray::fromHex(digits);
}

BigInt big(quint64 v)
{
    const quint32 words[2] = { quint32(v), quint32(v >> 32) };
    return *BigInt::fromWords(words, 2);
}

} // namespace

TEST(Crypto, DigestsAndCrcMatchPublishedVectors)
{
    EXPECT_EQ(platform::md5("").toHex(), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(platform::md5("abc").toHex(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(
        platform::sha256("abc").toHex(), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(platform::crc32("123456789"), 0xCBF43926u);
    EXPECT_EQ(platform::crc32(""), 0u);
    EXPECT_EQ(platform::crc32("The quick brown fox jumps over the lazy dog"), 0x414FA339u);
}

TEST(Crypto, RandomBytesHaveTheAskedLengthAndVary)
{
    const auto a = platform::randomBytes(32);
    const auto b = platform::randomBytes(32);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), 32);
    EXPECT_NE(*a, *b);
    EXPECT_EQ(platform::randomBytes(0)->size(), 0);

    QByteArray secret("secret");
    platform::secureWipe(secret);
    EXPECT_EQ(secret, QByteArray(6, '\0'));
}

TEST(Crypto, Aes256CbcMatchesNistVectorAndRefusesBadInput)
{
    // NIST SP 800-38A, F.2.5 (CBC-AES256.Encrypt), first block; PKCS#7 adds a second.
    const QByteArray key = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
    const QByteArray iv = hex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = hex("6bc1bee22e409f96e93d7e117393172a");
    const auto cipher = platform::aes256CbcEncrypt(key, iv, plain);
    ASSERT_TRUE(cipher);
    ASSERT_EQ(cipher->size(), 32);
    EXPECT_EQ(cipher->left(16).toHex(), "f58c4c04d6e5f1ba779eabfb5f7bfbd6");
    EXPECT_EQ(platform::aes256CbcDecrypt(key, iv, *cipher), plain);

    EXPECT_EQ(platform::aes256CbcEncrypt(key, iv, "")->size(), 16);
    EXPECT_FALSE(platform::aes256CbcEncrypt(key.left(31), iv, plain));
    EXPECT_FALSE(platform::aes256CbcEncrypt(key, iv.left(8), plain));
    EXPECT_FALSE(platform::aes256CbcDecrypt(key, iv, cipher->left(31)));
    EXPECT_FALSE(platform::aes256CbcDecrypt(key, iv, ""));
    // Dropping the padding block leaves a last block whose "padding" is 0x2a.
    EXPECT_FALSE(platform::aes256CbcDecrypt(key, iv, cipher->left(16)));
}

TEST(Crypto, BlowfishBlockFunctionMatchesPublishedVectors)
{
    struct Vector {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Vector vectors[] = {
        { "0000000000000000", "0000000000000000", "4EF997456198DD78" },
        { "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A" },
        { "3000000000000000", "1000000000000001", "7D856F9A613063F2" },
        { "1111111111111111", "1111111111111111", "2466DD878B963C9D" },
        { "0123456789ABCDEF", "1111111111111111", "61F9C3802281B096" },
        { "FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D" },
    };
    for (const Vector& v : vectors) {
        auto bf = platform::Blowfish::create();
        ASSERT_TRUE(bf);
        EXPECT_FALSE(bf->isKeyed());
        const QByteArray key = hex(v.key);
        ASSERT_TRUE(bf->setKey(key.constData(), 8));
        const QByteArray plain = hex(v.plain);
        quint32 l = quint32(plain.mid(0, 4).toHex().toUInt(nullptr, 16));
        quint32 r = quint32(plain.mid(4, 4).toHex().toUInt(nullptr, 16));
        bf->encryptBlock(l, r);
        EXPECT_EQ(QByteArray::number(l, 16).rightJustified(8, '0').toUpper()
                + QByteArray::number(r, 16).rightJustified(8, '0').toUpper(),
            QByteArray(v.cipher))
            << v.key;
        bf->decryptBlock(l, r);
        EXPECT_EQ(l, quint32(plain.mid(0, 4).toHex().toUInt(nullptr, 16)));
        EXPECT_EQ(r, quint32(plain.mid(4, 4).toHex().toUInt(nullptr, 16)));
    }
    auto bf = platform::Blowfish::create();
    EXPECT_FALSE(bf->setKey("", 0));
    EXPECT_FALSE(bf->setKey(nullptr, 8));
    const QByteArray longKey(73, 'k');
    EXPECT_FALSE(bf->setKey(longKey.constData(), 73));
    EXPECT_TRUE(bf->setKey(longKey.constData(), 72));
}

TEST(Crypto, BigIntArithmeticAgreesWithItself)
{
    const quint32 words[3] = { 0x89ABCDEF, 0x01234567, 0x00000001 };
    const auto a = BigInt::fromWords(words, 3);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->toWords(), (std::vector<quint32> { 0x89ABCDEF, 0x01234567, 0x00000001 }));
    EXPECT_EQ(a->numBits(), 65);
    EXPECT_EQ(a->toLittleEndian(9)->toHex(), "efcdab896745230101");
    EXPECT_FALSE(a->toLittleEndian(8));
    EXPECT_EQ(BigInt::fromLittleEndian(hex("efcdab896745230101")), *a);
    const quint32 padded[4] = { 7, 0, 0, 0 };
    EXPECT_EQ(BigInt::fromWords(padded, 4)->toWords(), std::vector<quint32> { 7 });
    EXPECT_TRUE(BigInt().toWords().empty());

    // Bits.
    BigInt b = big(0);
    EXPECT_TRUE(b.isZero());
    EXPECT_TRUE(b.setBit(100));
    EXPECT_TRUE(b.bit(100));
    EXPECT_FALSE(b.bit(99));
    EXPECT_EQ(b.numBits(), 101);
    EXPECT_TRUE(b.clearBit(100));
    EXPECT_TRUE(b.clearBit(500));
    EXPECT_TRUE(b.isZero());

    // Division and remainder: 1000000007 * 12345 + 678.
    const BigInt n = big(1000000007ull * 12345 + 678);
    const auto d = BigInt::divide(n, big(12345));
    ASSERT_TRUE(d);
    EXPECT_EQ(d->quotient, big(1000000007));
    EXPECT_EQ(d->remainder, big(678));
    EXPECT_EQ(BigInt::remainder(n, big(12345)), big(678));
    EXPECT_FALSE(BigInt::divide(n, big(0)));

    // Signs and comparisons.
    const auto neg = BigInt::subtract(big(5), big(9));
    ASSERT_TRUE(neg);
    EXPECT_TRUE(neg->isNegative());
    EXPECT_LT(*neg, big(0));
    EXPECT_GT(BigInt::compareMagnitude(*neg, big(3)), 0);
    EXPECT_EQ(BigInt::add(*neg, big(4)), big(0));
    EXPECT_EQ(BigInt::multiply(big(0xFFFFFFFF), big(0xFFFFFFFF)), big(0xFFFFFFFE00000001ull));
    EXPECT_EQ(BigInt::multiplyLow(big(0xFFFFFFFF), big(0xFFFFFFFF), 32), big(1));
    EXPECT_EQ(BigInt::shiftLeftOne(big(0x80000000)), big(0x100000000ull));
    EXPECT_EQ(BigInt::shiftRight(big(0x100000000ull), 3), big(0x20000000));

    // Bitwise operations across words of different lengths.
    EXPECT_EQ(BigInt::bitwiseAnd(big(0x1F0000000Full), big(0xFF)), big(0x0F));
    EXPECT_EQ(BigInt::bitwiseXor(big(0x100000000ull), big(0x3)), big(0x100000003ull));
    EXPECT_TRUE(BigInt::parityOfAnd(big(0x100000007ull), big(0x100000001ull)) == false);
    EXPECT_TRUE(BigInt::parityOfAnd(big(0x7), big(0x3)) == false);
    EXPECT_TRUE(BigInt::parityOfAnd(big(0x7), big(0x1)));

    // Modular arithmetic: 3 * 4 = 12 = 1 mod 11; 4^13 mod 497 = 445.
    EXPECT_EQ(BigInt::modInverse(big(3), big(11)), big(4));
    EXPECT_FALSE(BigInt::modInverse(big(6), big(9)));
    EXPECT_EQ(BigInt::modExp(big(4), big(13), big(497)), big(445));
    EXPECT_FALSE(BigInt::modExp(big(4), big(13), big(498)));

    // Montgomery multiplication is modular multiplication once converted back.
    const BigInt m = big(1000000007);
    const auto mont = platform::MontgomeryContext::create(m);
    ASSERT_TRUE(mont);
    const auto am = mont->toMontgomery(big(123456789));
    const auto bm = mont->toMontgomery(big(987654321));
    ASSERT_TRUE(am && bm);
    const auto product = mont->multiply(*am, *bm);
    ASSERT_TRUE(product);
    EXPECT_EQ(mont->fromMontgomery(*product), big(123456789ull * 987654321ull % 1000000007ull));
    EXPECT_EQ(mont->modExp(big(4), big(13)), BigInt::modExp(big(4), big(13), m));
    EXPECT_FALSE(platform::MontgomeryContext::create(big(10)));

    // CRT private operation equals c^d mod pq: p = 61, q = 53, e = 17, d = 2753.
    const auto plain = BigInt::rsaPrivateCrt(
        big(2790), big(61), big(53), big(2753 % 60), big(2753 % 52), *BigInt::modInverse(big(53), big(61)));
    EXPECT_EQ(plain, big(65));
    EXPECT_EQ(BigInt::modExp(big(65), big(17), big(3233)), big(2790));
}

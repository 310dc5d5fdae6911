#include "comm/crypto/VEKCoder.h"
#include "comm/recordset/VEKHex.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <map>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

namespace {

using BnPtr = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

// An RSA key made by OpenSSL, with its numbers as little-endian bytes.
struct TestKey {
    int bytes = 0;
    QByteArray n, e, d, p, q, dp, dq, qinv;
};

QByteArray toLittleEndian(const BIGNUM* bn)
{
    QByteArray out(BN_num_bytes(bn), '\0');
    BN_bn2lebinpad(bn, reinterpret_cast<unsigned char*>(out.data()), int(out.size()));
    return out;
}

QByteArray param(EVP_PKEY* key, const char* name)
{
    BIGNUM* bn = nullptr;
    EXPECT_EQ(EVP_PKEY_get_bn_param(key, name, &bn), 1) << name;
    const QByteArray out = toLittleEndian(bn);
    BN_free(bn);
    return out;
}

const TestKey& testKey(int bits)
{
    static std::map<int, TestKey> keys;
    auto it = keys.find(bits);
    if (it != keys.end())
        return it->second;
    EVP_PKEY* pkey = EVP_RSA_gen(static_cast<unsigned int>(bits));
    EXPECT_TRUE(pkey);
    TestKey k;
    k.bytes = bits / 8;
    k.n = param(pkey, OSSL_PKEY_PARAM_RSA_N);
    k.e = param(pkey, OSSL_PKEY_PARAM_RSA_E);
    k.d = param(pkey, OSSL_PKEY_PARAM_RSA_D);
    k.p = param(pkey, OSSL_PKEY_PARAM_RSA_FACTOR1);
    k.q = param(pkey, OSSL_PKEY_PARAM_RSA_FACTOR2);
    k.dp = param(pkey, OSSL_PKEY_PARAM_RSA_EXPONENT1);
    k.dq = param(pkey, OSSL_PKEY_PARAM_RSA_EXPONENT2);
    k.qinv = param(pkey, OSSL_PKEY_PARAM_RSA_COEFFICIENT1);
    EVP_PKEY_free(pkey);
    return keys.emplace(bits, k).first->second;
}

void appendWord(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// A number of the payload: its word count, then its words least significant first.
void appendNumber(QByteArray& payload, QByteArray littleEndian)
{
    while (littleEndian.size() % 4 != 0)
        littleEndian.append('\0');
    appendWord(payload, quint32(littleEndian.size() / 4));
    payload += littleEndian;
}

QByteArray container(quint32 blockSize, QByteArray payload)
{
    RotateBytesRightOneBit(payload.data(), payload.size());
    QByteArray out("VEKKEY");
    appendWord(out, blockSize);
    appendWord(out, quint32(payload.size()));
    out += QCryptographicHash::hash(payload, QCryptographicHash::Md5);
    out += payload;
    return out;
}

QByteArray publicContainer(const TestKey& k)
{
    QByteArray payload;
    appendNumber(payload, k.n);
    appendNumber(payload, k.e);
    return container(quint32(k.bytes), payload);
}

// Raw RSA with the private exponent, done by OpenSSL alone.
QByteArray rawDecrypt(const TestKey& k, QByteArrayView block)
{
    auto le = [](QByteArrayView b) {
        return BnPtr(
            BN_lebin2bn(reinterpret_cast<const unsigned char*>(b.data()), int(b.size()), nullptr), BN_free);
    };
    BnPtr c = le(block), n = le(k.n), d = le(k.d), m(BN_new(), BN_free);
    BN_CTX* ctx = BN_CTX_new();
    EXPECT_EQ(BN_mod_exp(m.get(), c.get(), d.get(), n.get(), ctx), 1);
    BN_CTX_free(ctx);
    QByteArray out(k.bytes, '\0');
    BN_bn2lebinpad(m.get(), reinterpret_cast<unsigned char*>(out.data()), k.bytes);
    return out;
}

VEKKey key(const QByteArray& chars)
{
    return *VEKKey::withCharacters(chars);
}

} // namespace

TEST(RsaContainer, RotatesPayloadByOneBit)
{
    QByteArray bytes("\x80\x01", 2);
    RotateBytesLeftOneBit(bytes.data(), 2);
    EXPECT_EQ(bytes, QByteArray("\x00\x03", 2));
    bytes = QByteArray("\x80\x01", 2);
    RotateBytesRightOneBit(bytes.data(), 2);
    EXPECT_EQ(bytes, QByteArray("\xC0\x00", 2));

    QByteArray data;
    for (int i = 0; i < 37; ++i)
        data.append(char(i * 71 + 5));
    QByteArray copy = data;
    RotateBytesRightOneBit(copy.data(), copy.size());
    EXPECT_NE(copy, data);
    RotateBytesLeftOneBit(copy.data(), copy.size());
    EXPECT_EQ(copy, data);
    RotateBytesLeftOneBit(nullptr, 4); // nothing to do, nothing touched
}

TEST(RsaContainer, WrapsAKeyThatTheOwnerOfThePrivateKeyCanRead)
{
    const TestKey& k = testKey(1024);
    const QByteArray sessionKey("AbCdEfGh+/012345");
    const auto wrapped = VEKCoder::dataWithRsaEncryptKey(key(sessionKey), publicContainer(k));
    ASSERT_TRUE(wrapped);
    ASSERT_EQ(wrapped->size(), 128);
    const QByteArray message = rawDecrypt(k, *wrapped);
    QByteArray expected;
    appendWord(expected, 16);
    expected += sessionKey;
    expected += QByteArray(128 - expected.size(), '\0');
    EXPECT_EQ(message, expected);

    // The file form: the same bytes as upper-case hex (raw RSA is deterministic).
    QTemporaryDir dir;
    const QString path = dir.filePath("pubkey.bin");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(publicContainer(k));
    file.close();
    EXPECT_EQ(
        VEKCoder::hexDataWithRsaEncryptKey(key(sessionKey), path), VEKHex::dataWithData(*wrapped, true));
    EXPECT_FALSE(VEKCoder::hexDataWithRsaEncryptKey(key(sessionKey), dir.filePath("missing.bin")));

    // A 5-byte input: length word, the five bytes, three zero bytes.
    std::unique_ptr<VEKRsaContext> ctx;
    ASSERT_EQ(RsaNewContext(ctx, 0), kVEKSuccess);
    EXPECT_EQ(ctx->blockSize, 32u);
    const QByteArray c = publicContainer(k);
    ASSERT_TRUE(LoadPublicKeyContainer(ctx.get(), c.constData(), c.size()));
    EXPECT_EQ(ctx->blockSize, 128u);
    QByteArray out;
    ASSERT_EQ(RsaEncryptBlocks(ctx.get(), "hello", 5, &out, VEKRsaKeyChoice::Public), kVEKSuccess);
    EXPECT_EQ(rawDecrypt(k, out).left(13), QByteArray("\x05\x00\x00\x00hello\x00\x00\x00\x00", 13));
    EXPECT_EQ(RsaEncryptBlocks(ctx.get(), "hello", 0, &out, VEKRsaKeyChoice::Public), kVEKBadInput);
    // No private half loaded.
    EXPECT_EQ(RsaEncryptBlocks(ctx.get(), "hello", 5, &out, VEKRsaKeyChoice::Private), kVEKBadInput);
}

TEST(RsaContainer, SplitsLongMessagesIntoBlocksAndDecryptsThem)
{
    const TestKey& k = testKey(512); // B = 64: chunks of 15 words
    std::unique_ptr<VEKRsaContext> ctx;
    ASSERT_EQ(RsaNewContext(ctx, 1), kVEKSuccess);
    EXPECT_EQ(ctx->blockSize, 64u);
    const QByteArray c = publicContainer(k);
    ASSERT_TRUE(LoadPublicKeyContainer(ctx.get(), c.constData(), c.size()));

    EXPECT_EQ(RsaOutputSize(ctx.get(), 16), 64); // 20 bytes fit one chunk
    EXPECT_EQ(RsaOutputSize(ctx.get(), 56), 64); // 60 bytes: 15 words
    EXPECT_EQ(RsaOutputSize(ctx.get(), 57), 128); // 64 bytes: 16 words
    EXPECT_EQ(RsaOutputSize(ctx.get(), 0), 0);

    const QByteArray sixtyFour(64, 'K');
    const auto wrapped = VEKCoder::dataWithRsaEncryptKey(key(sixtyFour), c);
    ASSERT_TRUE(wrapped);
    ASSERT_EQ(wrapped->size(), 128);
    const QByteArray message
        = rawDecrypt(k, wrapped->left(64)).left(60) + rawDecrypt(k, wrapped->mid(64)).left(60);
    QByteArray expected;
    appendWord(expected, 64);
    expected += sixtyFour;
    expected += QByteArray(120 - expected.size(), '\0');
    EXPECT_EQ(message, expected);
    EXPECT_EQ(rawDecrypt(k, wrapped->left(64)).mid(60), QByteArray(4, '\0'));

    // With the private half filled in, the block routines invert each other
    // both ways; the private operation runs by the Chinese remainder theorem.
    auto big = [](const QByteArray& le) { return *platform::BigInt::fromLittleEndian(le); };
    ctx->P = big(k.p);
    ctx->Q = big(k.q);
    ctx->DP = big(k.dp);
    ctx->DQ = big(k.dq);
    ctx->QP = big(k.qinv);
    ctx->D = big(k.d);
    ctx->hasPrivateKey = true;
    QByteArray plain;
    ASSERT_EQ(
        RsaDecryptBlocks(ctx.get(), wrapped->constData(), wrapped->size(), &plain, VEKRsaKeyChoice::Private),
        kVEKSuccess);
    EXPECT_EQ(plain, sixtyFour);
    QByteArray signedBlocks;
    const QByteArray text("a message longer than one chunk of sixty bytes, to use two blocks");
    ASSERT_EQ(
        RsaEncryptBlocks(ctx.get(), text.constData(), text.size(), &signedBlocks, VEKRsaKeyChoice::Private),
        kVEKSuccess);
    EXPECT_EQ(signedBlocks.size(), 128);
    ASSERT_EQ(RsaDecryptBlocks(
                  ctx.get(), signedBlocks.constData(), signedBlocks.size(), &plain, VEKRsaKeyChoice::Public),
        kVEKSuccess);
    EXPECT_EQ(plain, text);

    // Decryption refuses partial blocks, values not below the modulus and
    // blocks that are not genuine chunks.
    EXPECT_EQ(RsaDecryptBlocks(ctx.get(), wrapped->constData(), 100, &plain, VEKRsaKeyChoice::Private),
        kVEKBadInput);
    const QByteArray allOnes(64, '\xFF');
    EXPECT_EQ(
        RsaDecryptBlocks(ctx.get(), allOnes.constData(), 64, &plain, VEKRsaKeyChoice::Private), kVEKBadInput);
    QByteArray forged = *wrapped;
    forged[5] = char(forged[5] ^ 0x40);
    EXPECT_EQ(
        RsaDecryptBlocks(ctx.get(), forged.constData(), 64, &plain, VEKRsaKeyChoice::Private), kVEKBadInput);
}

TEST(RsaContainer, RefusesMalformedContainers)
{
    const TestKey& k = testKey(1024);
    const QByteArray good = publicContainer(k);
    std::unique_ptr<VEKRsaContext> ctx;
    ASSERT_EQ(RsaNewContext(ctx, 0), kVEKSuccess);
    auto loads
        = [&](const QByteArray& c) { return LoadPublicKeyContainer(ctx.get(), c.constData(), c.size()); };
    EXPECT_TRUE(loads(good));

    EXPECT_FALSE(loads(good.left(29)));
    EXPECT_FALSE(loads(QByteArray(29, '\0')));
    QByteArray magic = good;
    magic[0] = 'W';
    EXPECT_FALSE(loads(magic));
    EXPECT_FALSE(loads(good + "x"));
    EXPECT_FALSE(loads(good.left(good.size() - 1)));
    for (int at : { 30, 40, int(good.size()) - 1 }) {
        QByteArray bad = good;
        bad[at] = char(bad[at] ^ 0x10);
        EXPECT_FALSE(loads(bad)) << at;
    }
    QByteArray digest = good;
    digest[14] = char(digest[14] ^ 1);
    EXPECT_FALSE(loads(digest));
    EXPECT_FALSE(LoadPublicKeyContainer(ctx.get(), nullptr, 100));
    EXPECT_FALSE(VEKCoder::dataWithRsaEncryptKey(key("0123456789abcdef"), {}));
    EXPECT_FALSE(VEKCoder::dataWithRsaEncryptKey(key("0123456789abcdef"), magic));
    EXPECT_FALSE(VEKCoder::dataWithRsaEncryptKey(VEKKey(), good)); // no key bytes

    // Block sizes outside 32..512 or not whole words.
    QByteArray payload;
    appendNumber(payload, k.n);
    appendNumber(payload, k.e);
    for (quint32 b : { 0u, 28u, 130u, 1024u, 0xFFFFFFFFu })
        EXPECT_FALSE(loads(container(b, payload))) << b;
    // A modulus longer than the block.
    EXPECT_FALSE(loads(container(64, payload)));
    // A modulus shorter than the block loads but cannot encrypt.
    ASSERT_TRUE(loads(container(256, payload)));
    QByteArray out;
    EXPECT_EQ(RsaEncryptBlocks(ctx.get(), "abc", 3, &out, VEKRsaKeyChoice::Public), kVEKBadInput);

    // Word counts that run past the payload end the reading; the container
    // still loads, and a context without an exponent cannot encrypt.
    QByteArray onlyModulus;
    appendNumber(onlyModulus, k.n);
    appendWord(onlyModulus, 1000);
    ASSERT_TRUE(loads(container(128, onlyModulus)));
    EXPECT_FALSE(ctx->hasPublicKey);
    EXPECT_EQ(RsaEncryptBlocks(ctx.get(), "abc", 3, &out, VEKRsaKeyChoice::Public), kVEKBadInput);
    QByteArray runaway;
    appendWord(runaway, 0xFFFFFFFF);
    EXPECT_TRUE(loads(container(128, runaway)));
    EXPECT_TRUE(loads(container(128, QByteArray())));
    EXPECT_FALSE(ctx->hasPublicKey);

    // Further numbers after the exponent are ignored; leading zero words are not length.
    QByteArray extra = payload;
    appendNumber(extra, QByteArray(600, '\x7F'));
    ASSERT_TRUE(loads(container(128, extra)));
    EXPECT_TRUE(ctx->hasPublicKey);
    QByteArray zeros;
    appendNumber(zeros, k.n + QByteArray(8, '\0'));
    appendNumber(zeros, k.e);
    ASSERT_TRUE(loads(container(128, zeros)));
    EXPECT_EQ(RsaEncryptBlocks(ctx.get(), "abc", 3, &out, VEKRsaKeyChoice::Public), kVEKSuccess);
}

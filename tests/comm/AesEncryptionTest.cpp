#include "comm/crypto/AesEncryption.h"

#include "comm/recordset/VEKBase64.h"
#include "platform/Crypto.h"

#include <gtest/gtest.h>

namespace {

const QString kGuidKey = "6F9619FF-8B86-D011-B42D-00C04FC964FF"; // 36 characters
const QString kMasterKey = "0123456789ABCDEF0123456789ABCDEF"; // 32 characters

} // namespace

TEST(AesEncryption, TextRoundTripsAndWrongKeysGiveNothing)
{
    for (const QString& text :
        { QString("127.0.0.1:9443"), QString::fromUtf8("中文账户 123"), QString("x") }) {
        for (const QString& key : { kGuidKey, kMasterKey, QString("short") }) {
            const auto sealed = AesEncryption::encodeStringWithAES(text, key);
            ASSERT_TRUE(sealed);
            EXPECT_EQ(AesEncryption::decodeStringWithAES(*sealed, key), text);
        }
    }
    const QString secret = "a stored server address that is long enough to span blocks";
    const auto sealed = AesEncryption::encodeStringWithAES(secret, kGuidKey);
    ASSERT_TRUE(sealed);
    EXPECT_FALSE(AesEncryption::decodeStringWithAES(*sealed, kMasterKey));
    EXPECT_FALSE(AesEncryption::decodeStringWithAES(*sealed, "7F9619FF-8B86-D011-B42D-00C04FC964FF"));

    // A fresh IV each time: the same text never encrypts alike.
    EXPECT_NE(AesEncryption::encodeStringWithAES(secret, kGuidKey), sealed);

    EXPECT_FALSE(AesEncryption::encodeStringWithAES("", kGuidKey));
    EXPECT_FALSE(AesEncryption::encodeStringWithAES(QString(), kGuidKey));
    EXPECT_FALSE(AesEncryption::decodeStringWithAES("", kGuidKey));
    EXPECT_FALSE(AesEncryption::decodeStringWithAES("not base64!", kGuidKey));
    EXPECT_FALSE(AesEncryption::decodeStringWithAES("Zm9vYmFy", kGuidKey)); // too short
}

TEST(AesEncryption, LayoutAndKeyRule)
{
    // 16 bytes of text: IV plus two blocks (a full padding block).
    const auto sealed = AesEncryption::encodeStringWithAES("0123456789abcdef", kMasterKey);
    ASSERT_TRUE(sealed);
    EXPECT_EQ(sealed->size(), 64);
    const auto bytes = VEKBase64::decodeString(*sealed);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 48);

    const auto shortKey = AES256EncryptWithKey("payload", "abc");
    ASSERT_TRUE(shortKey);

    // Keys that agree in their first 32 bytes are the same key.
    const auto byGuid = AES256EncryptWithKey("payload", kGuidKey);
    ASSERT_TRUE(byGuid);
    EXPECT_EQ(AES256DecryptWithKey(*byGuid, kGuidKey.left(32)), "payload");
    EXPECT_EQ(AES256DecryptWithKey(*byGuid, kGuidKey.left(32) + "ZZZZ"), "payload");
    EXPECT_EQ(AES256DecryptWithKey(*shortKey, QString::fromUtf8("abc\0\0", 5)), "payload");

    // Byte-level refusals.
    EXPECT_FALSE(AES256DecryptWithKey(byGuid->left(31), kGuidKey));
    EXPECT_FALSE(AES256DecryptWithKey(byGuid->left(16), kGuidKey));
    EXPECT_FALSE(AES256DecryptWithKey(*byGuid + "x", kGuidKey));
    EXPECT_FALSE(AES256DecryptWithKey({}, kGuidKey));
    // Deterministic bad padding: the last plain block decrypts to 0x00 bytes.
    const QByteArray zeroKey(32, '\0');
    const QByteArray zeroIv(16, '\0');
    QByteArray crafted = zeroIv + *platform::aes256CbcEncrypt(zeroKey, zeroIv, QByteArray(16, '\0'));
    crafted.chop(16);
    EXPECT_FALSE(AES256DecryptWithKey(crafted, ""));
    EXPECT_EQ(AES256EncryptWithKey("", kGuidKey)->size(), 32);
}

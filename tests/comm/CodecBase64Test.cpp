#include "comm/recordset/VEKBase64.h"

#include <gtest/gtest.h>

namespace {

std::optional<QByteArray> decode(const QByteArray& in)
{
    return VEKBase64::decodeData(in);
}
std::optional<QByteArray> webDecode(const QByteArray& in)
{
    return VEKBase64::webSafeDecodeData(in);
}

} // namespace

TEST(CodecBase64, EncodesRfcVectorsInBothAlphabets)
{
    const char* plain[] = { "f", "fo", "foo", "foob", "fooba", "foobar" };
    const char* padded[] = { "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy" };
    const char* bare[] = { "Zg", "Zm8", "Zm9v", "Zm9vYg", "Zm9vYmE", "Zm9vYmFy" };
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(VEKBase64::encodeData(plain[i]), QByteArray(padded[i]));
        EXPECT_EQ(VEKBase64::stringByEncodingData(plain[i]), QString(padded[i]));
        EXPECT_EQ(VEKBase64::webSafeEncodeData(plain[i], true), QByteArray(padded[i]));
        EXPECT_EQ(VEKBase64::webSafeEncodeData(plain[i], false), QByteArray(bare[i]));
        EXPECT_EQ(VEKBase64::stringByWebSafeEncodingData(plain[i], false), QString(bare[i]));
        EXPECT_EQ(decode(padded[i]), QByteArray(plain[i]));
        EXPECT_EQ(webDecode(padded[i]), QByteArray(plain[i]));
        EXPECT_EQ(webDecode(bare[i]), QByteArray(plain[i]));
    }
    // The two alphabets differ in their last two characters.
    const QByteArray high("\xFB\xFF", 2);
    EXPECT_EQ(VEKBase64::encodeData(high), "+/8=");
    EXPECT_EQ(VEKBase64::webSafeEncodeData(high, true), "-_8=");
    EXPECT_EQ(VEKBase64::webSafeEncodeBytes(high.constData(), 2, false), "-_8");
    EXPECT_EQ(decode("+/8="), high);
    EXPECT_EQ(webDecode("-_8"), high);
    EXPECT_FALSE(decode("-_8="));
    EXPECT_FALSE(webDecode("+/8="));
    EXPECT_FALSE(webDecode("-/8="));

    // Empty input encodes to nothing.
    EXPECT_FALSE(VEKBase64::encodeData(""));
    EXPECT_FALSE(VEKBase64::encodeBytes(nullptr, 3));
    EXPECT_FALSE(VEKBase64::stringByEncodingBytes("abc", 0));
    EXPECT_FALSE(VEKBase64::webSafeEncodeData("", false));
}

TEST(CodecBase64, PaddingRules)
{
    // Without padding a last group of three fails where padding is required.
    EXPECT_FALSE(decode("Zm9vYmE"));
    EXPECT_EQ(webDecode("Zm9vYmE"), "fooba");
    EXPECT_FALSE(decode("Zm9vYg"));
    // A single dangling character fails with or without padding required.
    EXPECT_FALSE(webDecode("Zm9vY"));
    EXPECT_FALSE(decode("Zm9vY"));
    // Two characters need "=="; one "=" then the end fails.
    EXPECT_FALSE(decode("Zg="));
    EXPECT_FALSE(webDecode("Zg="));
    EXPECT_EQ(decode("Zg=="), "f");
    EXPECT_EQ(decode("Zg= \n="), "f");
    EXPECT_FALSE(decode("Zg=x"));
    // "=" in state 0 or 1 fails.
    EXPECT_FALSE(decode("===="));
    EXPECT_FALSE(decode("Zm9v="));
    EXPECT_FALSE(decode("Z==="));
    EXPECT_FALSE(webDecode("Zm9v=="));
    // Only whitespace may follow the padding.
    EXPECT_EQ(decode("Zm8= \r\n\t"), "fo");
    EXPECT_FALSE(decode("Zm8=Zm8="));
    EXPECT_FALSE(decode("Zg===")); // a third "=" is not whitespace
    EXPECT_FALSE(decode("Zm8=a"));
    EXPECT_FALSE(decode("Zg==\x01"));
}

TEST(CodecBase64, WhitespaceZeroBytesAndTrailingBits)
{
    EXPECT_EQ(decode("Zm\n9v\tYm\r\nFy"), "foobar");
    EXPECT_EQ(decode(" \x0BZm9v\x0C"), "foo");
    EXPECT_EQ(decode("Zm9v\xA0Yg\xFF=="), "foob");
    EXPECT_EQ(decode("Zm9vYg==\xA0\xFF"), "foob");
    EXPECT_FALSE(decode("Zm9v\x80"));
    EXPECT_FALSE(decode("Zm9v\x08"));
    // Only whitespace decodes to nothing.
    EXPECT_FALSE(decode(" \n\t\xA0"));
    EXPECT_FALSE(webDecode("\r\n"));
    EXPECT_FALSE(decode(""));
    // A zero byte ends the input, also right after the padding.
    EXPECT_EQ(decode(QByteArray("Zm9v\0!!!!", 9)), "foo");
    EXPECT_EQ(decode(QByteArray("Zg==\0!!", 7)), "f");
    EXPECT_FALSE(decode(QByteArray("Zg=\0=", 5)));
    EXPECT_FALSE(decode(QByteArray("\0Zm9v", 5)));
    // Non-zero bits below the last whole byte fail, padded or not.
    EXPECT_FALSE(decode("Zh=="));
    EXPECT_FALSE(webDecode("Zh"));
    EXPECT_FALSE(decode("Zm9="));
    EXPECT_EQ(decode("Zm8="), "fo");
    EXPECT_FALSE(webDecode("Zm9"));
    // Stray characters fail.
    EXPECT_FALSE(decode("Zm9v!"));
    EXPECT_FALSE(decode("Zm.v"));
}

TEST(CodecBase64, StringAndBufferForms)
{
    EXPECT_EQ(VEKBase64::decodeString("Zm9v"), "foo");
    EXPECT_FALSE(VEKBase64::decodeString(QString::fromUtf8("Zm9v中")));
    EXPECT_FALSE(VEKBase64::decodeString(""));
    EXPECT_EQ(VEKBase64::webSafeDecodeString("-_8"), QByteArray("\xFB\xFF", 2));
    EXPECT_FALSE(VEKBase64::webSafeDecodeString(QString::fromUtf8("é")));

    char out[16];
    EXPECT_EQ(VEKBase64::baseEncode("foob", 4, out, sizeof out, VEKBase64::kStandardCharset, true), 8u);
    EXPECT_EQ(QByteArray(out, 8), "Zm9vYg==");
    EXPECT_EQ(VEKBase64::baseEncode("foob", 4, out, 6, VEKBase64::kStandardCharset, false), 6u);
    EXPECT_EQ(VEKBase64::baseEncode("foob", 4, out, 7, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseEncode("foob", 4, out, 5, VEKBase64::kStandardCharset, false), 0u);
    EXPECT_EQ(VEKBase64::baseEncode(nullptr, 4, out, sizeof out, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseEncode("foob", 0, out, sizeof out, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseEncode("foob", 4, nullptr, sizeof out, VEKBase64::kStandardCharset, true), 0u);

    EXPECT_EQ(VEKBase64::baseDecode("Zm9vYg==", 8, out, sizeof out, VEKBase64::kStandardCharset, true), 4u);
    EXPECT_EQ(QByteArray(out, 4), "foob");
    EXPECT_EQ(VEKBase64::baseDecode("Zm9vYg==", 8, out, 3, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseDecode("Zm9vYg==", 8, out, 4, VEKBase64::kStandardCharset, true), 4u);
    EXPECT_EQ(VEKBase64::baseDecode("Zm9vYg==", 0, out, sizeof out, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseDecode(nullptr, 8, out, sizeof out, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseDecode("Zm9v", 4, nullptr, 16, VEKBase64::kStandardCharset, true), 0u);
    EXPECT_EQ(VEKBase64::baseDecode("Zm9v!", 5, out, sizeof out, VEKBase64::kStandardCharset, true), 0u);

    // An alphabet that is not 64 distinct, unambiguous bytes is refused.
    QByteArray shortSet(VEKBase64::kStandardCharset);
    shortSet.chop(1);
    QByteArray duplicate(VEKBase64::kStandardCharset);
    duplicate[63] = 'A';
    QByteArray withPad(VEKBase64::kStandardCharset);
    withPad[63] = '=';
    for (const QByteArray& set : { shortSet, duplicate, withPad }) {
        EXPECT_FALSE(VEKBase64::baseEncode("foo", 3, set, true));
        EXPECT_FALSE(VEKBase64::baseDecode("Zm9v", 4, set, true));
    }

    EXPECT_EQ(VEKBase64::encodedLength(1, false), 2u);
    EXPECT_EQ(VEKBase64::encodedLength(4, false), 6u);
    EXPECT_EQ(VEKBase64::encodedLength(4, true), 8u);
    EXPECT_EQ(VEKBase64::decodeRoom(5), 6u);
    EXPECT_EQ(VEKBase64::encodedLength(SIZE_MAX, true), 0u);
}

TEST(CodecBase64, RoundTripsEveryLengthAndByte)
{
    QByteArray data;
    for (int i = 0; i < 300; ++i)
        data.append(char((i * 37 + 11) & 0xFF));
    for (qsizetype n = 1; n <= data.size(); n += 7) {
        const QByteArray chunk = data.left(n);
        EXPECT_EQ(decode(*VEKBase64::encodeData(chunk)), chunk);
        EXPECT_EQ(webDecode(*VEKBase64::webSafeEncodeData(chunk, false)), chunk);
        EXPECT_EQ(webDecode(*VEKBase64::webSafeEncodeData(chunk, true)), chunk);
        EXPECT_EQ(VEKBase64::encodeData(chunk)->size(), qsizetype(VEKBase64::encodedLength(size_t(n), true)));
    }
}

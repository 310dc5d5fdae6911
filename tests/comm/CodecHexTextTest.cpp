#include "comm/crypto/VEKCoder.h"
#include "comm/recordset/VEKHex.h"

#include <gtest/gtest.h>

TEST(CodecHex, DigitsInBothCases)
{
    const QByteArray bytes("\x0F\xA0", 2);
    EXPECT_EQ(VEKHex::dataWithData(bytes, true), "0FA0");
    EXPECT_EQ(VEKHex::dataWithData(bytes, false), "0fa0");
    EXPECT_EQ(VEKHex::dataWithByte(bytes.constData(), 2, true), "0FA0");
    EXPECT_EQ(VEKHex::stringWithData(QByteArray("\x00\x7F\xFF", 3), true), "007FFF");
    EXPECT_EQ(VEKHex::stringWithData(QByteArray("\x00\x7F\xFF", 3), false), "007fff");
    EXPECT_TRUE(VEKHex::dataWithData("", true).isEmpty());
    EXPECT_TRUE(VEKHex::dataWithByte(nullptr, 4, true).isEmpty());
    EXPECT_TRUE(VEKHex::stringWithData("", false).isEmpty());
}

TEST(CodecText, UnicodeAndGb18030Conversions)
{
    const char16_t units[] = { 0x0061, 0x0062, 0x0000, 0x0063 };
    EXPECT_EQ(VEKCoder::unistringLength(units), 2u);
    EXPECT_EQ(VEKCoder::unistringLength(nullptr), 0u);
    EXPECT_EQ(VEKCoder::unistringLength(units, 1), 1u);

    EXPECT_EQ(VEKCoder::unistringWithData(QByteArray("a\0b\0", 4)), QString("ab"));
    EXPECT_EQ(VEKCoder::unistringWithData(QByteArray("\xFF\xFE"
                                                     "a\0",
                  4)),
        QString("a"));
    EXPECT_EQ(VEKCoder::unistringWithBytes("\x2D\x4E", 2), QString::fromUtf8("中"));
    EXPECT_FALSE(VEKCoder::unistringWithData("abc")); // odd length
    EXPECT_EQ(VEKCoder::unistringWithBytes(nullptr, 0), QString());
    EXPECT_FALSE(VEKCoder::unistringWithBytes(nullptr, 2));

    EXPECT_EQ(VEKCoder::calculatedWchart("ab\0\0", 4), 2u);
    EXPECT_EQ(VEKCoder::calculatedWchart("a\0b", 3), 3u);
    EXPECT_EQ(VEKCoder::calculatedWchart("\0\0", 2), 0u);
    EXPECT_EQ(VEKCoder::calculatedWchart(nullptr, 2), 0u);

    EXPECT_EQ(VEKCoder::gbkStringWithData("\xD6\xD0\xCE\xC4"
                                          "abc"),
        QString::fromUtf8("中文abc"));
    EXPECT_EQ(VEKCoder::gbkStringWithBytes("\xD6\xD0", 2), QString::fromUtf8("中"));
    EXPECT_FALSE(VEKCoder::gbkStringWithData("\x81\x20"));
    EXPECT_EQ(VEKCoder::gbkDataFromString(QString::fromUtf8("中文")), QByteArray("\xD6\xD0\xCE\xC4"));

    EXPECT_EQ(VEKCoder::stringByHexEncodeWithUniString("ab"), "61006200");
    EXPECT_EQ(VEKCoder::stringByHexEncodeWithUniString(QString::fromUtf8("中")), "2D4E");
}

TEST(CodecText, Md5Digests)
{
    EXPECT_EQ(VEKCoder::dataWithMD5EncodeData("abc").toHex(), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(VEKCoder::dataWithMD5EncodeData("").size(), 16);
    EXPECT_EQ(VEKCoder::stringByMD5EncodeWithString("abc"), QString("900150983CD24FB0D6963F7D28E17F72"));
    EXPECT_EQ(VEKCoder::stringByMD5EncodeWithString(""), QString("D41D8CD98F00B204E9800998ECF8427E"));
    // Non-ASCII text has no digest, rather than the digest of no bytes.
    EXPECT_FALSE(VEKCoder::stringByMD5EncodeWithString(QString::fromUtf8("密码")));
}

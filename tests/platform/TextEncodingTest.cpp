#include "platform/KeyedArchive.h"
#include "platform/TextEncoding.h"

#include <gtest/gtest.h>

using platform::TextEncoding;

TEST(TextEncoding, RoundTripsChineseInEveryUnicodeEncoding)
{
    const QString text = QString::fromUtf8("中文abc€𠀀");
    for (TextEncoding e : { TextEncoding::GB18030, TextEncoding::UTF16LE, TextEncoding::UTF8 }) {
        const auto bytes = platform::encodeText(text, e);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(platform::decodeText(*bytes, e), text);
    }
    EXPECT_EQ(platform::encodeText(QString::fromUtf8("中"), TextEncoding::GB18030)->toHex(), "d6d0");
    EXPECT_EQ(platform::encodeText("ab", TextEncoding::UTF16LE)->toHex(), "61006200");
}

TEST(TextEncoding, RefusesInvalidInput)
{
    EXPECT_FALSE(platform::decodeText("\x81\x20", TextEncoding::GB18030));
    EXPECT_FALSE(platform::decodeText("\xC3", TextEncoding::UTF8));
    EXPECT_FALSE(platform::decodeText("\x80", TextEncoding::ASCII));
    EXPECT_FALSE(platform::decodeText("abc", TextEncoding::UTF16LE));
    EXPECT_FALSE(platform::encodeText(QString::fromUtf8("é"), TextEncoding::ASCII));
    EXPECT_EQ(platform::decodeTextLossy("a\x80", TextEncoding::ASCII), QString::fromUtf8("a\uFFFD"));
}

TEST(KeyedArchive, RoundTripsValuesAndRefusesGarbage)
{
    platform::KeyedArchiver coder;
    coder.encodeBytes("b", QByteArray("\x00\x01", 2));
    coder.encodeString("s", QString::fromUtf8("中"));
    coder.encodeInt("i", -5);
    const QByteArray data = coder.archivedData("Thing");
    const auto back = platform::KeyedUnarchiver::fromData(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->className(), "Thing");
    EXPECT_EQ(back->decodeBytes("b"), QByteArray("\x00\x01", 2));
    EXPECT_EQ(back->decodeString("s"), QString::fromUtf8("中"));
    EXPECT_EQ(back->decodeInt("i"), -5);
    EXPECT_FALSE(back->decodeInt("s"));
    EXPECT_FALSE(platform::KeyedUnarchiver::fromData("LKA1\xff"));
    EXPECT_FALSE(platform::KeyedUnarchiver::fromData(data.left(data.size() - 3)));
    EXPECT_EQ(platform::unarchiveObject(data), nullptr); // class not registered
}

TEST(TextEncoding, AnErrorDoesNotStickToTheNextDecode)
{
    EXPECT_FALSE(platform::decodeText("\x81\x20", TextEncoding::GB18030));
    EXPECT_EQ(platform::decodeText("abc", TextEncoding::GB18030), QString("abc"));
    EXPECT_FALSE(platform::decodeText("\xC3", TextEncoding::UTF8));
    EXPECT_EQ(platform::decodeText("ok", TextEncoding::UTF8), QString("ok"));
    // The converter replaced after an error still reports the next one.
    for (int round = 0; round < 3; ++round) {
        EXPECT_FALSE(platform::decodeText("\x81\x20", TextEncoding::GB18030)) << round;
        EXPECT_FALSE(platform::decodeText("\xC3", TextEncoding::UTF8)) << round;
    }
}

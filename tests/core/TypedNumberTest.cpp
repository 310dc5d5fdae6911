// The one reader of what a customer types into a number or code field.
#include "core/TypedNumber.h"

#include <gtest/gtest.h>

TEST(TypedNumber, ReadsWhatAnInputMethodTypesAsItsAsciiFormsAndSaysWhetherItCanBeSent)
{
    const struct {
        const char16_t* typed;
        const char16_t* read;
        bool sendable;
    } cases[] = {
        { u"１０００", u"1000", true }, { u"１２．５０", u"12.50", true },
        { u"０６００００", u"060000", true }, { u"1２3", u"123", true }, // a mode switched halfway
        { u"\u3000１００\u3000", u"100", true }, { u" 600000\t", u"600000", true },
        { u"1\u30000", u"1 0", true }, // inside the value it stays a space
        { u"\u3000\u3000", u"", true }, // nothing typed at all
        { u"", u"", true }, { u"１０００元", u"1000元", false },
        { u"－５", u"－5", false }, // no full-width sign is read as one
        { u"＋５", u"＋5", false }, { u"１，０００", u"1，000", false },
        { u"1,000", u"1,000", true }, // the server judges its form
        { u"-5", u"-5", true }, { u"12&x=1", u"12&x=1", false }, { u"a=b", u"a=b", false },
        { u"12\u00a0", u"12", true }, { u"1\x7f", u"1\x7f", false },
        { u"ＡＢ", u"ＡＢ", false }, // full-width letters are not read
    };
    for (const auto& c : cases) {
        const QString typed = QString::fromUtf16(c.typed);
        SCOPED_TRACE(typed.toStdString());
        EXPECT_EQ(typednumber::read(typed), QString::fromUtf16(c.read));
        EXPECT_EQ(typednumber::canBeSent(typednumber::read(typed)), c.sendable);
    }
    // Only the white space around the value goes.
    EXPECT_EQ(typednumber::asciiForms(u"\u3000９．５\u3000"), QStringLiteral(" 9.5 "));
    EXPECT_EQ(typednumber::refusal(QStringLiteral("委托数量")), QStringLiteral("委托数量含有不能发送的字符"));
}

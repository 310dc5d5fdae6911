// The one reader of what a customer types into a number or code field.
#include "core/TypedNumber.h"

#include <gtest/gtest.h>

TEST(TypedNumber, ReadsFullWidthFormsAsAsciiAndTellsWhatCanBeSent)
{
    const struct {
        const char16_t* typed;
        const char16_t* read;
        bool sendable;
    } cases[] = {
        { u"１２．５０", u"12.50", true },
        { u"\u3000１0０\t", u"100", true }, // a mode switched halfway, white space around
        { u"1\u30000", u"1 0", true }, // inside the value it stays a space
        { u"\u3000\u3000", u"", true }, // nothing typed
        { u"１０００元", u"1000元", false },
        { u"－５", u"－5", false }, // no full-width sign is read as one
        { u"12&x=1", u"12&x=1", false },
        { u"1\x7f", u"1\x7f", false },
    };
    for (const auto& c : cases) {
        const QString typed = QString::fromUtf16(c.typed);
        SCOPED_TRACE(typed.toStdString());
        EXPECT_EQ(typednumber::read(typed), QString::fromUtf16(c.read));
        EXPECT_EQ(typednumber::canBeSent(typednumber::read(typed)), c.sendable);
    }
    EXPECT_EQ(typednumber::refusal(QStringLiteral("委托数量")), QStringLiteral("委托数量含有不能发送的字符"));
    // What a form says before any request: a character first, then a length.
    const QString field = QStringLiteral("委托数量");
    EXPECT_EQ(typednumber::problem(field, QString(255, u'1')), std::nullopt);
    EXPECT_EQ(typednumber::problem(field, QString(256, u'1')), QStringLiteral("委托数量过长：最多255个字符"));
    EXPECT_EQ(typednumber::problem(field, QString(256, u'=')), QStringLiteral("委托数量含有不能发送的字符"));
}

#include "shell/formatters/CodeFormatter.h"
#include "shell/formatters/FloatNumberFormatter.h"
#include "shell/formatters/NumberCharFormatter.h"
#include "shell/formatters/NumberFormatter.h"
#include "shell/formatters/StockCodeFormatter.h"
#include "shell/windows/PasswordFormatter.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

enum class Kind { NumberChar10, StockCode, Number, Number8, Float, Code };

struct Case {
    Kind kind;
    QString text;
    bool accepted;
};

std::unique_ptr<InputFormatter> make(Kind kind)
{
    switch (kind) {
    case Kind::NumberChar10: {
        auto f = std::make_unique<NumberCharFormatter>();
        f->setMaxLength(10);
        return f;
    }
    case Kind::StockCode:
        return std::make_unique<StockCodeFormatter>();
    case Kind::Number:
        return std::make_unique<NumberFormatter>();
    case Kind::Number8: {
        auto f = std::make_unique<NumberFormatter>();
        f->setMaxLength(8);
        return f;
    }
    case Kind::Float:
        return std::make_unique<FloatNumberFormatter>();
    case Kind::Code:
        return std::make_unique<CodeFormatter>(6);
    }
    return nullptr;
}

} // namespace

TEST(Formatters, AcceptOrRefuseWholeEdits)
{
    const Case cases[] = {
        { Kind::NumberChar10, "", true },
        { Kind::NumberChar10, "aZ09bY18cX", true },
        { Kind::NumberChar10, "aZ09bY18cX7", false },
        { Kind::NumberChar10, "ab cd", false },
        { Kind::NumberChar10, "ab_cd", false },
        { Kind::NumberChar10, QString::fromUtf8("abé"), false },
        { Kind::NumberChar10, QString::fromUtf8("账户"), false },
        { Kind::NumberChar10, "-12", false },
        { Kind::StockCode, "", true },
        { Kind::StockCode, "600000", true },
        { Kind::StockCode, "6000001", false },
        { Kind::StockCode, "60000a", false },
        { Kind::StockCode, "600.0", false },
        { Kind::Number, "", true },
        { Kind::Number, "0123456789", true },
        { Kind::Number, "1234****5", true },
        { Kind::Number, "abcd****x", true },
        { Kind::Number, "****5", true },
        { Kind::Number, "1234****56", false },
        { Kind::Number, "12a4", false },
        { Kind::Number, "***5", false },
        { Kind::Number, "-5", false },
        { Kind::Number8, "12345678", true },
        { Kind::Number8, "123456789", false },
        { Kind::Number8, "1234****5", false },
        { Kind::Float, "", true },
        { Kind::Float, "12.50", true },
        { Kind::Float, "1.", true },
        { Kind::Float, "0.001", true },
        { Kind::Float, "12345678901234567890", true },
        { Kind::Float, ".5", false },
        { Kind::Float, "1.2.3", false },
        { Kind::Float, "-1.5", false },
        { Kind::Float, "+1", false },
        { Kind::Float, "1e5", false },
        { Kind::Float, "1,5", false },
    };
    for (const Case& c : cases) {
        auto formatter = make(c.kind);
        EXPECT_EQ(formatter->isPartialStringValid(c.text), c.accepted)
            << int(c.kind) << " '" << c.text.toStdString() << "'";
        QString edited = c.text;
        int pos = int(edited.size());
        EXPECT_EQ(
            formatter->validate(edited, pos), c.accepted ? QValidator::Acceptable : QValidator::Invalid);
        EXPECT_EQ(edited, c.text);
    }
}

TEST(Formatters, AdmittedKeysAndObjectValues)
{
    NumberCharFormatter numberChar;
    NumberFormatter number;
    FloatNumberFormatter floating;
    EXPECT_TRUE(numberChar.keyForPartialString(u'q') && numberChar.keyForPartialString(u'Q'));
    EXPECT_FALSE(numberChar.keyForPartialString(u'.'));
    EXPECT_FALSE(number.keyForPartialString(u'*'));
    EXPECT_TRUE(floating.keyForPartialString(u'.'));
    EXPECT_FALSE(floating.keyForPartialString(u'-'));
    EXPECT_EQ(InputFormatter::stringForObjectValue(QVariant(QStringLiteral("12"))), QStringLiteral("12"));
    EXPECT_FALSE(InputFormatter::stringForObjectValue(QVariant(12)).has_value());
}

// A number or code field converts what an input method in full-width mode
// types instead of refusing it; a password's field takes keys as they are.
TEST(Formatters, ConvertFullWidthKeystrokesOfNumberAndCodeFields)
{
    const struct {
        Kind kind;
        const char16_t* typed;
        const char16_t* shown; // nullptr: refused
        int cursor; // after, typed where "|" stands, else at the end
    } cases[] = {
        { Kind::StockCode, u"\u3000６０００００", u"600000", 6 },
        { Kind::Float, u"９．５０", u"9.50", 4 },
        { Kind::Float, u"－１", nullptr, 0 },
        { Kind::NumberChar10, u"ＡＢ", nullptr, 0 },
        { Kind::Code, u"００００１A\u3000", u"00001A", 6 },
        { Kind::Code, u"0000012", nullptr, 0 },
        { Kind::Float, u"\u3000\u3000９|．５", u"9.5", 1 }, // a paste before the point
    };
    for (const auto& c : cases) {
        QString edited = QString::fromUtf16(c.typed);
        SCOPED_TRACE(edited.toStdString());
        int pos = int(edited.indexOf(u'|'));
        if (pos < 0)
            pos = int(edited.size());
        else
            edited.remove(pos, 1);
        EXPECT_EQ(
            make(c.kind)->validate(edited, pos), c.shown ? QValidator::Acceptable : QValidator::Invalid);
        if (c.shown)
            EXPECT_EQ(std::make_pair(edited, pos), std::make_pair(QString::fromUtf16(c.shown), c.cursor));
    }
    QString password = QStringLiteral("１２３");
    int pos = 3;
    EXPECT_EQ(PasswordFormatter().validate(password, pos), QValidator::Invalid);
}

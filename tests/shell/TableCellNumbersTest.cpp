// Numbers in reply cells are read once, locale-free, with "%" signs passed
// over for the alignment: the cases where that reading could differ.
#include "shell/tables/TableCellRules.h"

#include "quotes/requests/ServerNumber.h"

#include <gtest/gtest.h>

using namespace tablecells;

TEST(TableCellNumbers, LeadingNumbersReadLocaleFree)
{
    const struct {
        const char16_t* text;
        double value;
    } cases[] = {
        { u"+1.5", 1.5 },
        { u" 12.5元", 12.5 },
        { u"-.5", -0.5 },
        { u"1,5", 1.0 }, // a comma is never a decimal point
        { u"5e", 5.0 },
        { u"1e-3x", 0.001 },
        { u"2E+2", 200.0 },
        { u"1e400", 0.0 }, // out of a double's range: no number
        { u"--1", 0.0 },
        { u"", 0.0 },
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(leadingDouble(c.text), c.value) << QString::fromUtf16(c.text).toStdString();
    // Longer than any stack buffer: 1 and 79 zeros.
    const QString longNumber = QStringLiteral("1") + QString(79, u'0');
    EXPECT_DOUBLE_EQ(leadingDouble(longNumber), 1e79);
}

TEST(TableCellNumbers, PercentSignsArePassedOverWhereverTheyStand)
{
    const ColumnRule price = columnRuleFor(QStringLiteral("成交价格"));
    const struct {
        const char16_t* text;
        bool right;
    } cases[] = {
        { u"%12.5", true },
        { u" 3.2% ", true },
        { u"5%3", true },
        { u"1%e%5", true },
        { u"%", false },
        { u"%%", false },
        { u"12%a", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(bool(alignmentFor(price, c.text) & Qt::AlignRight), c.right)
            << QString::fromUtf16(c.text).toStdString();
    const ColumnRule ratio = columnRuleFor(QStringLiteral("盈亏比例(%)"));
    EXPECT_EQ(toneFor(ratio, u"-0.5%"), CellTone::Loss);
    EXPECT_EQ(toneFor(ratio, u"0.000%"), CellTone::Neutral);
    EXPECT_EQ(toneFor(ratio, u"+7%"), CellTone::Profit);
}

// One reading decides what a cell shows and how, for the plain decimals most
// cells are and for everything else: the same as the rules applied one by
// one to the text shown.
TEST(TableCellNumbers, ACellsLookIsTheRulesAppliedOneByOne)
{
    const char* titles[] = { "委托数量", "成交价格", "参考成本价", "参考盈亏", "成交金额", "委托编号", "买卖标志" };
    const char16_t* values[] = { u"100", u"-10", u"-0", u"-0.00", u"-0.001", u"+5", u"007", u".5", u"5.",
        u"-.5", u"123456789012345678", u"-123456789012345678", u"1234567890123456789",
        u"9223372036854775807", u"9223372036854775808", u"-9223372036854775809", u"1e999", u"-1e3", u" 7 ",
        u"3.2%", u"-3.2%", u"abc", u"证券买入", u"卖出", u"", u"-", u"+", u"1.2.3", u"12a", u"-0.0000001" };
    for (const char* title : titles) {
        const ColumnRule rule = columnRuleFor(QString::fromUtf8(title));
        const servernumber::Field field = servernumber::Field::SignedAmount;
        for (const char16_t* value : values) {
            const QString text = QString::fromUtf16(value);
            // A column of numbers shows a number ("%" signs aside) or nothing.
            const QString bare = QString(text).remove(u'%');
            const bool asItCame = text.isEmpty()
                || (rule.number
                        ? isPureFloat(bare) && servernumber::isPlausible(bare, field)
                        : rule.centredTitle || !isPureFloat(text) || servernumber::isPlausible(text, field));
            const QString shown = asItCame ? text : QStringLiteral("--");
            const std::string where = std::string(title) + " " + text.toStdString();
            EXPECT_EQ(showsAsItCame(rule, text), asItCame) << where;
            EXPECT_EQ(shownCell(rule, text), shown) << where;
            const CellLook look = lookOf(rule, text);
            EXPECT_EQ(look.asItCame, asItCame) << where;
            EXPECT_EQ(look.tone, toneFor(rule, shown)) << where;
            EXPECT_EQ(look.rightAligned, bool(alignmentFor(rule, shown) & Qt::AlignRight)) << where;
        }
    }
}

// Numbers in reply cells are read once, locale-free, with "%" signs passed
// over for the alignment: the cases where that reading could differ.
#include "shell/tables/TableCellRules.h"

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

TEST(TableCellNumbers, SignsBeyondADoubleShowInTheText)
{
    const ColumnRule profit = columnRuleFor(QStringLiteral("参考盈亏"));
    const QString zeros(400, u'0');
    const struct {
        QString text;
        CellTone tone;
    } cases[] = {
        { "1" + zeros + "e-10", CellTone::Profit }, // too large, with a negative exponent
        { "-0." + zeros + "1e5", CellTone::Neutral }, // too small, with a positive exponent
        { "-0.0001e310", CellTone::Loss }, // within range
        { "0." + zeros + "1e402", CellTone::Profit }, // within range, past the stack buffer
        { "+99999999999999999999999e-99999999999999999999999", CellTone::Neutral },
        { "-1e99999999999999999999999", CellTone::Loss }, { "0e999", CellTone::Neutral },
        { "1e+400", CellTone::Profit }, { "-1e+400", CellTone::Loss }, // a signed exponent
        { "0.0000010000000000000000001", CellTone::Neutral }, // one millionth as a double
    };
    for (const auto& c : cases)
        EXPECT_EQ(toneFor(profit, c.text), c.tone) << c.text.toStdString();
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

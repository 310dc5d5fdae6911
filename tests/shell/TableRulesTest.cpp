#include "shell/tables/TableCellRules.h"
#include "shell/tables/TableWidths.h"

#include <gtest/gtest.h>

using namespace tablecells;

TEST(TableCellRules, TonesBySignAndDirection)
{
    struct Case {
        const char* title;
        const char* value;
        CellTone tone;
    };
    const Case cases[] = {
        { "参考盈亏", "0.0000005", CellTone::Neutral },
        { "参考盈亏", "-0.0000005", CellTone::Neutral },
        { "参考盈亏", "-0.01", CellTone::Loss },
        { "参考盈亏", "0.00001", CellTone::Profit },
        { "盈亏比例(%)", "-0.0005%", CellTone::Loss },
        { "参考盈亏", "-1e", CellTone::Loss },
        { "参考盈亏", "1520.30", CellTone::Profit },
        { "盈亏比例(%)", "-2.5%", CellTone::Loss },
        { "盈亏比例(%)", "--", CellTone::Neutral },
        { "参考盈亏", "-1e400", CellTone::Loss },
        { "参考盈亏", "1e400", CellTone::Profit },
        { "盈亏比例(%)", " +1E999%", CellTone::Profit },
        { "参考盈亏", "-1e-400", CellTone::Neutral },
        { "买卖标志", "证券买入", CellTone::Buy },
        { "买卖标志", "卖出", CellTone::Sell },
        { "买卖标志", "撤单", CellTone::Neutral },
        { "成交金额", "-300", CellTone::Neutral },
        { "备注", "买入", CellTone::Neutral },
    };
    for (const Case& c : cases)
        EXPECT_EQ(toneFor(columnRuleFor(QString::fromUtf8(c.title)), QString::fromUtf8(c.value)), c.tone)
            << c.title << " " << c.value;
}

TEST(TableCellRules, NumbersRightAlignedOutsideCodeAndDateColumns)
{
    struct Case {
        const char* title;
        const char* value;
        bool right;
    };
    const Case cases[] = {
        { "成交价格", "12.50", true },
        { "成交数量", " 100 ", true },
        { "盈亏比例(%)", "3.2%", true },
        { "成交价格", "12.5元", false },
        { "成交价格", "1,200", false },
        { "成交日期", "20240105", false },
        { "证券代码", "600000", false },
        { "合同序号", "17", false },
        { "证券名称", "平安银行", false },
        { "成交价格", "-1e3", true },
        { "成交价格", "1e", false },
        { "成交价格", "2E+", false },
    };
    for (const Case& c : cases) {
        const Qt::Alignment a
            = alignmentFor(columnRuleFor(QString::fromUtf8(c.title)), QString::fromUtf8(c.value));
        EXPECT_EQ(bool(a & Qt::AlignRight), c.right) << c.title << " " << c.value;
    }
}

TEST(TableCellRules, PureNumberScans)
{
    struct Case {
        const char* text;
        bool isInt;
        bool isFloat;
    };
    const Case cases[] = {
        { "12", true, true },
        { "-7", true, true },
        { " 7 ", true, true },
        { "1.5", false, true },
        { ".5", false, true },
        { "1e5", false, true },
        { "1.2.3", false, false },
        { "-", false, false },
        { "", false, false },
        { "12a", false, false },
        { "1e", false, false },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(isPureInt(QString::fromUtf8(c.text)), c.isInt) << c.text;
        EXPECT_EQ(isPureFloat(QString::fromUtf8(c.text)), c.isFloat) << c.text;
    }
    EXPECT_DOUBLE_EQ(leadingDouble(u"-2.5%"), -2.5);
    EXPECT_DOUBLE_EQ(leadingDouble(u"abc"), 0.0);
}

TEST(TableCellRules, MasksTheFourCharactersBeforeTheLastTwo)
{
    EXPECT_EQ(maskAccount("123456789012"), "123456****12");
    EXPECT_EQ(maskAccount("123456"), "****56");
    EXPECT_EQ(maskAccount("12345"), "12345");
    EXPECT_TRUE(columnRuleFor("资金账号").maskable);
    EXPECT_FALSE(columnRuleFor("证券代码").maskable);
}

TEST(TableWidths, CommonColumnsShareTheBounds)
{
    // Five narrow titles in 1000 points: four equal shares, the last takes the rest.
    EXPECT_EQ(tablewidths::commonColumnWidths({ 60, 60, 60, 60, 60 }, 1000),
        (std::vector<int> { 193, 193, 193, 193, 213 }));
    // A title wider than the share keeps its width; the last column gets the share.
    EXPECT_EQ(tablewidths::commonColumnWidths({ 300, 80 }, 400), (std::vector<int> { 300, 184 }));
    EXPECT_EQ(tablewidths::commonColumnWidths({ 50 }, 400), (std::vector<int> { 397 }));
}

TEST(TableWidths, LastCommonColumnNeverNarrowerThanItsTitle)
{
    // Forty columns: the leftover arithmetic alone would give the last one -10.
    const std::vector<int> widths = tablewidths::commonColumnWidths(std::vector<int>(40, 30), 1670);
    EXPECT_EQ(widths.front(), 40);
    EXPECT_EQ(widths.back(), 30);
}

TEST(TableWidths, CheckColumnsStayBetweenTheCheckWidthAnd300)
{
    EXPECT_EQ(tablewidths::checkColumnWidths(40, { 60, 60, 60 }, 700), (std::vector<int> { 219, 219, 182 }));
    EXPECT_EQ(tablewidths::checkColumnWidths(40, { 60, 60, 60 }, 2000), (std::vector<int> { 300, 300, 300 }));
    EXPECT_EQ(tablewidths::checkColumnWidths(40, { 20, 400 }, 100), (std::vector<int> { 40, 300 }));
}

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
        { "参考盈亏", "1520.30", CellTone::Profit },
        { "盈亏比例(%)", "-2.5%", CellTone::Loss },
        { "盈亏比例(%)", "--", CellTone::Neutral },
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
    };
    for (const Case& c : cases) {
        const Qt::Alignment a
            = alignmentFor(columnRuleFor(QString::fromUtf8(c.title)), QString::fromUtf8(c.value));
        EXPECT_EQ(bool(a & Qt::AlignRight), c.right) << c.title << " " << c.value;
    }
}

// Values show as the server sent them, negative and fractional ones in every
// column; "--" stands only for a text that is no number.
TEST(TableCellRules, ValuesShowAsSentAndOnlyNoNumberAsDashes)
{
    struct Case {
        const char* title;
        const char* value;
        const char* shown;
    };
    const Case cases[] = {
        { "委托数量", "100", "100" },
        { "委托数量", "-10", "-10" },
        { "委托数量", "9223372036854775807", "9223372036854775807" },
        { "委托数量", "9223372036854775808", "--" },
        { "委托价格", "1e999", "--" },
        { "委托价格", "-0.01", "-0.01" },
        { "最新价", "-10", "-10" },
        { "股份余额", "-10", "-10" },
        { "发生数量", "-100", "-100" }, // a sell in the statements
        { "成交数量", "-100", "-100" },
        { "份额余额", "100.50", "100.50" }, // fund shares are fractional
        { "参考成本价", "-3.25", "-3.25" }, // gains past the cost
        { "参考盈亏", "-1520.30", "-1520.30" },
        { "参考盈亏", "1e999", "--" },
        { "成交金额", "-300", "-300" }, // a flow may go either way
        { "委托数量", "abc", "--" }, // a column of numbers shows no other text
        { "委托编号", "-1", "-1" }, // numbers of codes and dates are texts
        { "备注", "", "" },
        // Texts that are no number, in the columns of numbers the titles name.
        { "委托数量", "NaN", "--" },
        { "委托数量", "inf", "--" },
        { "委托数量", "", "" }, // nothing shown
        { "成交数量", "100.5", "100.5" },
        { "成交数量", "100.00", "100.00" },
        { "股份余额", "1e2", "1e2" },
        { "股份余额", "1.5e0", "1.5e0" },
        { "股份余额", "-1e999", "--" }, // out of range
        { "参考市值", "abc", "--" },
        { "资金余额", "nan", "--" },
        { "可用资金", "-5", "-5" },
        { "总资产", "Infinity", "--" },
        { "单位净值", "1.0235", "1.0235" },
        { "手续费", "5元", "--" },
        { "盈亏比例(%)", "3.2%", "3.2%" },
        { "盈亏比例(%)", "abc%", "--" },
        // Titles that name a kind or a way of a number hold texts.
        { "价格类型", "限价", "限价" },
        { "收费方式", "前端", "前端" },
        { "币种", "人民币", "人民币" },
        { "证券名称", "abc", "abc" },
        { "资金账号", "abc", "abc" },
    };
    for (const Case& c : cases)
        EXPECT_EQ(shownCell(columnRuleFor(QString::fromUtf8(c.title)), QString::fromUtf8(c.value)),
            QString::fromUtf8(c.shown))
            << c.title << " " << c.value;
}

// A column the reply declares numeric holds numbers whatever its title.
TEST(TableCellRules, DeclaredNumberColumnsShowOnlyNumbers)
{
    using D = DeclaredValue;
    struct Case {
        const char* title;
        D declared;
        const char* value;
        const char* shown;
    };
    const Case cases[] = {
        { "备注", D::Real, "nan", "--" },
        { "备注", D::Real, "-inf", "--" },
        { "备注", D::Real, "-1.500", "-1.500" },
        { "备注", D::Text, "nan", "nan" },
        { "标志", D::Integer, "-3", "-3" },
        { "委托编号", D::Real, "inf", "--" }, // centred, still a number
        { "委托编号", D::Integer, "12", "12" },
        { "成交价格", D::Real, "-0.500", "-0.500" },
        { "委托数量", D::Real, "100.000", "100.000" },
        { "委托数量", D::Real, "100.500", "100.500" },
        { "说明", D::Integer, "7.5", "7.5" },
        { "说明", D::Integer, "abc", "--" },
    };
    for (const Case& c : cases) {
        const ColumnRule rule = columnRuleFor(QString::fromUtf8(c.title), c.declared);
        EXPECT_TRUE(rule.number || c.declared == D::Text) << c.title;
        EXPECT_EQ(shownCell(rule, QString::fromUtf8(c.value)), QString::fromUtf8(c.shown))
            << c.title << " " << int(c.declared) << " " << c.value;
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

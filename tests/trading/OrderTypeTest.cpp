#include "core/TradeDataModel.h"
#include "trading/DMOrderType.h"

#include <gtest/gtest.h>

namespace {

QStringList titles(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* t : list)
        out << QString::fromUtf8(t);
    return out;
}

} // namespace

TEST(OrderType, TitleListsByMarketAndClass)
{
    const QStringList market0 = titles(
        { "限价委托", "对方最优价格委托", "本方最优价格委托", "即时成交剩余撤销委托", "五档即时成交剩余撤销", "全额成交或撤销委托" });
    const QStringList market1 = titles({ "限价委托", "五档即时成交剩余撤销", "五档即时成交剩余转限" });
    const QStringList kcStock
        = titles({ "限价委托", "对方最优价格委托", "本方最优价格委托", "五档即时成交剩余撤销", "五档即时成交剩余转限" });
    const QStringList limitOnly = titles({ "限价委托" });

    const struct {
        const char* market;
        const char* classId;
        QStringList expected;
    } cases[] = {
        { "0", "1", market0 },
        { "0", "116", market0 },
        { "1", "1", market1 },
        { "1", "1010", market1 },
        { "1", "116", kcStock },
        { "1", "210", kcStock },
        { "3", "1", limitOnly },
        { "5", "108", limitOnly },
        { "x", "1", market0 }, // not a number: market 0
        // By their values, as number fields send them.
        { "1.000", "116.000", kcStock },
        { "1.0", "1", market1 },
        { "3.000", "1", limitOnly },
    };
    for (const auto& c : cases)
        EXPECT_EQ(DMOrderType::getTitles(QString::fromLatin1(c.market), QString::fromLatin1(c.classId)), c.expected)
            << c.market << "/" << c.classId;

    // The KC board's after-hours title is appended whatever the market.
    QStringList withAfter = market0;
    withAfter << QStringLiteral("盘后定价买入");
    EXPECT_EQ(DMOrderType::getTitles("0", "110", true), withAfter);
    QStringList kcSell = kcStock;
    kcSell << QStringLiteral("盘后定价卖出");
    EXPECT_EQ(DMOrderType::getTitles("1", "116", false), kcSell);
    EXPECT_EQ(DMOrderType::getTitles("1", "", true), market1);
    EXPECT_EQ(DMOrderType::getTitlesForReverseRepo(), limitOnly);
    EXPECT_EQ(DMOrderType::getTitlesForHGTSell(), titles({ "增强限价卖出", "竞价限价卖出" }));
}

TEST(OrderType, TitleToNumberAndWireFlag)
{
    const struct {
        const char* market;
        const char* classId;
        const char* title;
        qint32 buy;
        qint32 sell;
    } cases[] = {
        { "0", "1", "限价委托", 0, 100 },
        { "0", "1", "对方最优价格委托", 1, 101 },
        { "0", "1", "全额成交或撤销委托", 5, 105 },
        { "1", "1", "全额成交或撤销委托", 0, 100 },
        { "0", "1", "五档即时成交剩余撤销", 4, 104 },
        { "1", "1", "五档即时成交剩余撤销", 4, 104 },
        { "1", "116", "五档即时成交剩余撤销", 4, 104 },
        { "1", "1", "五档即时成交剩余转限", 6, 106 },
        { "1", "116", "对方最优价格委托", 8, 108 },
        { "1", "116", "本方最优价格委托", 7, 107 },
        { "1", "1010", "对方最优价格委托", 0, 100 },
        { "0", "110", "盘后定价买入", 9, 100 },
        { "1", "116", "盘后定价卖出", 0, 109 },
        { "5", "108", "盘后定价买入", 0, 100 },
        { "5", "108", "增强限价买入", 300, 100 },
        { "5", "108", "竞价限价买入", 301, 100 },
        { "5", "108", "增强限价卖出", 0, 302 },
        { "5", "108", "竞价限价卖出", 0, 303 },
        { "5", "108", "零股卖出", 0, 304 },
        { "3", "1", "对方最优价格委托", 0, 100 },
    };
    for (const auto& c : cases) {
        const QString market = QString::fromLatin1(c.market);
        const QString classId = QString::fromLatin1(c.classId);
        const QString title = QString::fromUtf8(c.title);
        EXPECT_EQ(DMOrderType::getOderTypeFlagOfBuy(market, classId, title), c.buy) << c.market << c.title;
        EXPECT_EQ(DMOrderType::getOderTypeFlagOfSale(market, classId, title), c.sell) << c.market << c.title;
    }
    // The KC numbers 7 and 8 travel as the flags of 2 and 1.
    EXPECT_EQ(TradeDataModel::getTradeBSFlag(8), TradeDataModel::getTradeBSFlag(1));
    EXPECT_EQ(TradeDataModel::getTradeBSFlag(107), QStringLiteral("g"));
    EXPECT_EQ(TradeDataModel::getTradeBSFlag(304), QStringLiteral("4S"));
}

TEST(OrderType, PricedTypesAndPriceLimit)
{
    for (qint32 type : { 0, 9, 100, 109, 200 })
        EXPECT_TRUE(DMOrderType::isPricedType(type)) << type;
    for (qint32 type : { 1, 4, 8, 101, 106, 300 })
        EXPECT_FALSE(DMOrderType::isPricedType(type)) << type;
    for (const char* id : { "116", "210" })
        EXPECT_TRUE(DMOrderType::supportPriceLimit(QString::fromLatin1(id)));
    for (const char* id : { "110", "1010", "1", "", "abc" })
        EXPECT_FALSE(DMOrderType::supportPriceLimit(QString::fromLatin1(id))) << id;
    for (const char* id : { "116", "210", "1010", "110", "211", "1012", "1013" })
        EXPECT_TRUE(DMOrderType::isKCBoard(QString::fromLatin1(id)));
    EXPECT_FALSE(DMOrderType::isKCBoard("108"));
}

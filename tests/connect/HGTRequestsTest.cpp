#include "connect/HGTRequestManager.h"
#include "trading/DMOrderType.h"
#include "trading/security/Security.h"

#include <gtest/gtest.h>

namespace {

constexpr char kPrefix[] = "custid=1&fundid=2";

QString body(const std::optional<CSPacket>& packet)
{
    return packet ? packet->data() : QStringLiteral("<refused>");
}

} // namespace

TEST(HGTOrderTypes, EveryTitleOnBothSidesGivesItsTypeAndFlag)
{
    const struct {
        const char* title;
        bool sale;
        qint32 type;
        const char* flag;
    } cases[] = {
        { "增强限价买入", false, 300, "3B" },
        { "竞价限价买入", false, 301, "2B" },
        { "增强限价卖出", true, 302, "3S" },
        { "竞价限价卖出", true, 303, "2S" },
        { "零股卖出", true, 304, "4S" },
        { "限价委托", false, 0, "B" },
        { "零股卖出", false, 0, "B" }, // a sell title on the buy side is no Stock Connect type
        { "增强限价买入", true, 100, "S" },
    };
    for (const auto& c : cases) {
        const QString title = QString::fromUtf8(c.title);
        const qint32 type = c.sale ? DMOrderType::getOderTypeFlagOfSale(QStringLiteral("5"), {}, title)
                                   : DMOrderType::getOderTypeFlagOfBuy(QStringLiteral("5"), {}, title);
        EXPECT_EQ(type, c.type) << c.title;
        tagHGTMakeOrder order;
        order.commonUrl = kPrefix;
        order.quantity = "500";
        order.marketCode = "5";
        order.stockCode = "00700";
        order.price = "368.400";
        order.securityId = "A101000001";
        order.orderType = type;
        EXPECT_EQ(body(DMHGTMakeOrder::makePacket(order)),
            QStringLiteral("custid=1&fundid=2&secuid=A101000001&price=368.400&qty=500&stkcode=00700&bsflag=%1"
                           "&market=5")
                .arg(QLatin1String(c.flag)))
            << c.title;
    }
    EXPECT_EQ(DMOrderType::getTitlesForHGTBuy(), QStringList({ "增强限价买入", "竞价限价买入" }));
    EXPECT_EQ(DMOrderType::getTitlesForHGTSell(), QStringList({ "增强限价卖出", "竞价限价卖出" }));
}

TEST(HGTRequests, BodiesByteForByte)
{
    tagHGTQueryCombInfo comb;
    comb.commonUrl = kPrefix;
    comb.stockCode = "00700";
    comb.securityId = "A101000001";
    comb.price = "368.400";
    comb.bsFlag = 1;
    comb.orderType = 304;
    EXPECT_EQ(body(DMHGTQueryCombInfo::makePacket(comb)),
        "custid=1&fundid=2&stkcode=00700&secuid=A101000001&bsflag=4S&price=368.400");

    tagHGTQueryQuantityOfUnit unit;
    unit.commonUrl = kPrefix;
    unit.stockCode = "01299";
    EXPECT_EQ(body(DMHGTQueryQuantityOfUnit::makePacket(unit)), "custid=1&fundid=2&stkcode=01299");

    tagHGTQueryExchangeRate rate;
    rate.commonUrl = kPrefix;
    EXPECT_EQ(body(DMHGTQueryExchangeRate::makePacket(rate)), "custid=1&fundid=2");

    tagHGTPrice5 price5;
    price5.stockCode = "00700";
    const std::optional<CSPacket> quote = DMHGTQueryPrice5Info::makePacket(price5);
    EXPECT_EQ(body(quote), "code=00700.5");
    ASSERT_TRUE(quote);
    EXPECT_EQ(quote->mFunc(), 31000u);
    EXPECT_EQ(quote->sFunc(), 1003u);

    // A value that would add a field never reaches the wire.
    tagHGTMakeOrder order;
    order.commonUrl = kPrefix;
    order.stockCode = "00700&market=1";
    order.orderType = 300;
    EXPECT_FALSE(DMHGTMakeOrder::makePacket(order));
}

TEST(HGTRequests, HandlesKeepOrdersApartAndCoverTheWholeQuery)
{
    static_assert(!DMHGTMakeOrder::info.mergesEqualRequests()); // orders never merge with a waiting one
    static_assert(DMHGTQueryCombInfo::info.handle == HandleRule::Fields);

    // A board-lot and an odd-lot sell of one code at one price differ only in
    // the order type; another account differs only in the account.
    auto handle = [&](qint64 orderType, const char* account) {
        tagRequestParam param;
        tagHGTQueryCombInfo& p = param.value.emplace<tagHGTQueryCombInfo>();
        p.commonUrl = kPrefix;
        p.stockCode = "00700";
        p.securityId = account;
        p.price = "368.400";
        p.bsFlag = 1;
        p.orderType = orderType;
        return requestparam::handleText(QString(), param);
    };
    EXPECT_NE(handle(302, "A1"), handle(304, "A1"));
    EXPECT_NE(handle(302, "A1"), handle(302, "A2"));
    EXPECT_EQ(handle(302, "A1"), handle(302, "A1"));
}

TEST(HGTRequests, OrderFieldsGoAsTypedUnlessTheyCouldRewriteTheBody)
{
    const struct {
        const char* code;
        const char* price;
        const char* quantity;
        bool sent;
    } cases[] = {
        { "00700", "368.4", "100", true },
        { "0070a", "368.4001", "1.5", true },
        { "007000", "-1", "0", true },
        { "00700", "1e3", "-100", true },
        { "00700", "", "", true },
        { "00700", "368.4", "100&qty=9", false },
        { "00700", "368.4=1", "100", false },
        { "00700", "368.4", "100\n", false },
        { "00700\t", "368.4", "100", false },
    };
    for (const auto& c : cases) {
        tagHGTMakeOrder order;
        order.commonUrl = kPrefix;
        order.marketCode = "5";
        order.securityId = "A1";
        order.stockCode = c.code;
        order.price = c.price;
        order.quantity = c.quantity;
        order.orderType = 300;
        const QString expected = c.sent
            ? QStringLiteral("custid=1&fundid=2&secuid=A1&price=%1&qty=%2&stkcode=%3&bsflag=3B&market=5")
                  .arg(QLatin1String(c.price), QLatin1String(c.quantity), QLatin1String(c.code))
            : QStringLiteral("<refused>");
        EXPECT_EQ(body(DMHGTMakeOrder::makePacket(order)), expected)
            << c.code << " " << c.price << " " << c.quantity;
    }
}

TEST(HGTSecurity, HStockCountsTheVolumeAxisInShares)
{
    auto day = [](qint64 turnover) {
        RDOStock stock;
        stock.code = QStringLiteral("00700");
        RDOTimesharingInfo minute;
        minute.quoteTime = QStringLiteral("931");
        minute.recentDealPrice = 368.4;
        minute.averageDealPrice = 368.4;
        minute.totalTurnover = turnover;
        minute.dealVolume = 1;
        stock.timesharingInfoArray = std::vector { minute };
        return stock;
    };
    const struct {
        qint64 turnover;
        const char* hMax;
        const char* hHalf;
        const char* max;
        const char* half;
    } cases[] = {
        { 123'456, "12.35万", "6.17万", "1234", "617" },
        { 150'000'000'000'000, "150万亿", "75万亿", "2万亿", "1万亿" },
    };
    for (const auto& c : cases) {
        HStock h;
        h.setTimesharingInfo(day(c.turnover));
        Stock s;
        s.setTimesharingInfo(day(c.turnover));
        EXPECT_EQ(h.maxVolumeText(), QString::fromUtf8(c.hMax)) << c.turnover;
        EXPECT_EQ(h.halfOfMaxVolumeText(), QString::fromUtf8(c.hHalf)) << c.turnover;
        EXPECT_EQ(s.maxVolumeText(), QString::fromUtf8(c.max)) << c.turnover;
        EXPECT_EQ(s.halfOfMaxVolumeText(), QString::fromUtf8(c.half)) << c.turnover;
    }
}

#include "comm/crypto/AesEncryption.h"
#include "platform/ChinaClock.h"
#include "tools/broker-sim/Table.h"
#include "trading/requests/CommonQueryDataModels.h"
#include "trading/requests/OrderDataModels.h"
#include "trading/requests/TradeQueryDataModels.h"

#include <gtest/gtest.h>

using brokersim::Table;

namespace {

VEKTCRS recordSet(const Table& table)
{
    std::optional<VEKTCRS> set = brokersim::toRecordSet(table, 2);
    EXPECT_TRUE(set.has_value());
    return set.value_or(VEKTCRS(2));
}

std::string stored(const char* plainLink)
{
    return AesEncryption::encodeStringWithAES(QString::fromUtf8(plainLink), QString::fromLatin1(kMenuLinkKey))
        .value()
        .toStdString();
}

template <class Model, class Param> QString bodyOf(const Param& p)
{
    const std::optional<CSPacket> packet = Model::makePacket(p);
    return packet ? QStringLiteral("%1/%2 %3").arg(packet->mFunc()).arg(packet->sFunc()).arg(packet->data())
                  : QStringLiteral("refused");
}

} // namespace

TEST(TradeBodies, OrdersCancelsAndMaximumQuantityByteForByte)
{
    platform::ChinaClock::Override clock(QDateTime::fromSecsSinceEpoch(1764900000, Qt::UTC));
    tagTradeOrderParam order;
    order.commonUrl = "custid=1&fundid=9";
    order.securityId = "A1";
    order.price = "10.50";
    order.quantity = "100";
    order.stockCode = "600000";
    order.orderType = 200;
    order.marketCode = "1";
    EXPECT_EQ(bodyOf<DMTradeDepute>(order),
        "500/6 custid=1&fundid=9&secuid=A1&price=10.50&qty=100&stkcode=600000&bsflag=7&market=1"
        "&ordertime=1764900000&reqversion=1");
    order.orderType = 0;
    EXPECT_EQ(bodyOf<DMPurchaseNewStock>(order),
        "500/6 custid=1&fundid=9&secuid=A1&price=10.50&qty=100&stkcode=600000&bsflag=B&market=1"
        "&ordertime=1764900000");
    // A value that would add a pair is refused, not sent.
    order.quantity = "100&qty=9";
    EXPECT_EQ(bodyOf<DMTradeDepute>(order), "refused");

    tagMaxQuantityParam max;
    max.commonUrl = "custid=1";
    max.securityId = "A1";
    max.stockCode = "580026";
    max.orderType = 200;
    max.marketCode = "1";
    EXPECT_EQ(
        bodyOf<DMQueryMaxQuantityInfo>(max), "500/4 custid=1&secuid=A1&stkcode=580026&bsflag=S&market=1");
    max.price = "10.50";
    EXPECT_EQ(bodyOf<DMQueryMaxQuantityInfo>(max),
        "500/4 custid=1&secuid=A1&price=10.50&stkcode=580026&bsflag=S&market=1");

    tagCancelOrderParam cancel;
    cancel.commonUrl = "custid=1&fundid=9";
    cancel.fundId = "9";
    cancel.ordersNo = "100001";
    EXPECT_EQ(bodyOf<DMRequestCancelOrder>(cancel), "500/7 custid=1&fundid=9&fundid=9&ordersno=100001");
    static_assert(
        !DMTradeDepute::info.mergesEqualRequests() && !DMPurchaseNewStock::info.mergesEqualRequests());
    static_assert(
        DMRequestCancelOrder::info.changesState() && DMRequestCancelOrder::info.mergesEqualRequests());
    static_assert(!DMQueryMaxQuantityInfo::info.changesState());
}

TEST(TradeBodies, TheFundidPairIsReplacedByItsExactKey)
{
    const struct {
        const char* prefix;
        const char* fundId;
        const char* money; // the money body (type 0)
        const char* list; // the capital-account list body
    } cases[] = {
        { "custid=1&fundid=123&ticket=t", "456", "custid=1&fundid=456&ticket=t&moneytype=0",
            "custid=1&fundid=456&ticket=t" },
        // The last pair, and a key that merely contains "fundid".
        { "custid=1&xfundid=123&fundid=123", "456", "custid=1&xfundid=123&fundid=456&moneytype=0",
            "custid=1&xfundid=123&fundid=456" },
        { "custid=1&fundid=123&ticket=t", "", "custid=1&fundid=123&ticket=t&moneytype=0",
            "custid=1&fundid=&ticket=t" },
        { "custid=1&fundid=123", "4&x=1", "refused", "refused" },
    };
    for (const auto& c : cases) {
        tagMoneyInfoParam money;
        money.commonUrl = c.prefix;
        money.fundId = c.fundId;
        money.moneyType = "0";
        EXPECT_EQ(bodyOf<DMQueryMoney>(money).section(QLatin1Char(' '), -1), QString::fromLatin1(c.money))
            << c.prefix;
        tagFundInfoListParam list;
        list.commonUrl = c.prefix;
        list.fundId = c.fundId;
        EXPECT_EQ(bodyOf<DMFundInfoList>(list).section(QLatin1Char(' '), -1), QString::fromLatin1(c.list))
            << c.prefix;
    }
}

TEST(TradeBodies, MenuLinksNameFunctionPairsAndHiddenFields)
{
    platform::ChinaClock::Override clock(platform::ChinaClock::at(2026, 12, 2, 10, 0));
    tagCommonQueryParam common;
    common.commonUrl = "custid=1";
    common.link = stored(
        "tradequery?tc_mfuncno=500&TC_SFUNCNO=8&sign=~bsflag&a=b=c&position=poststr&unlist=|market|");
    EXPECT_EQ(bodyOf<DMCommonQuery>(common), "500/8 custid=1&sign=~bsflag&position=poststr");
    const std::optional<CommonQueryLink> link = CommonQueryLink::parse(common.link);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->filterKeys, QStringList { "market" });

    // A link without function numbers, or one that does not decipher, sends nothing.
    for (const std::string& bad : { stored("tradequery?sign=1"), std::string("not-a-link"), std::string(),
             stored("tradequery?tc_mfuncno=500&tc_sfuncno="), stored("tradequery?tc_mfuncno=500x&tc_sfuncno=8"),
             stored("tradequery?tc_mfuncno=500&tc_sfuncno=8.5") }) {
        common.link = bad;
        QString why;
        EXPECT_FALSE(CommonQueryLink::parse(bad, &why));
        EXPECT_FALSE(why.isEmpty());
    }

    tagCommonHistoricQueryParam historic;
    historic.commonUrl = "custid=1";
    historic.link
        = stored("tradehisquery?tc_mfuncno=500&tc_sfuncno=9&p=t:tc_mfuncno=500&tc_sfuncno=10&p=h&unlist=|x|");
    const struct {
        const char* begin;
        const char* end;
        const char* body;
    } ranges[] = {
        { "20261202", "20261202", "500/9 custid=1&strdate=20261202&enddate=20261202&p=t" },
        { "20261201", "20261202", "500/10 custid=1&strdate=20261201&enddate=20261202&p=h" },
        { "20261201", "20261201", "500/10 custid=1&strdate=20261201&enddate=20261201&p=h" },
    };
    for (const auto& r : ranges) {
        historic.beginDate = r.begin;
        historic.endDate = r.end;
        EXPECT_EQ(bodyOf<DMCommonHistoricQueryEx>(historic), QString::fromLatin1(r.body));
    }
    historic.link = stored("hisquery?tc_mfuncno=500&tc_sfuncno=126&position=poststr");
    EXPECT_EQ(bodyOf<DMCommonHistoricQuery>(historic),
        "500/126 custid=1&strdate=20261201&enddate=20261201&position=poststr");

    // Links with nothing to pass on: the body ends with "&", byte for byte.
    historic.link = stored("hisquery?tc_mfuncno=500&tc_sfuncno=126&unlist=|x|");
    EXPECT_EQ(bodyOf<DMCommonHistoricQuery>(historic), "500/126 custid=1&strdate=20261201&enddate=20261201&");
    historic.link = stored("tradehisquery?tc_mfuncno=500&tc_sfuncno=9:tc_mfuncno=500&tc_sfuncno=10");
    EXPECT_EQ(
        bodyOf<DMCommonHistoricQueryEx>(historic), "500/10 custid=1&strdate=20261201&enddate=20261201&");
    common.link = stored("tradequery?tc_mfuncno=500&tc_sfuncno=8");
    EXPECT_EQ(bodyOf<DMCommonQuery>(common), "500/8 custid=1&");
}

TEST(TradeTables, TitlesFromDescriptionsInternalFieldsHiddenValuesByColumn)
{
    Table orders;
    orders.described("poststr", "定位串")
        .described("stkcode", "证券代码")
        .described("orderstatus", "状态代码")
        .described("~orderstatus", "委托状态")
        .described("bsflag", "买卖标志")
        .described("~bsflag", "买卖")
        .described("cancelflag", "撤单标志")
        .described("market", "市场")
        .described("hq_market", "行情市场")
        .described("ordersno", "编号")
        .described("orderqty", "数量")
        .described("matchqty", "数量")
        .row({ "p1", "600000", "8", "已成", "B", "买入", "0", "1", "1", "100001", "100", "40" })
        .row({ "p2", "000001", "2", "已报", "S", "卖出", "0", "0", "0", "100002", "200", "0" });
    const VEKTCRS set = recordSet(orders);
    DTOrdersOfTodayTable table(&set, { "ordersno" });
    EXPECT_EQ(table.tableColomnTitles(), (QStringList { "证券代码", "委托状态", "买卖", "数量", "数量" }));
    // Duplicate titles keep their own values.
    EXPECT_EQ(table.arrayController()->arrangedObjects()[0],
        (QStringList { "600000", "已成", "买入", "100", "40" }));
    ASSERT_EQ(table.contentObjectArray().size(), 2);
    EXPECT_EQ(table.recordAt(1).number, "100002");
    EXPECT_EQ(table.recordAt(1).orderSNo, "100002");
    EXPECT_EQ(table.recordAt(1).bsFlag, "S");
    table.updateTable(&set); // the fixed fields only
    EXPECT_EQ(table.tableColomnTitles().size(), 6);

    Table positions;
    positions.described("stkcode", "代码").described("stkname", "名称").described("fundid", "资金账户");
    positions.described("market", "市场").described("poststr", "定位").described("hq_market", "行情");
    for (const char* market : { "1", "5", "5", "0" })
        positions.row({ QString::fromLatin1(market) + "00", "名", "9", market, "p", "x" });
    const VEKTCRS held = recordSet(positions);
    DTStockPositionTable stocks(&held);
    EXPECT_EQ(stocks.tableColomnTitles(), (QStringList { "代码", "名称" }));
    stocks.removeContentObjectWithMarketCode(5);
    ASSERT_EQ(stocks.arrayController()->count(), 2);
    EXPECT_EQ(stocks.arrayController()->arrangedObjects()[1][0], "000");
    EXPECT_EQ(stocks.recordAt(1).marketCode, "0");
    EXPECT_EQ(stocks.recordAt(0).stockNameAndCode, "100  名");

    Table funds;
    funds.described("fundid", "资金账户").described("fundseq", "序号").described("bankname", "银行");
    funds.row({ "1", "0", "工商银行" }).row({ "2", "1", "中国银行" }).row({ "3", "", "" });
    const VEKTCRS accounts = recordSet(funds);
    DTFundInfoTable fundTable(&accounts);
    EXPECT_EQ(fundTable.tableColomnTitles(), (QStringList { "资金账户", "银行" }));
    EXPECT_EQ(fundTable.valueForTitle(0, "银行"), "工商银行(主)");
    EXPECT_EQ(fundTable.valueForTitle(1, "银行"), "中国银行");
    EXPECT_EQ(fundTable.valueForTitle(2, "银行"), "");
    EXPECT_EQ(fundTable.recordAt(1).fundSeq, "1");
}

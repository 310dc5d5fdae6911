#include "connect/HGTRequestManager.h"
#include "login/OwedReads.h"
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "tools/broker-sim/HKFunctions.h"
#include "trading/requests/SecurityInfoDataModels.h"

#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

QUOTETEST_CATCHER(OrderCatcher, IHGTMakeOrder, hgtMakeOrder)
QUOTETEST_CATCHER(CombCatcher, IHGTQueryCombInfo, hgtQueryCombInfo)
QUOTETEST_CATCHER(UnitCatcher, IHGTQueryQuantityOfUnit, hgtQueryQuantityOfUnit)
QUOTETEST_CATCHER(RateCatcher, IHGTQueryExchangeRate, hgtQueryExchangeRate)
QUOTETEST_CATCHER(PositionCatcher, IPositionInfoDelegate, queryPositionInfo)

// A page that orders and shows positions, which it reads again while the
// account owes them.
struct OrderPage : OrderCatcher, PositionCatcher, IOwedReader {
    OrderPage() { OwedReads::getInstance()->join(this, { owedfigure::kPositions }); }
    QStringList readOwed(const QStringList& owed) override
    {
        HGTRequestManager::getInstance()->requestHGTPosition(this);
        return owed;
    }
};

constexpr char kSecuid[] = "A101000001";

class HGTOrderFlowTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        registerConnectDataModels();
        account = logIn();
    }
    void TearDown() override
    {
        HGTRequestManager::resetInstance();
        MarketFixture::TearDown();
    }
    HGTRequestManager& hgt() { return *HGTRequestManager::getInstance(); }

    QString priceAt(const char* code, qint64 steps)
    {
        const brokersim::MarketSecurity& s = *market().security(QString::fromLatin1(code));
        return brokersim::Market::ticksText(
            brokersim::Market::lastTicks(s) + steps * brokersim::Market::priceStepTicks(s), 3);
    }
    OrderCatcher order(bool buy, const char* title, const QString& price, const char* quantity,
        const char* code = "00700")
    {
        OrderCatcher c;
        QString problem;
        const QString title16 = QString::fromUtf8(title);
        const QString handle = buy
            ? hgt().requestHGTTradeBuy(&c, QString::fromLatin1(kSecuid), QString::fromLatin1(code), price,
                  QString::fromLatin1(quantity), title16, {}, &problem)
            : hgt().requestHGTTradeSale(&c, QString::fromLatin1(kSecuid), QString::fromLatin1(code), price,
                  QString::fromLatin1(quantity), title16, {}, &problem);
        EXPECT_FALSE(handle.isEmpty()) << problem.toStdString();
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c;
    }
    HGTCombInfo comb(bool sale, const char* title, const QString& price)
    {
        CombCatcher c;
        EXPECT_FALSE(hgt().requestHGTQueryCombInfo(&c, QStringLiteral("00700"), QString::fromLatin1(kSecuid),
                              sale, price, QString::fromUtf8(title))
                         .isEmpty());
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c.results.empty() ? HGTCombInfo {} : c.results[0];
    }
    qint64 held(const char* code)
    {
        PositionCatcher c;
        hgt().requestHGTPosition(&c);
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        const DTTablePtr table = c.results.empty() ? nullptr : c.results[0];
        for (qsizetype row = 0; table && row < table->arrayController()->count(); ++row) {
            if (table->valueForTitle(row, QStringLiteral("证券代码")) == QLatin1String(code))
                return table->valueForTitle(row, QStringLiteral("股份余额")).toLongLong();
        }
        return 0;
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    std::shared_ptr<Account> account;
};

} // namespace

TEST_F(HGTOrderFlowTest, QuoteLotStepAndRatesOfAHongKongStock)
{
    QuoteCatcher quote;
    ASSERT_FALSE(hgt().requestHGTQueryPrice5(&quote, QStringLiteral("00700")).isEmpty());
    ASSERT_TRUE(spinUntil([&] { return quote.done(); }));
    ASSERT_EQ(quote.results.size(), 1u) << quote.errors[0].domain.toStdString();
    EXPECT_EQ(quote.results[0].identifycode, "00700");
    EXPECT_EQ(quote.results[0].classId, "108");
    // The quote code without any account prefix.
    const QList<brokersim::Request> asked = sim.receivedOf(brokersim::kQuote5LevelExFunction);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].rawBody.startsWith("code=00700.6&exclude=2&IgnoreDataConv=1&field=")) << asked[0].rawBody.toStdString();

    TimesharingCatcher day;
    ASSERT_FALSE(hgt().requestHGTTimesharing(&day, QStringLiteral("00700")).isEmpty());
    ASSERT_TRUE(spinUntil([&] { return day.done(); }));
    ASSERT_EQ(day.results.size(), 1u);
    EXPECT_EQ(day.results[0].timesharingInfoArray.value_or(std::vector<RDOTimesharingInfo> {}).size(),
        size_t(market().security(QStringLiteral("00700"))->cursor + 1));

    const struct {
        const char* code;
        const char* lot;
    } lots[] = { { "00700", "100" }, { "01299", "200" }, { "00981", "500" } };
    for (const auto& l : lots) {
        UnitCatcher unit;
        hgt().requestHGTQueryQuantityOfUnit(&unit, QString::fromLatin1(l.code));
        ASSERT_TRUE(spinUntil([&] { return unit.done(); }));
        ASSERT_EQ(unit.results.size(), 1u) << l.code;
        EXPECT_EQ(unit.results[0], l.lot);
    }

    // Two asks while the first waits: one request, both told, one handle.
    RateCatcher first;
    RateCatcher second;
    const QString h1 = hgt().requestHGTQueryExchangeRate(&first);
    const QString h2 = hgt().requestHGTQueryExchangeRate(&second);
    EXPECT_EQ(h1, h2);
    ASSERT_TRUE(spinUntil([&] { return first.done() && second.done(); }));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKExchangeRateFunction), 1);
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_EQ(second.results[0].buyRate, "0.920000");
    EXPECT_EQ(second.results[0].saleRate, "0.880000");

    // The step follows the spread table at the price asked.
    EXPECT_EQ(comb(false, "增强限价买入", QStringLiteral("368.400")).minPriceOfStep, "0.200");
    EXPECT_EQ(comb(false, "增强限价买入", QStringLiteral("520.000")).minPriceOfStep, "0.500");
}

TEST_F(HGTOrderFlowTest, BoardLotAndOddLotSellsHaveTheirOwnMaximum)
{
    const QString price = priceAt("00700", 0);
    EXPECT_EQ(comb(true, "增强限价卖出", price).maxTradeQuantity, "1000");
    EXPECT_EQ(comb(true, "", price).maxTradeQuantity, "50"); // no title: the odd-lot sell
    const QList<brokersim::Request> asked = sim.receivedOf(brokersim::kHKCombInfoFunction);
    ASSERT_EQ(asked.size(), 2);
    EXPECT_TRUE(asked[1].rawBody.endsWith(
        QStringLiteral("&stkcode=00700&secuid=A101000001&bsflag=4S&price=%1").arg(price).toLatin1()));
    const qint64 buyable = comb(false, "增强限价买入", price).maxTradeQuantity.toLongLong();
    EXPECT_GT(buyable, 0);
    EXPECT_EQ(buyable % 100, 0);
}

TEST_F(HGTOrderFlowTest, OrdersFillRestAndAreRefusedWithTheServersMessage)
{
    EXPECT_EQ(held("00700"), 1050);
    const OrderCatcher bought = order(true, "增强限价买入", priceAt("00700", 3), "200");
    ASSERT_EQ(bought.results.size(), 1u) << bought.errors[0].domain.toStdString();
    EXPECT_FALSE(bought.results[0].isEmpty());
    EXPECT_EQ(held("00700"), 1250);
    EXPECT_EQ(order(false, "零股卖出", priceAt("00700", -3), "50").errors.size(), 0u);
    EXPECT_EQ(order(false, "增强限价卖出", priceAt("00700", -3), "200").errors.size(), 0u);
    EXPECT_EQ(held("00700"), 1000);

    // Far from the market the order rests: a number, no shares yet.
    const OrderCatcher resting = order(true, "竞价限价买入", priceAt("01299", -20), "400", "01299");
    ASSERT_EQ(resting.results.size(), 1u);
    EXPECT_EQ(held("01299"), 0);
    ASSERT_FALSE(brokersim::hkDesk(sim)->orders().isEmpty());
    EXPECT_FALSE(brokersim::hkDesk(sim)->orders().back().filled);

    // Two equal orders are two orders.
    const OrderCatcher a = order(true, "增强限价买入", priceAt("00700", 3), "100");
    const OrderCatcher b = order(true, "增强限价买入", priceAt("00700", 3), "100");
    ASSERT_EQ(a.results.size() + b.results.size(), 2u);
    EXPECT_NE(a.results[0], b.results[0]);

    const struct {
        bool buy;
        const char* title;
        QString price;
        const char* quantity;
        const char* message;
    } refused[] = {
        { true, "增强限价买入", priceAt("00700", 0).chopped(1) + QLatin1Char('1'), "100", "委托价格不符合港股价位表" },
        { true, "增强限价买入", priceAt("00700", 0), "150", "委托数量必须是100股的整数倍" },
        { false, "零股卖出", priceAt("00700", 0), "100", "零股卖出数量必须少于一手(100股)" },
        { false, "增强限价卖出", priceAt("00700", 0), "5000", "可用股份不足" },
        { true, "增强限价买入", priceAt("00700", 0), "9999900", "可用资金不足" },
    };
    for (const auto& r : refused) {
        const OrderCatcher c = order(r.buy, r.title, r.price, r.quantity);
        ASSERT_EQ(c.errors.size(), 1u) << r.message;
        EXPECT_EQ(c.errors[0].domain, QString::fromUtf8(r.message));
    }
}

TEST_F(HGTOrderFlowTest, AWithheldOrderEndsInOutcomeUnknownAndPositionsAreReadAgain)
{
    sim.withholdNext(brokersim::kHKOrderFunction);
    OrderPage page;
    ASSERT_FALSE(hgt()
                     .requestHGTTradeBuy(&page, QString::fromLatin1(kSecuid), QStringLiteral("00700"),
                         priceAt("00700", 3), QStringLiteral("100"), QStringLiteral("增强限价买入"))
                     .isEmpty());
    // The time-out runs out once the server holds the order, whatever the
    // load: the connection reports it as its own timer would.
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kHKOrderFunction) == 1; }));
    EXPECT_FALSE(page.OrderCatcher::done());
    const std::shared_ptr<CSNetwork> trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    ASSERT_NE(trade->connection(), nullptr);
    trade->connectionSendPacketsTimeout(
        *trade->connection(), { quint64(sim.receivedOf(brokersim::kHKOrderFunction)[0].packetId) });
    ASSERT_TRUE(spinUntil([&] { return page.OrderCatcher::done() && page.PositionCatcher::done(); }));
    ASSERT_EQ(page.OrderCatcher::errors.size(), 1u);
    EXPECT_EQ(page.OrderCatcher::errors[0].code, kOrderOutcomeUnknownCode);
    EXPECT_EQ(page.PositionCatcher::results.size(), 1u);
    // Never sent again.
    testsupport::spinFor(std::chrono::milliseconds(200));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKOrderFunction), 1);
}

TEST_F(HGTOrderFlowTest, TypedTextGoesToTheServerAsTypedAndTheServerJudgesIt)
{
    const struct {
        bool buy;
        const char* code;
        const char* price;
        const char* quantity;
        const char* message;
    } cases[] = {
        { true, "700", "368.4", "100", "证券代码不存在" },
        { false, "00700", "368.4", "0", "委托数量错误" },
        { true, "00700", "368.4001", "100", "委托价格错误" },
        { true, "00700", "1e3", "100", "委托价格错误" },
        { true, "00700", "368.4", "1.5", "委托数量错误" },
        { false, "00700", "-1", "50", "委托价格错误" },
    };
    for (const auto& c : cases) {
        const OrderCatcher caught = order(
            c.buy, c.buy ? "增强限价买入" : "零股卖出", QString::fromLatin1(c.price), c.quantity, c.code);
        ASSERT_EQ(caught.errors.size(), 1u) << c.code << " " << c.price << " " << c.quantity;
        EXPECT_EQ(caught.errors[0].domain, QString::fromUtf8(c.message));
        const brokersim::Request sent = sim.receivedOf(brokersim::kHKOrderFunction).back();
        EXPECT_EQ(sent.valueOr(QStringLiteral("stkcode")), QLatin1String(c.code));
        EXPECT_EQ(sent.valueOr(QStringLiteral("price")), QLatin1String(c.price));
        EXPECT_EQ(sent.valueOr(QStringLiteral("qty")), QLatin1String(c.quantity));
    }
    const qsizetype sent = sim.receivedCount(brokersim::kHKOrderFunction);
    EXPECT_EQ(sent, qsizetype(std::size(cases)));

    // What could rewrite the body never goes out: the observer hears why.
    for (const char* quantity : { "100&qty=9", "100=", "100\n" }) {
        OrderCatcher c;
        hgt().requestHGTTradeBuy(&c, QString::fromLatin1(kSecuid), QStringLiteral("00700"),
            QStringLiteral("368.4"), QString::fromLatin1(quantity), QStringLiteral("增强限价买入"));
        ASSERT_TRUE(spinUntil([&] { return c.done(); }));
        ASSERT_EQ(c.errors.size(), 1u) << quantity;
        EXPECT_EQ(c.errors[0].code, DataModel::kRefusedRequestCode);
    }
    EXPECT_EQ(sim.receivedCount(brokersim::kHKOrderFunction), sent);
}

#include "comm/crypto/AesEncryption.h"
#include "comm/request/CSNetwork.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "login/OwedReads.h"
#include "platform/ChinaClock.h"
#include "platform/NotificationCenter.h"
#include "quotes/QuoteTestRig.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/orders/OrderManager.h"
#include "trading/query/CommonQueryManager.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/security/StockManager.h"

#include <functional>
#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

QUOTETEST_CATCHER(TradeCatcher, ITradeStockDelegate, tradeStock)
QUOTETEST_CATCHER(CancelCatcher, ICancelOrderDelegate, cancelOrder)
QUOTETEST_CATCHER(MaxCatcher, IMaxQuantityInfoDelegate, queryMaxQuantityInfo)
QUOTETEST_CATCHER(MoneyCatcher, IMoneyInfoDelegate, queryMoneyInfo)
QUOTETEST_CATCHER(PositionCatcher, IPositionInfoDelegate, queryPositionInfo)
QUOTETEST_CATCHER(OrdersCatcher, IOrdersOfTodayDelegate, queryOrdersOfTodayList)
QUOTETEST_CATCHER(FundListCatcher, IFundInfoListDelegate, fundInfoList)
QUOTETEST_CATCHER(DistributionCatcher, IQueryDistributionDelegate, queryDistribution)
QUOTETEST_CATCHER(HistoricCatcher, ICommonHistoricQueryDelegate, commonHistoricQuery)

// A page that places orders and shows today's orders and positions, which it
// reads again while the account owes them.
struct TradingPage : TradeCatcher, OrdersCatcher, PositionCatcher, IOwedReader {
    TradingPage() { OwedReads::getInstance()->join(this, { owedfigure::kOrders, owedfigure::kPositions }); }
    QStringList readOwed(const QStringList& owed) override
    {
        QueryInfoManager::getInstance()->requestOrdersOfToday(this);
        QueryInfoManager::getInstance()->requestPositionInfo(this, 0);
        return owed;
    }
};

class OrderFlowTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        account = logIn();
    }
    void TearDown() override
    {
        OrderManager::resetInstance();
        QueryInfoManager::resetInstance();
        CommonQueryManager::resetInstance();
        MarketFixture::TearDown();
    }

    std::unique_ptr<Security> security(const char* code)
    {
        const brokersim::MarketSecurity* s = market().security(QString::fromLatin1(code));
        auto made = StockManager::makeSecurity(s->classId.toInt());
        made->code = s->code;
        made->marketType = brokersim::Market::tradeMarket(*s);
        return made;
    }
    QString price(const char* code, qint64 ticks)
    {
        return brokersim::Market::ticksText(ticks, market().security(QString::fromLatin1(code))->precision);
    }
    qint64 last(const char* code)
    {
        return brokersim::Market::lastTicks(*market().security(QString::fromLatin1(code)));
    }
    QString secuid(const char* market)
    {
        for (const RDOSecurityInfo& info : account->secuidInfoArray())
            if (QString::number(info.marketCode) == QLatin1String(market))
                return info.securityId;
        return QString::fromLatin1(QLatin1String(market) == QLatin1String("1") ? "A101000001" : "0101000001");
    }

    // Places one order and waits for its answer.
    TradeCatcher order(const char* code, qint32 tradeType, const QString& price, const QString& quantity)
    {
        const std::unique_ptr<Security> s = security(code);
        TradeCatcher c;
        EXPECT_EQ(OrderManager::getInstance()->requestOrder(&c, *s, secuid(qPrintable(s->marketType)),
                      tradeType, price, quantity, QStringLiteral("限价委托")),
            QString());
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c;
    }
    QString maxQuantity(const char* code, qint32 orderType, const QString& price)
    {
        const std::unique_ptr<Security> s = security(code);
        MaxCatcher c;
        EXPECT_EQ(QueryInfoManager::getInstance()->requestMaxQuantityOfStock(
                      &c, secuid(qPrintable(s->marketType)), s->code, s->marketType, orderType, price),
            QString());
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c.results.empty() ? QString() : c.results[0];
    }
    DTTablePtr positions()
    {
        PositionCatcher c;
        QueryInfoManager::getInstance()->requestPositionInfo(&c, 0);
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c.results.empty() ? nullptr : c.results[0];
    }
    std::shared_ptr<DTOrdersOfTodayTable> ordersOfToday()
    {
        OrdersCatcher c;
        QueryInfoManager::getInstance()->requestOrdersOfToday(&c);
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c.results.empty() ? nullptr : c.results[0];
    }
    QString held(const char* code, const char* title)
    {
        const DTTablePtr table = positions();
        for (qsizetype row = 0; table && row < table->arrayController()->count(); ++row) {
            if (table->valueForTitle(row, QStringLiteral("证券代码")) == QLatin1String(code))
                return table->valueForTitle(row, QString::fromUtf8(title));
        }
        return QString();
    }
    RDOMoney money()
    {
        MoneyCatcher c;
        QueryInfoManager::getInstance()->requestMoneyInfo(&c, 0, QString());
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c.results.empty() ? RDOMoney() : c.results[0];
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    std::shared_ptr<Account> account;
};

} // namespace

TEST_F(OrderFlowTest, BuyAndSellAShareABondAndARepo)
{
    const struct {
        const char* code;
        qint32 tradeType;
        qint64 offset; // ticks from the latest price, toward filling
        const char* quantity;
    } orders[] = {
        { "600000", 0, 5, "100" },
        { "600000", 1, -5, "300" },
        { "019547", 0, 200, "10" },
        { "019547", 1, -200, "20" },
        { "204001", 1, -2, "100" },
        { "204001", 0, 2, "100" },
    };
    for (const auto& o : orders) {
        const TradeCatcher c = order(o.code, o.tradeType, price(o.code, last(o.code) + o.offset), o.quantity);
        ASSERT_EQ(c.results.size(), 1u)
            << o.code << " " << (c.errors.empty() ? "" : qPrintable(c.errors[0].domain));
        EXPECT_FALSE(c.results[0].isEmpty());
    }
    // Shares bought today are not for sale before tomorrow; bonds are.
    EXPECT_EQ(held("600000", "股份余额"), "1800");
    EXPECT_EQ(held("600000", "可用数量"), "1700");
    EXPECT_EQ(held("019547", "股份余额"), "90");
    EXPECT_EQ(held("204001", "股份余额"), "");
    // Query flag 1 asks for warrants: a warrant table (none held here).
    PositionCatcher warrants;
    QueryInfoManager::getInstance()->requestPositionInfo(&warrants, 1);
    ASSERT_TRUE(spinUntil([&] { return warrants.done(); }));
    ASSERT_EQ(warrants.results.size(), 1u);
    EXPECT_NE(std::dynamic_pointer_cast<const DTWarrantPositionTable>(warrants.results[0]), nullptr);
    EXPECT_TRUE(warrants.results[0]->tableColomnTitles().contains(QStringLiteral("行权代码")));
    EXPECT_NE(std::dynamic_pointer_cast<const DTStockPositionTable>(positions()), nullptr);

    const std::shared_ptr<DTOrdersOfTodayTable> today = ordersOfToday();
    ASSERT_EQ(today->contentObjectArray().size(), 6);
    EXPECT_EQ(today->recordAt(4).statusDesc, "已成");
    EXPECT_EQ(today->recordAt(4).bsDesc, "卖出");
}

TEST_F(OrderFlowTest, EachOrderGoesToItsRequestWithTheTypeItsTitleMeansInItsMarket)
{
    const QString tooLong(10000, QLatin1Char('1'));
    const struct {
        const char* code; // null: a new issue
        qint32 side;
        const char* title;
        QString quantity;
        const char* refusal; // null: sent
        const char* flag;
    } cases[] = {
        { nullptr, 0, "限价委托", "1000", nullptr, "B" },
        { "600000", 0, "限价委托", "100", nullptr, "B" },
        { "600000", 0, "五档即时成交剩余转限", "100", nullptr, "q" },
        { "000001", 1, "全额成交或撤销委托", "100", nullptr, "j" },
        { "688001", 0, "对方最优价格委托", "200", nullptr, "a" },
        // Titles of another market's list would go out as limit orders.
        { "000001", 0, "五档即时成交剩余转限", "100", OrderManager::kOrderTypeNotOfMarket, nullptr },
        { "600000", 1, "对方最优价格委托", "100", OrderManager::kOrderTypeNotOfMarket, nullptr },
        { "900901", 0, "盘后定价买入", "100", OrderManager::kOrderTypeNotOfMarket, nullptr },
        { "600000", 0, "限价委托", tooLong, OrderManager::kQuantityTooLong, nullptr },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.code ? c.code : "new issue") + " " + c.title);
        std::unique_ptr<Security> s;
        if (c.code) {
            s = security(c.code);
            s->classId = market().security(QString::fromLatin1(c.code))->classId; // as a quote gives it
        } else {
            s = std::make_unique<IPOStock>();
            s->code = QStringLiteral("732001");
            s->marketType = QStringLiteral("1");
        }
        sim.clearReceived();
        TradeCatcher answer;
        const QString limit = c.code ? price(c.code, last(c.code)) : QStringLiteral("12.34");
        const QString refused = OrderManager::getInstance()->requestOrder(&answer, *s,
            secuid(qPrintable(s->marketType)), c.side, limit, c.quantity, QString::fromUtf8(c.title));
        if (c.refusal) {
            EXPECT_EQ(refused, QString::fromUtf8(c.refusal));
            testsupport::spinFor(std::chrono::milliseconds(50));
            EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 0);
            EXPECT_FALSE(answer.done());
            continue;
        }
        ASSERT_EQ(refused, QString());
        ASSERT_TRUE(spinUntil([&] { return answer.done(); }));
        const QList<brokersim::Request> sent = sim.receivedOf(brokersim::kOrderFunction);
        ASSERT_EQ(sent.size(), 1);
        EXPECT_EQ(sent[0].valueOr(u"bsflag"), QString::fromLatin1(c.flag));
        EXPECT_EQ(sent[0].valueOr(u"stkcode"), s->code);
        EXPECT_EQ(sent[0].valueOr(u"market"), s->marketType);
        // Only an order that is not a subscription carries the version.
        EXPECT_EQ(sent[0].rawBody.contains("&reqversion=1"), c.code != nullptr);
    }
}

TEST_F(OrderFlowTest, RefusalsReachTheCallerWithTheServersMessage)
{
    const brokersim::MarketSecurity& s = *market().security("600000");
    const struct {
        const char* code;
        qint32 tradeType;
        QString price;
        const char* quantity;
        qint64 code_;
        const char* message;
    } cases[] = {
        { "600000", 0, price("600000", brokersim::Market::priceLimitTicks(s, true) + 1), "100", 3002,
            "委托价格超出涨跌停价格范围" },
        { "600000", 0, "10.005", "100", 3003, "委托价格不是最小价格变动单位的整数倍" },
        { "600000", 0, price("600000", last("600000")), "150", 3004, "委托数量必须是100的整数倍" },
        { "600000", 0, price("600000", last("600000")), "1000000", 3005, "可用资金不足" },
        { "000001", 1, price("000001", last("000001")), "5000", 3006, "可用股份不足" },
    };
    for (const auto& c : cases) {
        const TradeCatcher answer = order(c.code, c.tradeType, c.price, c.quantity);
        ASSERT_EQ(answer.errors.size(), 1u) << c.message;
        EXPECT_EQ(answer.errors[0].domain, QString::fromUtf8(c.message));
        EXPECT_EQ(answer.errors[0].code, c.code_);
    }
    platform::ChinaClock::Override evening(platform::ChinaClock::at(2026, 12, 2, 20, 0));
    const TradeCatcher closed = order("600000", 0, price("600000", last("600000")), "100");
    ASSERT_EQ(closed.errors.size(), 1u);
    EXPECT_EQ(closed.errors[0].domain, QStringLiteral("非交易时间，不能委托"));
    EXPECT_EQ(ordersOfToday()->contentObjectArray().size(), 0);
}

TEST_F(OrderFlowTest, CancelsMaximumQuantityMoneyAndCapitalAccountsFollowFills)
{
    const brokersim::MarketSecurity& s = *market().security("600000");
    ASSERT_GT(last("600000"), brokersim::Market::priceLimitTicks(s, false));
    const QString ten = price("600000", 1000);
    EXPECT_EQ(maxQuantity("600000", 0, ten), "8500"); // 85000.00 available
    EXPECT_EQ(maxQuantity("600000", 100, QString()), "2000");
    // Without a code nothing is sent and nobody is called.
    sim.clearReceived();
    MaxCatcher none;
    EXPECT_FALSE(
        QueryInfoManager::getInstance()
            ->requestMaxQuantityOfStock(&none, secuid("1"), std::nullopt, QStringLiteral("1"), 0, ten)
            .isEmpty());
    EXPECT_EQ(sim.receivedCount(), 0);

    // A resting buy holds its money back until it is cancelled.
    const TradeCatcher resting
        = order("600000", 0, price("600000", brokersim::Market::priceLimitTicks(s, false)), "1000");
    ASSERT_EQ(resting.results.size(), 1u);
    EXPECT_EQ(money().available, "76000.00");
    CancelCatcher cancel;
    OrderManager::getInstance()->requestCancelOrder(
        &cancel, QStringLiteral("010110000001"), resting.results[0]);
    ASSERT_TRUE(spinUntil([&] { return cancel.done(); }));
    ASSERT_EQ(cancel.results.size(), 1u);
    EXPECT_EQ(money().available, "85000.00");

    // A buy at the limit-up price fills at once at the latest price.
    const TradeCatcher filled
        = order("600000", 0, price("600000", brokersim::Market::priceLimitTicks(s, true)), "1000");
    ASSERT_EQ(filled.results.size(), 1u);
    const qint64 paid = last("600000") * 1000; // 1000 shares, in hundredths of a yuan
    const QString left = brokersim::Market::ticksText(8'500'000 - paid, 2);
    const RDOMoney after = money();
    EXPECT_EQ(after.available, left);
    EXPECT_EQ(after.balance, brokersim::Market::ticksText(10'000'000 - paid, 2));
    EXPECT_EQ(maxQuantity("600000", 0, ten), QString::number((8'500'000 - paid) / 100'000 * 100));
    CancelCatcher again;
    OrderManager::getInstance()->requestCancelOrder(
        &again, QStringLiteral("010110000001"), filled.results[0]);
    ASSERT_TRUE(spinUntil([&] { return again.done(); }));
    ASSERT_EQ(again.errors.size(), 1u);
    EXPECT_EQ(again.errors[0].domain, QStringLiteral("该委托已成交，不能撤单"));
    EXPECT_EQ(held("600000", "股份余额"), "3000");

    const std::shared_ptr<DTOrdersOfTodayTable> today = ordersOfToday();
    ASSERT_EQ(today->contentObjectArray().size(), 2);
    EXPECT_EQ(today->recordAt(0).statusDesc, "已撤");
    EXPECT_EQ(today->recordAt(0).cancelQuantity, "1000");

    FundListCatcher funds;
    QueryInfoManager::getInstance()->requestFundInfoList(&funds);
    ASSERT_TRUE(spinUntil([&] { return funds.done(); }));
    ASSERT_EQ(funds.results.size(), 1u);
    const std::shared_ptr<DTFundInfoTable> list = funds.results[0];
    ASSERT_EQ(list->arrayController()->count(), 2);
    EXPECT_EQ(list->valueForTitle(0, QStringLiteral("存管银行")), "工商银行(主)");
    EXPECT_EQ(list->recordAt(0).fundAvailable, left);
    EXPECT_EQ(list->recordAt(1).moneyTypeName, "美元");
}

// A second equal order is the customer's second intent; a second equal
// cancel while the first still waits only joins it.
TEST_F(OrderFlowTest, EqualOrdersNeverMergeEqualCancelsDo)
{
    const brokersim::MarketSecurity& resting = *market().security("600000");
    const std::unique_ptr<Security> s = security("600000");
    const QString p = price("600000", brokersim::Market::priceLimitTicks(resting, false));
    TradeCatcher first;
    TradeCatcher second;
    OrderManager* manager = OrderManager::getInstance();
    manager->requestOrder(&first, *s, secuid("1"), 0, p, QStringLiteral("100"), QStringLiteral("限价委托"));
    manager->requestOrder(&second, *s, secuid("1"), 0, p, QStringLiteral("100"), QStringLiteral("限价委托"));
    ASSERT_TRUE(spinUntil([&] { return first.done() && second.done(); }));
    ASSERT_EQ(first.results.size(), 1u);
    ASSERT_EQ(second.results.size(), 1u);
    EXPECT_NE(first.results[0], second.results[0]);
    EXPECT_NE(first.handles[0], second.handles[0]);
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 2);

    CancelCatcher one;
    CancelCatcher other;
    QString oneHandle;
    QString otherHandle;
    const QString fund = QStringLiteral("010110000001");
    EXPECT_EQ(manager->requestCancelOrder(&one, fund, first.results[0], &oneHandle), QString());
    EXPECT_EQ(manager->requestCancelOrder(&other, fund, first.results[0], &otherHandle), QString());
    EXPECT_EQ(oneHandle, otherHandle);
    ASSERT_TRUE(spinUntil([&] { return one.done() && other.done(); }));
    ASSERT_EQ(one.results.size(), 1u);
    EXPECT_EQ(other.results, one.results); // the one answer, heard by both
    EXPECT_EQ(sim.receivedCount(brokersim::kCancelFunction), 1);
    const std::shared_ptr<DTOrdersOfTodayTable> today = ordersOfToday();
    ASSERT_EQ(today->contentObjectArray().size(), 2);
    for (qsizetype row = 0; row < 2; ++row)
        EXPECT_EQ(today->recordAt(row).statusDesc == "已撤", today->recordAt(row).number == first.results[0]);
}

TEST_F(OrderFlowTest, ASilentOrderIsReportedUnknownAndNeverSentAgain)
{
    const std::unique_ptr<Security> s = security("600000");
    const QString p = price("600000", last("600000"));
    OrderManager* manager = OrderManager::getInstance();
    sim.withholdNext(brokersim::kOrderFunction);
    TradingPage page;
    manager->requestOrder(&page, *s, secuid("1"), 0, p, QStringLiteral("100"), QStringLiteral("限价委托"));
    // The time-out runs out once the server holds the order, whatever the
    // load: the connection reports it as its own timer would.
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kOrderFunction) == 1; }));
    EXPECT_FALSE(page.TradeCatcher::done());
    const std::shared_ptr<CSNetwork> trade
        = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    ASSERT_NE(trade->connection(), nullptr);
    trade->connectionSendPacketsTimeout(
        *trade->connection(), { quint64(sim.receivedOf(brokersim::kOrderFunction)[0].packetId) });
    ASSERT_TRUE(spinUntil([&] { return page.TradeCatcher::done(); }));
    ASSERT_EQ(page.TradeCatcher::errors.size(), 1u);
    EXPECT_EQ(page.TradeCatcher::errors[0].code, kOrderOutcomeUnknownCode);
    EXPECT_TRUE(page.TradeCatcher::errors[0].domain.contains(QStringLiteral("委托结果未知")));
    // The page is shown what the server did: the order went through.
    ASSERT_TRUE(spinUntil([&] { return page.OrdersCatcher::done() && page.PositionCatcher::done(); }));
    ASSERT_EQ(page.OrdersCatcher::results.size(), 1u);
    EXPECT_EQ(page.OrdersCatcher::results[0]->contentObjectArray().size(), 1);
    EXPECT_EQ(page.PositionCatcher::results.size(), 1u);
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1); // never sent again
}

// A connection lost once the order is out, before its answer or in the
// middle of it: the server may have taken the order, so the outcome is
// unknown (never an ordinary refusal), what the page shows is read again and
// the order is not sent again.
TEST_F(OrderFlowTest, AConnectionLostAfterTheOrderLeavesItsOutcomeUnknown)
{
    const std::unique_ptr<Security> s = security("600000");
    const QString p = price("600000", last("600000"));
    const struct {
        const char* what;
        std::function<void()> before; // armed before the order goes out
        std::function<void()> after; // once it has reached the server
    } cases[] = {
        { "dropped while the answer is withheld", [this] { sim.withholdNext(brokersim::kOrderFunction); },
            [this] { sim.dropConnections(); } },
        { "cut in the middle of the answer",
            [this] { sim.dropAfterBytesNext(brokersim::kOrderFunction, 12); }, [] {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        sim.clearControls();
        sim.clearReceived();
        c.before();
        TradingPage page;
        EXPECT_EQ(OrderManager::getInstance()->requestOrder(
                      &page, *s, secuid("1"), 0, p, QStringLiteral("100"), QStringLiteral("限价委托")),
            QString());
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kOrderFunction) == 1; }));
        c.after();
        ASSERT_TRUE(spinUntil([&] { return page.TradeCatcher::done(); }));
        EXPECT_TRUE(page.TradeCatcher::results.empty());
        ASSERT_EQ(page.TradeCatcher::errors.size(), 1u);
        EXPECT_EQ(page.TradeCatcher::errors[0].code, kOrderOutcomeUnknownCode);
        EXPECT_TRUE(page.TradeCatcher::errors[0].domain.contains(QStringLiteral("委托结果未知")))
            << qPrintable(page.TradeCatcher::errors[0].domain);
        ASSERT_TRUE(spinUntil([&] { return page.OrdersCatcher::done() && page.PositionCatcher::done(); }));
        EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1); // never sent again
    }
}

namespace {
const QStringList kAllReads { QStringLiteral("money"), QStringLiteral("positions") };
// A page that reads its money and positions again while they are owed and
// tells which of its reads were answered with their rows.
struct Reader : TradeCatcher, CancelCatcher, IMoneyInfoDelegate, IPositionInfoDelegate, IOwedReader {
    int reads = 0;
    QStringList asked; // every round's reads, in order
    bool refuseMoney = false; // its money read carries what the client refuses to send
    QString money;
    QString positions;
    Reader() { OwedReads::getInstance()->join(this, kAllReads); }
    QStringList readOwed(const QStringList& owed) override
    {
        ++reads;
        QueryInfoManager* queries = QueryInfoManager::getInstance();
        ReadsAskedAgain again(owed);
        again.ask("money", [&] {
            return queries->requestMoneyInfo(this, 0, refuseMoney ? QString(300, u'9') : QString(), &money)
                .isEmpty();
        });
        again.ask("positions", [&] { return queries->requestPositionInfo(this, 0, &positions).isEmpty(); });
        asked += again.asked();
        return again.asked();
    }
    void queryMoneyInfo(DataModel*, const QString& handle, const RDOMoney&) override
    {
        told("money", handle == money, true);
    }
    bool queryMoneyInfo(DataModel*, const QString& handle, const CSError&) override
    {
        told("money", handle == money, false);
        return true;
    }
    void queryPositionInfo(DataModel*, const QString& handle, const DTTablePtr&) override
    {
        told("positions", handle == positions, true);
    }
    bool queryPositionInfo(DataModel*, const QString& handle, const CSError&) override
    {
        told("positions", handle == positions, false);
        return true;
    }
    void told(const char* read, bool askedLast, bool withRows)
    {
        if (askedLast)
            OwedReads::getInstance()->readAnswered(this, QString::fromLatin1(read), withRows);
    }
    int outcomes() const { return int(TradeCatcher::errors.size() + CancelCatcher::errors.size()); }
};
void logOn(int kind)
{
    DMNotificationCenter::getInstance()->postNotification(NetworkFactory::kServerServes, QVariant(kind));
}
} // namespace

// Orders or cancels of unknown outcome, however they got there: one round of
// reads goes at once for all of them; a read stays owed until it is itself
// answered with its rows, and what a round leaves owed waits (never a round
// at once) for the next round or a trade logon (not a quote one), which asks
// only what is still owed. Nothing is sent again.
TEST_F(OrderFlowTest, OwedReadsGoOneRoundAtATimeUntilEachIsAnsweredWithItsRows)
{
    using brokersim::kMoneyFunction, brokersim::kPositionsFunction, brokersim::kOrdersOfTodayFunction;
    enum class Lost { TimedOut, Dropped };
    const struct {
        const char* way;
        Lost lost = Lost::TimedOut;
        int count = 1; // lost in one batch
        bool cancels = false;
        std::function<void(Reader&)> meet = {}; // what the first round's reads meet
        QStringList owed = {}; // what the first round leaves owed
        bool frozen = false; // its reads are held and time out
    } rows[] = {
        { "time-out with the connection up", Lost::TimedOut, 1, false, {}, kAllReads, true },
        { "lost connection, then logon", Lost::Dropped },
        { "an error row on one read", Lost::TimedOut, 1, false,
            [this](Reader&) { sim.answerErrorNext(kMoneyFunction, -1, QStringLiteral("系统忙")); },
            { QStringLiteral("money") } },
        { "answers without data", Lost::TimedOut, 1, false,
            [this](Reader&) {
                sim.answerNotRecordSetNext(kMoneyFunction);
                sim.answerNotRecordSetNext(kOrdersOfTodayFunction);
            },
            { QStringLiteral("money") } },
        // Refused before it went out: no round can have it answered.
        { "a refused request", Lost::TimedOut, 1, false, [](Reader& page) { page.refuseMoney = true; } },
        { "several lost orders in one batch", Lost::TimedOut, 3 },
        { "a 20-cancel run", Lost::TimedOut, 20, true },
    };
    OrderManager* manager = OrderManager::getInstance();
    OwedReads* owed = OwedReads::getInstance();
    const std::shared_ptr<CSNetwork> trade
        = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    const OwedReads::RoundDelays delays { std::chrono::hours(1), std::chrono::hours(4),
        std::chrono::hours(4) };
    owed->setRoundDelays(delays);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        sim.clearControls();
        sim.clearReceived();
        const int held = sim.withheldCount();
        const brokersim::Function function
            = row.cancels ? brokersim::kCancelFunction : brokersim::kOrderFunction;
        sim.withholdNext(function, row.count);
        Reader page;
        for (int i = 1; i <= row.count; ++i) {
            EXPECT_EQ(row.cancels
                    ? manager->requestCancelOrder(&page, QStringLiteral("010110000001"), QString::number(i))
                    : manager->requestOrder(&page, *security("600000"), secuid("1"), 0,
                        price("600000", last("600000") - i), QStringLiteral("100"),
                        QStringLiteral("限价委托")),
                QString());
        }
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(function) == row.count; }));
        if (row.frozen)
            for (const brokersim::Function f : { kMoneyFunction, kPositionsFunction, kOrdersOfTodayFunction })
                sim.withholdNext(f, 10);
        if (row.meet)
            row.meet(page);
        if (row.lost == Lost::TimedOut)
            timeOut({ function });
        else
            sim.dropConnections();
        ASSERT_TRUE(spinUntil([&] { return page.outcomes() == row.count; }));
        for (const auto* errors : { &page.TradeCatcher::errors, &page.CancelCatcher::errors })
            for (const CSError& e : *errors)
                EXPECT_EQ(e.code, kOrderOutcomeUnknownCode);
        // The client's own reconnection is a trade logon: a round then too.
        const int rounds = row.lost == Lost::Dropped ? 2 : 1;
        ASSERT_TRUE(spinUntil([&] { return trade->isLoggedOn() && page.reads == rounds; }));
        if (row.frozen) {
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == held + row.count + 2; }));
            timeOut({ kMoneyFunction, kPositionsFunction, kOrdersOfTodayFunction });
        }
        ASSERT_TRUE(spinUntil([&] { return !owed->roundInFlight(); }));
        EXPECT_EQ(page.reads, rounds);
        EXPECT_EQ(sim.receivedCount(kPositionsFunction), 1); // one round on the wire
        EXPECT_EQ(owed->owedTo(&page), row.owed);
        EXPECT_EQ(owed->roundWait(), row.owed.isEmpty() ? std::chrono::milliseconds(0) : delays.first);

        sim.clearControls();
        page.refuseMoney = false;
        page.asked.clear();
        logOn(NetworkFactory::kQuote);
        EXPECT_EQ(page.reads, rounds);
        logOn(NetworkFactory::kTrade);
        EXPECT_EQ(page.asked, row.owed);
        ASSERT_TRUE(spinUntil([&] { return !owed->owes(); }));
        // Nothing owed any more: no round waits, no logon is heard.
        EXPECT_EQ(owed->roundWait(), std::chrono::milliseconds(0));
        EXPECT_EQ(platform::NotificationCenter::defaultCenter().registrationCount(owed), 0);
        EXPECT_EQ(sim.receivedCount(function), row.count); // never sent again
    }
}

// A server that stays connected and silent: after each round that times out
// the next one waits, twice as long as the last up to the longest wait.
TEST_F(OrderFlowTest, ReadsOwedToAFrozenServerWaitLongerAfterEachRoundThatTimesOut)
{
    using brokersim::kMoneyFunction, brokersim::kPositionsFunction, brokersim::kOrdersOfTodayFunction;
    using std::chrono::milliseconds;
    Reader page;
    OrderManager* manager = OrderManager::getInstance();
    OwedReads* owed = OwedReads::getInstance();
    owed->setRoundDelays({ milliseconds(40), milliseconds(160), std::chrono::hours(1) });
    sim.withholdNext(brokersim::kOrderFunction);
    for (const brokersim::Function f : { kMoneyFunction, kPositionsFunction, kOrdersOfTodayFunction })
        sim.withholdNext(f, 10);
    manager->requestOrder(&page, *security("600000"), secuid("1"), 0, price("600000", last("600000")),
        QStringLiteral("100"), QStringLiteral("限价委托"));
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kOrderFunction) == 1; }));
    timeOut({ brokersim::kOrderFunction });
    const milliseconds waits[] = { milliseconds(40), milliseconds(80), milliseconds(160), milliseconds(160) };
    for (int round = 1; round <= 4; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(spinUntil([&] { return page.reads == round && sim.withheldCount() == 1 + 2 * round; }));
        timeOut({ kMoneyFunction, kPositionsFunction, kOrdersOfTodayFunction });
        ASSERT_TRUE(spinUntil([&] { return !owed->roundInFlight(); }));
        EXPECT_EQ(page.reads, round); // none at once
        EXPECT_EQ(owed->roundWait(), waits[round - 1]);
        EXPECT_EQ(owed->owedTo(&page), kAllReads);
    }
    sim.clearControls();
    ASSERT_TRUE(spinUntil([&] { return !owed->owes(); }));
    EXPECT_EQ(page.reads, 5);
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1);
}

TEST_F(OrderFlowTest, HistoricStatementsAndTheDistributionListFromTheMenusLinks)
{
    const QString p = price("600000", last("600000") + 5);
    const TradeCatcher filled = order("600000", 0, p, "200");
    ASSERT_EQ(filled.results.size(), 1u);
    auto linkOf = [](const char* plain) {
        return AesEncryption::encodeStringWithAES(QString::fromUtf8(plain), QString::fromLatin1(kMenuLinkKey))
            .value();
    };
    const QDate day = platform::ChinaClock::now().date();
    HistoricCatcher statement;
    EXPECT_EQ(CommonQueryManager::getInstance()->requestHistoricQuery(&statement,
                  linkOf("hisquery?tc_mfuncno=500&tc_sfuncno=126&position=poststr"), day.addDays(-7), day),
        QString());
    ASSERT_TRUE(spinUntil([&] { return statement.done(); }));
    ASSERT_EQ(statement.results.size(), 1u);
    EXPECT_EQ(statement.results[0]->arrayController()->count(), 1);
    EXPECT_EQ(statement.results[0]->valueForTitle(0, QStringLiteral("委托编号")), filled.results[0]);
    EXPECT_EQ(statement.results[0]->valueForTitle(0, QStringLiteral("成交数量")), "200");

    // A past range holds nothing; a link without function numbers sends nothing.
    HistoricCatcher past;
    CommonQueryManager::getInstance()->requestHistoricQueryEx(&past,
        linkOf("tradehisquery?tc_mfuncno=500&tc_sfuncno=9:tc_mfuncno=500&tc_sfuncno=10"), day.addDays(-3),
        day.addDays(-1));
    ASSERT_TRUE(spinUntil([&] { return past.done(); }));
    ASSERT_EQ(past.results.size(), 1u);
    EXPECT_EQ(past.results[0]->arrayController()->count(), 0);
    sim.clearReceived();
    HistoricCatcher none;
    CommonQueryManager::getInstance()->requestHistoricQuery(
        &none, linkOf("hisquery?position=poststr"), day, day);
    ASSERT_TRUE(spinUntil([&] { return none.done(); }));
    ASSERT_EQ(none.errors.size(), 1u);
    EXPECT_EQ(none.errors[0].domain, QStringLiteral("查询链接没有功能号，未发送查询"));
    EXPECT_EQ(sim.receivedCount(), 0);

    // A subscription shows up in the distribution list with its numbers.
    auto issue = std::make_unique<IPOStock>();
    issue->code = QStringLiteral("732001");
    issue->marketType = QStringLiteral("1");
    TradeCatcher subscribed;
    OrderManager::getInstance()->requestOrder(&subscribed, *issue, secuid("1"), 0, QStringLiteral("12.34"),
        QStringLiteral("3000"), QStringLiteral("限价委托"));
    ASSERT_TRUE(spinUntil([&] { return subscribed.done(); }));
    ASSERT_EQ(subscribed.results.size(), 1u)
        << qPrintable(subscribed.errors.empty() ? QString() : subscribed.errors[0].domain);
    DistributionCatcher list;
    QueryInfoManager::getInstance()->requestDistributionList(&list);
    ASSERT_TRUE(spinUntil([&] { return list.done(); }));
    ASSERT_EQ(list.results.size(), 1u);
    ASSERT_EQ(list.results[0]->arrayController()->count(), 1);
    EXPECT_EQ(list.results[0]->valueForTitle(0, QStringLiteral("配号数量")), "3");
    EXPECT_FALSE(list.results[0]->tableColomnTitles().contains(QStringLiteral("定位串")));
}

#include "comm/crypto/AesEncryption.h"
#include "quotes/QuoteTestRig.h"
#include "trading/security/StockManager.h"

#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

QUOTETEST_CATCHER(NewStockCatcher, INewStockInfoDelegate, queryNewStockInfo)
QUOTETEST_CATCHER(WarrantCatcher, IQueryWarrantInfoDelegate, queryWarrantInfo)
QUOTETEST_CATCHER(STListCatcher, IQuerySTStockListDelegate, querySTStockList)
QUOTETEST_CATCHER(ResetCostCatcher, IResetCostDelegate, resetCost)

class StockManagerTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
    }
};

} // namespace

TEST(StockManagerCache, SubclassByClassIdOnePerCodeEmptiedWhenAsked)
{
    StockManager manager;
    const struct {
        qint32 classId;
        bool (*is)(const Security*);
    } cases[] = {
        { 104, [](const Security* s) { return dynamic_cast<const Bond*>(s) && !dynamic_cast<const ReverseRepo*>(s); } },
        { 105, [](const Security* s) { return dynamic_cast<const Bond*>(s) && !dynamic_cast<const ReverseRepo*>(s); } },
        { 107, [](const Security* s) { return dynamic_cast<const Bond*>(s) && !dynamic_cast<const ReverseRepo*>(s); } },
        { 106, [](const Security* s) { return dynamic_cast<const ReverseRepo*>(s) != nullptr; } },
        { 1004, [](const Security* s) { return dynamic_cast<const ReverseRepo*>(s) != nullptr; } },
        { 108, [](const Security* s) { return dynamic_cast<const HStock*>(s) != nullptr; } },
        { 5, [](const Security* s) { return dynamic_cast<const Warrant*>(s) != nullptr; } },
        { -1, [](const Security* s) { return dynamic_cast<const IPOStock*>(s) != nullptr; } },
        { 0, [](const Security* s) { return dynamic_cast<const Stock*>(s) && !dynamic_cast<const HStock*>(s); } },
        { 116, [](const Security* s) { return dynamic_cast<const Stock*>(s) && !dynamic_cast<const HStock*>(s); } },
    };
    for (const auto& c : cases) {
        const QString code = QStringLiteral("C%1").arg(c.classId);
        EXPECT_TRUE(c.is(manager.createSecurity(c.classId, code).get())) << c.classId;
        // The first class stays, whatever a later record says.
        EXPECT_EQ(manager.createSecurity(1004, code), manager.getSecurity(code));
        EXPECT_TRUE(c.is(manager.getSecurity(code).get())) << c.classId;
    }
    EXPECT_EQ(manager.securityCount(), std::size(cases));

    RDOQuotesOf5Level q;
    q.identifycode = QStringLiteral("C0");
    q.classId = QStringLiteral("1004");
    q.recentPrice = QStringLiteral("10.5");
    const StockManager::SecurityPtr kept = manager.updateQuotesOf5LevelEx(q);
    EXPECT_EQ(kept, manager.getSecurity(QStringLiteral("C0")));
    EXPECT_EQ(dynamic_cast<ReverseRepo*>(kept.get()), nullptr);
    EXPECT_DOUBLE_EQ(kept->recentDealPrice, 10.5);

    // A new-issue record makes an IPOStock and leaves quote fields alone.
    RDONewStock issue;
    issue.stockCode = QStringLiteral("C0");
    issue.stockName = QStringLiteral("新股");
    issue.stockPrice = QStringLiteral("12.34");
    manager.updateNewStock(issue);
    EXPECT_EQ(kept->purchasePrice, "12.34");
    EXPECT_DOUBLE_EQ(kept->recentDealPrice, 10.5);
    issue.stockCode = QStringLiteral("732001");
    manager.updateNewStock(issue);
    EXPECT_NE(dynamic_cast<IPOStock*>(manager.getSecurity(QStringLiteral("732001")).get()), nullptr);

    const std::size_t filed = manager.securityCount();
    EXPECT_NE(manager.updateQuotes(RDOStock()), nullptr); // no code: answered, not filed
    EXPECT_EQ(manager.securityCount(), filed);

    manager.clearSecurityObjects();
    EXPECT_EQ(manager.getSecurity(QStringLiteral("C0")), nullptr);
    EXPECT_EQ(manager.securityCount(), 0u);
    // A page that still holds a security keeps a valid object.
    EXPECT_DOUBLE_EQ(kept->recentDealPrice, 10.5);
}

TEST_F(StockManagerTest, QuotesPassThroughTheCacheIntoOneSecurity)
{
    StockManager manager;
    QuoteCatcher quote;
    const QString handle = manager.requestQuotesOf5LevelEx(&quote, QStringLiteral("019547"));
    EXPECT_FALSE(handle.isEmpty());
    ASSERT_TRUE(spinUntil([&] { return quote.done(); }));
    ASSERT_EQ(quote.handles.at(0), handle);
    const StockManager::SecurityPtr bond = manager.updateQuotesOf5LevelEx(quote.results.at(0));
    ASSERT_NE(dynamic_cast<Bond*>(bond.get()), nullptr);
    EXPECT_EQ(bond->getUnitName(), QStringLiteral("张"));

    TimesharingCatcher chart;
    EXPECT_EQ(manager.requestQuota(&chart, bond->queryCode), QString());
    ASSERT_TRUE(spinUntil([&] { return chart.done(); }));
    EXPECT_EQ(manager.updateQuotes(chart.results.at(0)), bond);
    EXPECT_FALSE(bond->timesharingInfoArray.empty());
    EXPECT_EQ(bond->code, "019547");
    EXPECT_GT(bond->maxTurnover(), 0);
    EXPECT_EQ(manager.securityCount(), 1u);
}

TEST_F(StockManagerTest, TheStatusBarsIndexTickerAndTheSettingsHooks)
{
    StockManager manager;
    IndexCatcher ticker;
    EXPECT_EQ(manager.requestQueryStockIndexInfo(&ticker, QString()), QStringLiteral("没有行情指数链接"));
    const QString link = AesEncryption::encodeStringWithAES(QString::fromLatin1(brokersim::kIndexTickerLink),
        QString::fromLatin1(DMQueryStockIndexInfo::kLinkKey))
                             .value();
    EXPECT_EQ(manager.requestQueryStockIndexInfo(&ticker, link), QString());
    ASSERT_TRUE(spinUntil([&] { return ticker.done(); }));
    ASSERT_EQ(ticker.results.at(0).size(), 3u);
    EXPECT_EQ(ticker.results[0][2].name, QStringLiteral("创业板指"));
    EXPECT_EQ(sim.receivedCount(brokersim::kIndexFunction), 1);

    // The settings store pushes its default-price modes to every security.
    Security::resetClassState();
    StockManager::installSecurityHooks(UserDefaultConfig::getInstance());
    UserDefaultConfig::getInstance()->setBuyDefaultType(2);
    Stock s;
    s.precision = 2;
    s.buyPrices[0] = 8.88;
    EXPECT_EQ(s.defaultBuyPrice(), "8.88");
    Security::resetClassState();
}

TEST_F(StockManagerTest, TradeRequestsCarryTheAccountPrefix)
{
    StockManager manager;
    NewStockCatcher issue;
    EXPECT_EQ(manager.requestNewStockMarketCode(&issue, QStringLiteral("732001")), QStringLiteral("没有已登录的账户"));
    const std::shared_ptr<Account> account = logIn();

    // The prefix as sent: the connection's arrival rewrites its address later.
    const QString prefix = account->commonUrlString;
    EXPECT_EQ(manager.requestNewStockMarketCode(&issue, QStringLiteral("732001")), QString());
    ASSERT_TRUE(spinUntil([&] { return issue.done(); }));
    ASSERT_EQ(issue.results.size(), 1u);
    EXPECT_EQ(issue.results[0].stockCodeAndName, QStringLiteral("732001 浦江新材"));
    EXPECT_EQ(issue.results[0].securityId, "A101000001");
    EXPECT_EQ(lastBody(brokersim::kNewStockInfoFunction), prefix + "&stkcode=732001");

    WarrantCatcher warrant;
    manager.requestQueryWarrantInfo(&warrant, QStringLiteral("580026"), std::nullopt);
    ASSERT_TRUE(spinUntil([&] { return warrant.done(); }));
    EXPECT_EQ(warrant.results.at(0).stockCode, "600000");
    EXPECT_EQ(warrant.results.at(0).exercisePrice, "9.500");
    EXPECT_EQ(lastBody(brokersim::kWarrantInfoFunction), account->commonUrlString + "&stkcode=580026&market=");

    STListCatcher list;
    manager.requestQuerySTStockList(&list);
    ASSERT_TRUE(spinUntil([&] { return list.done(); }));
    EXPECT_EQ(list.results.at(0), (std::vector<QString> { QStringLiteral("600087"), QStringLiteral("000594") }));
    EXPECT_TRUE(lastBody(brokersim::kRiskWarningListFunction).endsWith(QStringLiteral("&stklevel=Z&stkcode=")));

    // Server refusals reach the observer with the server's words.
    NewStockCatcher unknown;
    manager.requestNewStockMarketCode(&unknown, QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return unknown.done(); }));
    EXPECT_EQ(unknown.errors.at(0).domain, QStringLiteral("该代码不是可申购的新股"));
}

TEST_F(StockManagerTest, CostPriceResetSendsTheTextAsTypedAndMergesWithAnEqualOne)
{
    StockManager manager;
    logIn();
    const CostPricePosition position { QStringLiteral("600000"), QStringLiteral("1"), QStringLiteral("A101000001") };
    ResetCostCatcher refused;
    for (const char* unsafe : { "12&x=1", "1=2", "1\n" })
        EXPECT_EQ(manager.requestResetStockCost(&refused, position, QString::fromLatin1(unsafe)),
            QStringLiteral("成本价含有不能发送的字符"))
            << unsafe;
    EXPECT_EQ(sim.receivedCount(brokersim::kResetCostFunction), 0);

    // Whatever else is typed is the server's to judge, an unchanged price too.
    for (const char* typed : { "0", "12.", "abc", "010.5" }) {
        SCOPED_TRACE(typed);
        ResetCostCatcher judged;
        EXPECT_EQ(manager.requestResetStockCost(&judged, position, QString::fromLatin1(typed)), QString());
        ASSERT_TRUE(spinUntil([&] { return judged.done(); }));
        EXPECT_TRUE(lastBody(brokersim::kResetCostFunction).endsWith(QStringLiteral("&costprice=") + typed));
    }
    EXPECT_EQ(sim.receivedCount(brokersim::kResetCostFunction), 4);

    ResetCostCatcher first;
    ResetCostCatcher second;
    EXPECT_EQ(manager.requestResetStockCost(&first, position, QStringLiteral("9.80")), QString());
    EXPECT_EQ(manager.requestResetStockCost(&second, position, QStringLiteral("9.80")), QString());
    ASSERT_TRUE(spinUntil([&] { return first.done() && second.done(); }));
    EXPECT_EQ(first.results.at(0), QStringLiteral("成本价修改成功"));
    EXPECT_EQ(second.results.at(0), QStringLiteral("成本价修改成功"));
    EXPECT_EQ(first.handles.at(0), second.handles.at(0));
    EXPECT_EQ(sim.receivedCount(brokersim::kResetCostFunction), 5);
    EXPECT_TRUE(lastBody(brokersim::kResetCostFunction)
                    .endsWith(QStringLiteral("&stkcode=600000&market=1&secuid=A101000001&costprice=9.80")));
    EXPECT_TRUE(refused.results.empty() && refused.errors.empty());
}

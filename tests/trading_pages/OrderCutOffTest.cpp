#include "core/DMNotificationCenter.h"
#include "support/LoopbackServer.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading_pages/TradingPagesRig.h"

#include <gtest/gtest.h>

using testsupport::spinUntil;

namespace {

// Moves a lost trade connection to the next server as the server manager
// does: connects the network again, then announces the new connection.
class SwitchingServers final : public quotetest::BothServers {
public:
    int switches = 0;
    bool connectToServerByType(int32_t type, quint64 index) override
    {
        std::optional<CSServerInfo> server = of(type);
        if (!server || index != 0)
            return false;
        ++switches;
        NetworkFactory::configureServerInfo(*server, type, 5);
        NetworkFactory::getInstance()->getNetwork(type)->connectTo(*server);
        DMNotificationCenter::getInstance()->postNotification(DataModel::kServerReconnect, QVariant(type));
        return true;
    }
};

class OrderCutOffTest : public pagestest::TradePageFixture {
protected:
    void SetUp() override
    {
        TradePageFixture::SetUp();
        switching.quote = both.quote;
        switching.trade = both.trade;
        NetworkFactory::getInstance()->setServerManager(&switching);
        NetworkFactory::getInstance()->setRetryFlag(true);
    }
    QString heldBalance(const TradeViewController& page, const QString& code) const
    {
        if (!page.positions())
            return {};
        for (const QVariant& row : page.positions()->contentObjectArray()) {
            if (row.value<RDOPositionDetail>().stockCode == code)
                return row.value<RDOPositionDetail>().stockBalance;
        }
        return {};
    }
    // The order is confirmed and the connection drops in the middle of its
    // answer: the customer reads that its outcome is unknown.
    void placeOrderCutOff(TradeViewController& page)
    {
        sim.dropAfterBytesNext(brokersim::kOrderFunction, 12);
        sim.clearReceived();
        whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
        page.orderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
        ASSERT_FALSE(alerts.shown.empty());
        EXPECT_TRUE(alerts.shown.back().text.contains(QStringLiteral("委托结果未知")))
            << qPrintable(alerts.shown.back().text);
    }
    // The code looked up, with the money and the holding of it shown.
    void lookUpWithFigures(TradeViewController& page, const QString& code)
    {
        lookUp(page, code);
        ASSERT_TRUE(spinUntil(
            [&] { return !page.availableMoneyText().isEmpty() && !heldBalance(page, code).isEmpty(); }));
    }
    SwitchingServers switching;
};

// The connection drops in the middle of the order's answer: the page says the
// outcome is unknown and reads money and positions again. Those reads are
// asked for while the drop is reported, before the network moves to the next
// server; they go out once on the new connection and the page shows what the
// server did.
TEST_F(OrderCutOffTest, ReadsAskedForWhileTheDropIsReportedShowTheFilledOrder)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    const QString code = QStringLiteral("600000");
    ASSERT_NO_FATAL_FAILURE(lookUpWithFigures(page, code));
    const QString moneyBefore = page.availableMoneyText();
    const qint64 heldBefore = heldBalance(page, code).toLongLong();

    // At the limit-up price the buy fills at once.
    const brokersim::MarketSecurity& stock = *market().security(code);
    page.setPriceText(
        brokersim::Market::ticksText(brokersim::Market::priceLimitTicks(stock, true), stock.precision));
    page.setQuantityText(QStringLiteral("1000"));
    ASSERT_NO_FATAL_FAILURE(placeOrderCutOff(page));
    EXPECT_EQ(switching.switches, 1);

    ASSERT_TRUE(spinUntil([&] { return heldBalance(page, code).toLongLong() == heldBefore + 1000; }))
        << qPrintable(heldBalance(page, code));
    ASSERT_TRUE(spinUntil([&] { return page.availableMoneyText() != moneyBefore; }))
        << qPrintable(page.availableMoneyText());
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1);
    EXPECT_EQ(sim.receivedCount(brokersim::kMoneyFunction), 1);
    EXPECT_EQ(sim.receivedCount(brokersim::kPositionsFunction), 1);
}

// Two trade servers: the simulator, and one that refuses every connection.
// A lost connection moves to the other server as the server manager does.
class TwoTradeServers final : public quotetest::BothServers {
public:
    std::vector<CSServerInfo> trades;
    quint64 selected = 0;
    quint64 numberOfServerInfosByType(int32_t type) override
    {
        return type == NetworkFactory::kTrade ? trades.size() : BothServers::numberOfServerInfosByType(type);
    }
    qint64 indexOfSelectedByType(int32_t type) override
    {
        return type == NetworkFactory::kTrade ? qint64(selected) : BothServers::indexOfSelectedByType(type);
    }
    std::optional<CSServerInfo> serverInfoOfSelectedByType(int32_t type) override
    {
        return type == NetworkFactory::kTrade ? std::optional(trades[selected])
                                              : BothServers::serverInfoOfSelectedByType(type);
    }
    bool connectToServerByType(int32_t type, quint64 index) override
    {
        if (type != NetworkFactory::kTrade || index >= trades.size())
            return false;
        selected = index;
        NetworkFactory::getInstance()->getNetwork(type)->connectTo(trades[index]);
        DMNotificationCenter::getInstance()->postNotification(DataModel::kServerReconnect, QVariant(type));
        return true;
    }
};

// The connection goes with the order and the server moved to refuses it:
// what the order may have changed (money, positions, the maximum) is read
// once the simulator serves again, and the page shows what it did.
TEST_F(OrderCutOffTest, AfterAnUnknownOutcomeTheFiguresAreReadAtTheFirstLogon)
{
    TwoTradeServers two;
    two.quote = both.quote;
    two.trades = { *both.trade,
        *NetworkFactory::makeServerInfo(NetworkFactory::kTrade, QStringLiteral("127.0.0.1"),
            QString::number(testsupport::unusedLoopbackPort()), 5) };
    NetworkFactory::getInstance()->setServerManager(&two);
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    const QString code = QStringLiteral("600000");
    ASSERT_NO_FATAL_FAILURE(lookUpWithFigures(page, code));
    const brokersim::MarketSecurity& stock = *market().security(code);
    const QString limitUp
        = brokersim::Market::ticksText(brokersim::Market::priceLimitTicks(stock, true), stock.precision);
    const QString maxBefore = page.maxAmountText();
    page.setPriceText(limitUp);
    page.priceEditEnd();
    ASSERT_TRUE(spinUntil([&] { return page.maxAmountText() != maxBefore; }));
    // Twice: every loss owes its own reads.
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        const QString moneyBefore = page.availableMoneyText();
        const QString maxAtLimit = page.maxAmountText();
        const qint64 heldBefore = heldBalance(page, code).toLongLong();
        page.setQuantityText(QStringLiteral("1000"));
        alerts.shown.clear();
        ASSERT_NO_FATAL_FAILURE(placeOrderCutOff(page));

        ASSERT_TRUE(spinUntil([&] { return heldBalance(page, code).toLongLong() == heldBefore + 1000; }))
            << qPrintable(heldBalance(page, code));
        ASSERT_TRUE(spinUntil([&] { return page.availableMoneyText() != moneyBefore; }))
            << qPrintable(page.availableMoneyText());
        ASSERT_TRUE(spinUntil([&] { return page.maxAmountText() != maxAtLimit; }))
            << qPrintable(page.maxAmountText());
        EXPECT_EQ(two.selected, 0u);
        EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1);
        EXPECT_EQ(sim.receivedCount(brokersim::kMoneyFunction), 1);
        EXPECT_EQ(sim.receivedCount(brokersim::kPositionsFunction), 1);
        EXPECT_EQ(sim.receivedCount(brokersim::kMaxQuantityFunction), 1);
    }
}

} // namespace

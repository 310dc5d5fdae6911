#include "trading/pages/AfTradeViewController.h"

#include "tools/broker-sim/BackOffice.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <gtest/gtest.h>

using testsupport::spinUntil;

namespace {

class AfTradeViewControllerTest : public pagestest::OrderPageFixture {
protected:
    void SetUp() override
    {
        OrderPageFixture::SetUp();
        logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" },
            { QStringLiteral("深圳A股"), "0", "0101000001" } });
    }
    void TearDown() override
    {
        pages.clear();
        OrderPageFixture::TearDown();
    }
    AfTradeViewController& openPage(qint64 linkId)
    {
        auto node = std::make_shared<BaseNode>();
        node->nodeLinkId = linkId;
        pages.push_back(std::make_unique<AfTradeViewController>(node));
        AfTradeViewController& page = *pages.back();
        page.setAlertPresenter(&alerts);
        page.load();
        return page;
    }
    // Looks the STAR stock up, confirms an order of 200 and waits for its end.
    void placeOrder(AfTradeViewController& page)
    {
        page.setCodeText(QStringLiteral("688001"));
        ASSERT_TRUE(
            spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
        page.setQuantityText(QStringLiteral("200"));
        OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [&c] { c.confirmButtonClicked(); });
        });
        page.orderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
    }
    std::vector<std::unique_ptr<AfTradeViewController>> pages;
};

TEST_F(AfTradeViewControllerTest, BuyPageOffersOnlyShanghaiAccountsAndOneTitle)
{
    AfTradeViewController& page = openPage(10007);
    EXPECT_EQ(page.tradeType(), 0);
    EXPECT_TRUE(page.orderTypeRowHidden());
    ASSERT_EQ(page.accountTitles().size(), 1); // the Shenzhen account is left out
    EXPECT_TRUE(page.accountTitles()[0].contains(QStringLiteral("A101000001")))
        << page.accountTitles()[0].toStdString();
    EXPECT_EQ(page.orderTypeTitles(), QStringList { QStringLiteral("盘后定价买入") });
    EXPECT_EQ(page.getCurrentOrderType(), 9);

    // A lookup rebuilds nothing of the single title; the price stays required.
    page.setCodeText(QStringLiteral("688001"));
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty(); }));
    EXPECT_EQ(page.orderTypeTitles(), QStringList { QStringLiteral("盘后定价买入") });
    EXPECT_FALSE(page.priceHidden());
}

TEST_F(AfTradeViewControllerTest, SellPageUsesTheAfterHoursSellType)
{
    AfTradeViewController& page = openPage(10008);
    EXPECT_EQ(page.tradeType(), 1);
    EXPECT_EQ(page.orderTypeTitles(), QStringList { QStringLiteral("盘后定价卖出") });
    EXPECT_EQ(page.getCurrentOrderType(), 109);
}

// Both sides ask for the after-hours positions (flag 2), at set-up and
// after an order.
TEST_F(AfTradeViewControllerTest, PositionsAreAskedWithTheAfterHoursFlag)
{
    for (const qint64 linkId : { 10007, 10008 }) {
        SCOPED_TRACE(linkId);
        sim.clearReceived();
        openPage(linkId);
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kPositionsFunction) == 1; }));
        EXPECT_EQ(sim.receivedOf(brokersim::kPositionsFunction)[0].valueOr(u"exeflag"), QStringLiteral("2"));
    }
    sim.clearReceived();
    placeOrder(*pages.front());
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kPositionsFunction) == 1; }));
    EXPECT_EQ(sim.receivedOf(brokersim::kPositionsFunction)[0].valueOr(u"exeflag"), QStringLiteral("2"));
}

TEST_F(AfTradeViewControllerTest, ConfirmedBuyEndsInAnOrderNumber)
{
    AfTradeViewController& page = openPage(10007);
    const size_t before = ordersOfToday().size();
    placeOrder(page);
    const QString price = page.priceText();
    ASSERT_FALSE(page.lastOrderNumber().isEmpty())
        << (alerts.shown.empty() ? std::string("no alert") : alerts.shown.back().text.toStdString());
    EXPECT_EQ(alerts.shown.back().text,
        QString::fromUtf8(TradeViewController::kSubmittedFormat).arg(page.lastOrderNumber()));
    const auto orders = ordersOfToday();
    ASSERT_EQ(orders.size(), before + 1);
    EXPECT_EQ(orders.back().stockCode, QStringLiteral("688001"));
    EXPECT_EQ(
        orders.back().price.toDouble(), price.toDouble()); // a price-bearing type: the typed price went out
}

} // namespace

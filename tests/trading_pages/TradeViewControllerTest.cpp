#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "support/Spin.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/TradeViewController.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/security/StockManager.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

class TradeViewControllerTest : public pagestest::TradePageFixture { };

TEST_F(TradeViewControllerTest, LookupFillsTheFormForTheAccountAndTheClass)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    EXPECT_EQ(page.tradeType(), 0);
    ASSERT_EQ(page.accountTitles().size(), 2); // no Stock Connect account
    lookUp(page, QStringLiteral("600000"));
    EXPECT_FALSE(page.nameText().isEmpty());
    EXPECT_FALSE(page.orderTypeTitles().isEmpty());
    EXPECT_EQ(page.orderTypeTitles().first(), QStringLiteral("限价委托"));
    EXPECT_FALSE(page.priceHidden());
    EXPECT_TRUE(spinUntil([&] { return !page.availableMoneyText().isEmpty(); }));

    // Integer ticks from the security's precision, both ways.
    const QString before = page.priceText();
    page.addButtonClick();
    page.addButtonClick();
    page.subButtonClick();
    const auto security = StockManager::getInstance()->getSecurity(QStringLiteral("600000"));
    ASSERT_TRUE(security);
    EXPECT_NEAR(page.priceText().toDouble() - before.toDouble(), std::pow(10.0, -security->precision), 1e-9);
    EXPECT_EQ(page.priceText().section('.', 1).size(), security->precision);

    // Short codes are padded at the end of editing.
    page.setCodeText(QStringLiteral("60"));
    page.stockCodeEditEnd();
    EXPECT_EQ(page.codeText(), QStringLiteral("000060"));
}

TEST_F(TradeViewControllerTest, StepperDecimalsFollowTheIncrement)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10001);
    EXPECT_TRUE(page.moneyRowHidden());
    page.pricesStepperClicked(1.2345);
    EXPECT_EQ(page.priceText(), QStringLiteral("1.23")); // increment 0.01
}

TEST_F(TradeViewControllerTest, BuyConfirmedGivesTheOrderNumberAndOneOrderOnly)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    lookUp(page, QStringLiteral("600000"));
    page.shareholderCodePButtonSelectedChanged(1); // the Shanghai account
    const QString confirmedPrice = page.priceText();
    page.setQuantityText(QStringLiteral("100"));
    const size_t before = ordersOfToday().size();
    whenShown([&page](OrderAlertWindowController& d) {
        // A second press and a quote refresh while the dialog is up change
        // nothing of what was confirmed.
        page.orderButtonClicked();
        page.updatePrice(QStringLiteral("1.00"));
        page.setPriceText(QStringLiteral("2.00"));
        EXPECT_EQ(d.orderParam().quantity(), QStringLiteral("100"));
        d.confirmButtonClicked();
        d.confirmButtonClicked();
    });
    page.orderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
    ASSERT_FALSE(page.lastOrderNumber().isEmpty()) << (alerts.shown.empty() ? std::string("no alert") : alerts.shown.back().text.toStdString());
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown.back().text,
        QString::fromUtf8(TradeViewController::kSubmittedFormat).arg(page.lastOrderNumber()));
    EXPECT_TRUE(page.quantityText().isEmpty());
    const auto orders = ordersOfToday();
    ASSERT_EQ(orders.size(), before + 1);
    EXPECT_EQ(orders.back().price.toDouble(), confirmedPrice.toDouble());
    EXPECT_EQ(orders.back().stockCode, QStringLiteral("600000"));
}

TEST_F(TradeViewControllerTest, RefusalsAndMissingInputShowTheirMessages)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10001);
    page.orderButtonClicked();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(TradeViewController::kMissingInputMessage));

    lookUp(page, QStringLiteral("600000"));
    page.setQuantityText(QStringLiteral("99999900")); // more than the position
    whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
    page.orderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
    EXPECT_TRUE(page.lastOrderNumber().isEmpty());
    EXPECT_EQ(alerts.shown.back().title, QStringLiteral("错误"));
    EXPECT_FALSE(alerts.shown.back().text.isEmpty());
    EXPECT_EQ(page.quantityText(), QStringLiteral("99999900")); // the form is left as it was

    // A field that would split the request body never goes out.
    page.setQuantityText(QStringLiteral("100&qty=1"));
    page.orderButtonClicked();
    EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(TradeViewController::kMissingInputMessage));
}

TEST_F(TradeViewControllerTest, NoShareholderAccountIsReported)
{
    TradeViewController& page = openPage(10000);
    EXPECT_TRUE(page.accountTitles().isEmpty());
    page.orderButtonClicked();
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(TradeViewController::kNoAccountMessage));
}

TEST_F(TradeViewControllerTest, OpeningTimeBounds)
{
    const struct {
        int h, m;
        bool open;
    } cases[] = { { 9, 15, false }, { 9, 16, true }, { 11, 39, true }, { 11, 40, false }, { 12, 50, false },
        { 12, 51, true }, { 15, 39, true }, { 15, 40, false } };
    for (const auto& c : cases)
        EXPECT_EQ(TradeViewController::isOpeningTime(QDateTime(QDate(2026, 12, 2), QTime(c.h, c.m))), c.open)
            << c.h << ":" << c.m;
}

} // namespace

#pragma once

// The trading pages' tests: the simulator with a logged-in customer, a China
// clock the test moves, resting orders, and message boxes recorded.
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Table.h"
#include "shell/windows/AlertPresenter.h"
#include "trading/confirm/OrderAlertWindowController.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/TradeViewController.h"
#include "trading/query/CommonQueryManager.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/security/StockManager.h"

#include <QTimer>
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace pagestest {

using testsupport::spinUntil;

struct Alerts final : AlertPresenter {
    std::vector<AlertRequest> shown;
    std::vector<Completion> open; // of the boxes not yet dismissed
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.push_back(request);
        open.push_back(std::move(completion));
    }
    // Dismissed as the logout from the locked screen dismisses them, unread.
    void dismissAll(int answer)
    {
        for (Completion& completion : std::exchange(open, {}))
            if (completion)
                completion(answer);
    }
};

QUOTETEST_CATCHER(TradeCatcher, ITradeStockDelegate, tradeStock)

// A warrant lookup's answer: one row of facts as the broker sends them.
inline QList<brokersim::Table> warrantFacts(
    const QString& warrant, const QString& underlying, const QString& price, const QString& market)
{
    return { brokersim::Table()
            .column(QStringLiteral("warrantcode"))
            .column(QStringLiteral("stkcode"))
            .column(QStringLiteral("exerprice"))
            .column(QStringLiteral("market"))
            .row({ warrant, underlying, price, market }) };
}

class PagesFixture : public quotetest::MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        logIn();
    }
    void TearDown() override
    {
        OrderManager::resetInstance();
        QueryInfoManager::resetInstance();
        CommonQueryManager::resetInstance();
        StockManager::resetInstance();
        MarketFixture::TearDown();
    }

    brokersim::MarketSecurity& stock() { return *market().security(QStringLiteral("600000")); }
    // An order of 100 shares of 600000 that rests at the day's limit: a buy
    // at the limit-down price, a sell at the limit-up price. Its number.
    QString rest(bool buy)
    {
        auto s = StockManager::makeSecurity(stock().classId.toInt());
        s->code = stock().code;
        s->marketType = brokersim::Market::tradeMarket(stock());
        const QString price = brokersim::Market::ticksText(
            brokersim::Market::priceLimitTicks(stock(), !buy), stock().precision);
        TradeCatcher c;
        EXPECT_EQ(OrderManager::getInstance()->requestOrder(&c, *s, QStringLiteral("A101000001"), buy ? 0 : 1,
                      price, QStringLiteral("100"), QStringLiteral("限价委托")),
            QString());
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        return c.results.empty() ? QString() : c.results[0];
    }

    QDateTime now = platform::ChinaClock::at(2026, 12, 2, 10, 0);
    platform::ChinaClock::Override clock { [this] { return now; } };
    Alerts alerts;
};

// Message boxes recorded and answered with the default button.
struct AnsweringAlerts final : AlertPresenter {
    std::vector<AlertRequest> shown;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.push_back(request);
        if (completion)
            completion(1);
    }
};

QUOTETEST_CATCHER(OrdersOfTodayCatcher, IOrdersOfTodayDelegate, queryOrdersOfTodayList)

// Every trade answer asked for so far has come: one asked after them has.
inline bool settled()
{
    OrdersOfTodayCatcher after;
    QueryInfoManager::getInstance()->requestOrdersOfToday(&after);
    return spinUntil([&] { return after.done(); });
}

// The same on the quote server, with the chart of a code the market does
// not know (answered with an error); no page asks for it.
inline constexpr char kUnknownChart[] = "999999.XX";
inline bool quotesSettled()
{
    quotetest::TimesharingCatcher after;
    StockManager::getInstance()->requestQuota(&after, QString::fromLatin1(kUnknownChart));
    return spinUntil([&] { return after.done(); });
}

// The order pages' tests, at 10:00 on a trading day; each test logs in with
// the shareholder accounts it needs (logInWithHolders).
class OrderPageFixture : public quotetest::MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        OrderManager::resetInstance();
        QueryInfoManager::resetInstance();
        StockManager::resetInstance();
        MarketFixture::TearDown();
    }
    // The demo customer's shareholder accounts in the order his trade login
    // lists them (Shenzhen first, a Stock Connect one among them).
    void logInAsDemoCustomer()
    {
        const brokersim::Customer* customer = sim.state().broker().customer(QStringLiteral("010100000001"));
        ASSERT_NE(customer, nullptr);
        std::vector<Holder> holders;
        for (const brokersim::ShareholderAccount& h : customer->shareholders)
            holders.push_back(
                { brokersim::Broker::marketName(h.market), QString::number(h.market), h.secuid });
        logInWithHolders(holders);
    }
    std::vector<RDOOrder> ordersOfToday()
    {
        OrdersOfTodayCatcher c;
        QueryInfoManager::getInstance()->requestOrdersOfToday(&c);
        EXPECT_TRUE(spinUntil([&] { return c.done(); }));
        std::vector<RDOOrder> out;
        if (!c.results.empty()) {
            for (const QVariant& row : c.results[0]->contentObjectArray())
                out.push_back(row.value<RDOOrder>());
        }
        return out;
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    AnsweringAlerts alerts;
};

// The trading page's tests: a page opened for a link id (kept until the test
// ends), a code looked up, what the confirmation dialog does once shown.
class TradePageFixture : public OrderPageFixture {
protected:
    void TearDown() override
    {
        pages.clear();
        OrderPageFixture::TearDown();
    }
    // The logged-in account with its shareholder accounts of both exchanges
    // and one Stock Connect account the pages leave out.
    void logInWithShareholders()
    {
        logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" },
            { QStringLiteral("深圳A股"), "0", "0101000001" },
            { QStringLiteral("沪港通"), "5", "H101000001" } });
    }
    TradeViewController& openPage(qint64 linkId, TradeViewControllerServices services = {})
    {
        auto node = std::make_shared<BaseNode>();
        node->nodeLinkId = linkId;
        pages.push_back(std::make_unique<TradeViewController>(node, services));
        TradeViewController& page = *pages.back();
        page.setAlertPresenter(&alerts);
        page.load();
        return page;
    }
    // Types a code and waits for this lookup's own answers: its quote asks
    // for the chart, whose answer fills the price and asks for the maximum.
    // A price and a maximum left by an earlier lookup of the code prove
    // nothing: the answers of this one would still come after the call.
    void lookUp(TradeViewController& page, const QString& code)
    {
        const qsizetype before = sim.receivedCount();
        page.setCodeText(code);
        ASSERT_TRUE(spinUntil([&] { return lookedUpSince(before); }));
        ASSERT_TRUE(settled());
        ASSERT_FALSE(page.priceText().isEmpty());
        ASSERT_FALSE(page.maxAmountText().isEmpty());
    }
    // Whether a lookup went as far as the price since the `before`th request:
    // its chart was asked, then the maximum its answer asks.
    bool lookedUpSince(qsizetype before) const
    {
        const QList<brokersim::Request> asked = sim.received().mid(before);
        const auto chart = std::find_if(asked.cbegin(), asked.cend(),
            [](const brokersim::Request& r) { return r.function == brokersim::kTimesharingFunction; });
        return std::any_of(chart, asked.cend(),
            [](const brokersim::Request& r) { return r.function == brokersim::kMaxQuantityFunction; });
    }
    // What the dialog does once on screen.
    void whenShown(std::function<void(OrderAlertWindowController&)> action)
    {
        OrderAlertWindowController::setShownHookForTesting([action](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [&c, action] { action(c); });
        });
    }
    std::vector<std::unique_ptr<TradeViewController>> pages;
};

} // namespace pagestest

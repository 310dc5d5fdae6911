#include "trading/pages/TradeViewController.h"

#include "core/UserDefaultConfig.h"
#include "login/ActionLeftUnknown.h"
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "support/Spin.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Market.h"
#include "trading/orders/OrderManager.h"
#include "trading/pages/AssetQueryViewController.h"
#include "trading/query/QueryInfoManager.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/requests/TradeQueryRecords.h"
#include "trading/security/StockManager.h"
#include "trading_pages/AnswerAfterTheLock.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

class TradeViewControllerTest : public pagestest::TradePageFixture {
protected:
    // Every dialog shown is counted in `shown` and cancelled.
    void cancelWhenShown(int& shown)
    {
        whenShown([&shown](OrderAlertWindowController& d) {
            ++shown;
            d.cancelButtonClicked();
        });
    }
    // Types another code and waits until its quote has filled the form.
    void lookUpAnew(TradeViewController& page, const QString& code)
    {
        const QString name = market().security(code)->name;
        page.setPriceText(QString());
        page.setCodeText(code);
        ASSERT_TRUE(spinUntil([&] { return page.nameText() == name && !page.priceText().isEmpty(); }))
            << qPrintable(code);
    }
    QString selectedAccountTitle(const TradeViewController& page)
    {
        const int i = page.selectedAccount();
        return i >= 0 && i < page.accountTitles().size() ? page.accountTitles()[i] : QString();
    }
    // Confirms the dialog, waits for the answer; the body sent.
    brokersim::Request placeOrder(TradeViewController& page)
    {
        sim.clearReceived();
        alerts.shown.clear();
        whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
        page.orderButtonClicked();
        EXPECT_TRUE(spinUntil([&] { return !page.isBusy(); }));
        const auto sent = sim.receivedOf(brokersim::kOrderFunction);
        return sent.size() == 1 ? sent[0] : brokersim::Request();
    }
    // The account, market, direction and price of an order body.
    void expectBody(const brokersim::Request& sent, const char* secuid, const char* market, const char* flag,
        const QString& price)
    {
        EXPECT_EQ(sent.valueOr(u"secuid"), QString::fromLatin1(secuid));
        EXPECT_EQ(sent.valueOr(u"market"), QString::fromLatin1(market));
        EXPECT_EQ(sent.valueOr(u"bsflag"), QString::fromLatin1(flag));
        EXPECT_EQ(sent.valueOr(u"price"), price);
    }
    // A holding the customer did not have at log-in.
    void hold(const char* marketCode, const char* code, const char* secuid, qint64 quantity)
    {
        const brokersim::Customer* customer = sim.state().broker().customer(QStringLiteral("010100000001"));
        brokersim::BackOffice::Position p;
        p.secuid = QString::fromLatin1(secuid);
        p.market = QString::fromLatin1(marketCode);
        p.code = QString::fromLatin1(code);
        p.name = market().security(p.code)->name;
        p.quantity = p.available = quantity;
        brokersim::backOffice(sim)->account(*customer).positions[p.market + u'|' + p.code] = p;
    }
    int rowOf(const TradeViewController& page, const QString& code)
    {
        if (!page.positions())
            return -1;
        const QVariantList& rows = page.positions()->contentObjectArray();
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].value<RDOPositionDetail>().stockCode == code)
                return i;
        return -1;
    }
};

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
    page.setCodeText(QStringLiteral("60000"));
    page.stockCodeEditEnd();
    EXPECT_EQ(page.codeText(), QStringLiteral("060000"));
}

TEST_F(TradeViewControllerTest, StepperDecimalsFollowTheIncrement)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10001);
    EXPECT_TRUE(page.moneyRowHidden());
    page.pricesStepperClicked(1.2345);
    EXPECT_EQ(page.priceText(), QStringLiteral("1.23")); // increment 0.01
}

// The buy page takes the buy default price, the sell page the sell one; the
// buy page asks the maximum quantity again on every price or type change,
// the sell page only when the account changes; a failed maximum reads "0"
// and the unit.
TEST_F(TradeViewControllerTest, TheSideDecidesTheDefaultPriceAndWhatAsksTheMaximumAgain)
{
    logInWithShareholders();
    // The user's settings: the buy page opens at the first offer, the sell
    // page at the first bid.
    UserDefaultConfig* settings = UserDefaultConfig::getInstance();
    settings->setBuyDefaultType(1);
    settings->setSellDefaultType(2);
    for (const qint64 link : { 10000, 10001 }) {
        const bool buy = link == 10000;
        SCOPED_TRACE(buy ? "buy" : "sell");
        TradeViewController& page = openPage(link);
        lookUp(page, QStringLiteral("600000"));
        const auto security = StockManager::getInstance()->getSecurity(QStringLiteral("600000"));
        ASSERT_TRUE(security);
        ASSERT_NE(security->defaultBuyPrice(), security->defaultSellPrice());
        EXPECT_EQ(page.priceText(), buy ? security->defaultBuyPrice() : security->defaultSellPrice());
        const int own = page.selectedAccount(); // the Shanghai one
        const int other = 1 - own;

        const struct {
            const char* what;
            std::function<void()> change;
            bool buyAsks;
            bool sellAsks;
        } changes[] = {
            { "order type", [&] { page.orderTypePButtonSelected(1); }, true, false },
            { "price typed",
                [&] {
                    page.setPriceText(QStringLiteral("9.99"));
                    page.priceEditEnd();
                },
                true, false },
            { "stepper", [&] { page.pricesStepperClicked(page.stepperValue() + page.stepperIncrement()); },
                true, false },
            { "account", [&] { page.shareholderCodePButtonSelectedChanged(other); }, true, true },
            // A level without a price in the quote panel: nothing taken.
            { "\"--\" clicked",
                [&] {
                    const QString price = page.priceText();
                    page.updatePrice(QStringLiteral("--"));
                    EXPECT_EQ(page.priceText(), price);
                },
                false, false },
        };
        for (const auto& c : changes) {
            SCOPED_TRACE(c.what);
            sim.clearReceived();
            c.change();
            const qsizetype asked = (buy ? c.buyAsks : c.sellAsks) ? 1 : 0;
            if (asked)
                EXPECT_TRUE(
                    spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) > 0; }));
            testsupport::spinFor(std::chrono::milliseconds(200));
            EXPECT_EQ(sim.receivedCount(brokersim::kMaxQuantityFunction), asked);
        }

        // The server cannot answer the maximum: "0" and the unit.
        const QString failed = QStringLiteral("0") + security->getUnitName();
        sim.clearReceived();
        page.shareholderCodePButtonSelectedChanged(own);
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) == 1; }));
        testsupport::spinFor(std::chrono::milliseconds(200)); // its answer
        ASSERT_NE(page.maxAmountText(), failed);
        sim.answerErrorNext(brokersim::kMaxQuantityFunction, -1, QStringLiteral("系统忙"));
        page.shareholderCodePButtonSelectedChanged(other);
        EXPECT_TRUE(spinUntil([&] { return page.maxAmountText() == failed; }))
            << qPrintable(page.maxAmountText());
    }
    settings->setBuyDefaultType(0);
    settings->setSellDefaultType(0);
}

// A page takes part in the rounds for what it shows: the sell pages show no
// available money, so money owed neither marks them nor has them read it.
TEST_F(TradeViewControllerTest, EachSideReadsAgainOnlyTheFiguresItShows)
{
    logInWithShareholders();
    const struct {
        qint64 link;
        bool showsMoney;
    } rows[] = { { 10000, true }, { 10001, false }, { 10007, true }, { 10008, false } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.link);
        OwedReads::resetInstance();
        OwedReads* owed = OwedReads::getInstance();
        owed->setRoundDelays({ std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
        TradeViewController& page = openPage(row.link);
        ASSERT_TRUE(pagestest::settled());
        EXPECT_EQ(page.moneyRowHidden(), !row.showsMoney);
        const qsizetype money = sim.receivedCount(brokersim::kMoneyFunction);
        actionLeftUnknown({ QString::fromLatin1(owedfigure::kMoney) });
        EXPECT_EQ(
            page.figuresOutOfDate(), row.showsMoney ? QStringList { owedfigure::kMoney } : QStringList());
        // The round is over: it read the money, or asked nothing.
        ASSERT_TRUE(spinUntil(
            [&] { return !owed->roundInFlight() && (!owed->owes() || owed->roundWait().count() > 0); }));
        ASSERT_TRUE(pagestest::settled());
        EXPECT_EQ(sim.receivedCount(brokersim::kMoneyFunction), money + (row.showsMoney ? 1 : 0));
        EXPECT_TRUE(page.figuresOutOfDate().isEmpty());
        page.unloadView();
    }
}

TEST_F(TradeViewControllerTest, BuyConfirmedGivesTheOrderNumberAndOneOrderOnly)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    lookUp(page, QStringLiteral("600000"));
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
    ASSERT_FALSE(page.lastOrderNumber().isEmpty())
        << (alerts.shown.empty() ? std::string("no alert") : alerts.shown.back().text.toStdString());
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

    // A field that would split the request body, or that no request can
    // carry, never goes out, and its box names it; nor does a code one
    // character short.
    const QString missing = QString::fromUtf8(TradeViewController::kMissingInputMessage);
    const QString quantity = typednumber::refusal(QStringLiteral("卖出数量"));
    const struct {
        const char* code;
        const char16_t* quantity;
        const char16_t* price;
        QString told;
    } incomplete[] = { { "600000", u"100&qty=1", u"10.00", quantity }, { "60000", u"100", u"10.00", missing },
        { "600000", u"１００股", u"10.00", quantity }, { "600000", u"－１００", u"10.00", quantity },
        { "600000", u"１，０００", u"10.00", quantity },
        { "600000", u"100", u"１０元", typednumber::refusal(QStringLiteral("卖出价格")) },
        { "600000", u"100", u"１０．５０元", typednumber::refusal(QStringLiteral("卖出价格")) },
        { "60000=", u"100", u"10.00", typednumber::refusal(QStringLiteral("证券代码")) } };
    for (const auto& c : incomplete) {
        SCOPED_TRACE(
            QString::fromUtf16(c.quantity).toStdString() + " " + QString::fromUtf16(c.price).toStdString());
        page.setCodeText(QString::fromLatin1(c.code));
        page.setPriceText(QString::fromUtf16(c.price));
        page.setQuantityText(QString::fromUtf16(c.quantity));
        alerts.shown.clear();
        page.orderButtonClicked();
        EXPECT_FALSE(page.isBusy()); // nothing on its way
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].text, c.told);
    }
}

// An input method in full-width mode types "６０００００", "１０．００" and
// "１００": the page looks the code up and orders what the digits say.
TEST_F(TradeViewControllerTest, FullWidthDigitsAreLookedUpAndOrderedAsDigits)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10001);
    lookUp(page, QString::fromUtf16(u"６０００００"));
    EXPECT_EQ(page.codeText(), QStringLiteral("600000"));
    page.setPriceText(QString::fromUtf16(u"\u3000１０．００"));
    EXPECT_EQ(page.stepperValue(), 10.0); // the stepper steps from it
    page.setQuantityText(QString::fromUtf16(u"１００\u3000"));
    const brokersim::Request sent = placeOrder(page);
    EXPECT_EQ(sent.valueOr(u"stkcode"), QStringLiteral("600000"));
    EXPECT_EQ(sent.valueOr(u"price"), QStringLiteral("10.00"));
    EXPECT_EQ(sent.valueOr(u"qty"), QStringLiteral("100"));
}

TEST_F(TradeViewControllerTest, NoShareholderAccountIsReported)
{
    TradeViewController& page = openPage(10000);
    EXPECT_TRUE(page.accountTitles().isEmpty());
    page.orderButtonClicked();
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(TradeViewController::kNoAccountMessage));
}

// The demo customer's first account is a Shenzhen one: the page must choose
// the account of each code's market itself, offer that market's order types
// and send the type whose title was confirmed.
TEST_F(TradeViewControllerTest, AccountFollowsEachCodesMarketAndEveryKindOfOrderGoesAsConfirmed)
{
    logInAsDemoCustomer();
    TradeViewController& buy = openPage(10000);
    TradeViewController& sell = openPage(10001);
    ASSERT_TRUE(buy.accountTitles().value(0).contains(QStringLiteral("0101000001")));
    const struct {
        int side;
        const char* code;
        const char* secuid;
        const char* title;
        const char* flag;
        bool priced; // a limit order, or a market-price one with a protection price
        const char* quantity;
        const char* exchangeId = nullptr; // as the quote sends it; nothing: the market's
    } cases[] = {
        { 0, "600000", "A101000001", "限价委托", "B", true, "100" },
        { 0, "000001", "0101000001", "对方最优价格委托", "a", false, "100" },
        { 0, "600000", "A101000001", "五档即时成交剩余撤销", "d", false, "100" },
        { 0, "688001", "A101000001", "对方最优价格委托", "a", true, "200" },
        { 0, "000001", "0101000001", "限价委托", "B", true, "100" },
        { 1, "600000", "A101000001", "限价委托", "S", true, "100" },
        { 1, "000001", "0101000001", "五档即时成交剩余撤销", "i", false, "100" },
        // The exchange by its value, as a number field sends it.
        { 0, "600000", "A101000001", "限价委托", "B", true, "100", "2.000" },
        { 1, "000001", "0101000001", "限价委托", "S", true, "100", "1.0" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.code) + " " + c.title);
        TradeViewController& page = c.side == 0 ? buy : sell;
        if (c.exchangeId)
            market().security(QString::fromLatin1(c.code))->exchangeId = QString::fromLatin1(c.exchangeId);
        sim.clearReceived();
        lookUpAnew(page, QString::fromLatin1(c.code));
        // The chart asks for the code and the exchange's plain number.
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kTimesharingFunction) > 0; }));
        EXPECT_EQ(sim.receivedOf(brokersim::kTimesharingFunction).back().valueOr(u"code"),
            QString::fromLatin1(c.code)
                + (QLatin1String(c.secuid) == QLatin1String("0101000001") ? ".1" : ".2"));
        EXPECT_TRUE(selectedAccountTitle(page).contains(QString::fromLatin1(c.secuid)));
        const bool shenzhen = QLatin1String(c.secuid) == QLatin1String("0101000001");
        // Titles only the Shenzhen list has, and one only Shanghai's has.
        EXPECT_EQ(page.orderTypeTitles().contains(QStringLiteral("全额成交或撤销委托")), shenzhen);
        EXPECT_EQ(page.orderTypeTitles().contains(QStringLiteral("五档即时成交剩余转限")), !shenzhen);
        const int type = int(page.orderTypeTitles().indexOf(QString::fromUtf8(c.title)));
        ASSERT_GE(type, 0);
        page.orderTypePButtonSelected(type);
        EXPECT_EQ(page.priceHidden(), !c.priced);
        page.setQuantityText(QString::fromLatin1(c.quantity));
        // A price the order does not carry is no part of it, whatever the
        // hidden field holds.
        if (!c.priced)
            page.setPriceText(QString::fromUtf16(u"１０．５０元"));
        const QString price = page.priceText();
        const brokersim::Request sent = placeOrder(page);
        ASSERT_FALSE(alerts.shown.empty());
        EXPECT_TRUE(alerts.shown.back().text.startsWith(QStringLiteral("委托申请已提交，序号为")))
            << qPrintable(alerts.shown.back().text);
        EXPECT_EQ(sent.valueOr(u"stkcode"), QString::fromLatin1(c.code));
        EXPECT_EQ(sent.valueOr(u"secuid"), QString::fromLatin1(c.secuid));
        EXPECT_EQ(sent.valueOr(u"market"), shenzhen ? QStringLiteral("0") : QStringLiteral("1"));
        EXPECT_EQ(sent.valueOr(u"bsflag"), QString::fromLatin1(c.flag));
        EXPECT_EQ(sent.valueOr(u"price", QStringLiteral("absent")), c.priced ? price : QString());
        EXPECT_EQ(sent.valueOr(u"qty"), QString::fromLatin1(c.quantity));
    }
}

// Choosing by hand: an account of another market offers titles that mean
// another type (or none) in the security's market.
TEST_F(TradeViewControllerTest, ATitleOfAnotherMarketIsRefusedBeforeTheDialog)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    lookUpAnew(page, QStringLiteral("600000"));
    page.shareholderCodePButtonSelectedChanged(0); // the Shenzhen account, by hand
    const int type = int(page.orderTypeTitles().indexOf(QStringLiteral("对方最优价格委托")));
    ASSERT_GE(type, 0);
    page.orderTypePButtonSelected(type);
    page.setQuantityText(QStringLiteral("100"));
    bool shown = false;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        shown = true;
        c.cancelButtonClicked();
    });
    sim.clearReceived();
    page.orderButtonClicked();
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(TradeViewController::kOrderTypeNotOfMarketMessage));
    testsupport::spinFor(std::chrono::milliseconds(50));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(page.isBusy());
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 0);

    // Over-long quantities and prices are refused in words a customer
    // understands, before the risk list is asked for.
    page.orderTypePButtonSelected(0);
    page.setQuantityText(QString(10000, QLatin1Char('9')));
    page.orderButtonClicked();
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("买入数量过长：最多255个字符")); // by its label
    page.setQuantityText(QStringLiteral("100"));
    page.setPriceText(QString(256, QLatin1Char('9')));
    page.orderButtonClicked();
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("买入价格过长：最多255个字符")); // by its label
    EXPECT_FALSE(page.isBusy());
    EXPECT_FALSE(shown);
}

TEST_F(TradeViewControllerTest, APickedPositionFillsTheFormAndIsAppliedAgainAfterAnOrder)
{
    hold("5", "00700", "A101000001", 100); // a Stock Connect holding the page never shows
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    for (const QVariant& row : page.positions()->contentObjectArray())
        EXPECT_NE(row.value<RDOPositionDetail>().marketCode, QStringLiteral("5"));
    EXPECT_EQ(rowOf(page, QStringLiteral("00700")), -1);

    const int row = rowOf(page, QStringLiteral("600000"));
    page.positionTableViewClicked(row);
    EXPECT_EQ(page.codeText(), QStringLiteral("600000"));
    EXPECT_EQ(page.nameText(), market().security(QStringLiteral("600000"))->name);
    EXPECT_TRUE(selectedAccountTitle(page).contains(QStringLiteral("A101000001")));
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
    EXPECT_TRUE(selectedAccountTitle(page).contains(QStringLiteral("A101000001")));

    // A sell at the limit-up price rests; the positions that follow the
    // answer apply the row again, whose lookup resets the price to the
    // default price; the quantity is emptied for the next order.
    const brokersim::MarketSecurity& stock = *market().security(QStringLiteral("600000"));
    const QString limitUp
        = brokersim::Market::ticksText(brokersim::Market::priceLimitTicks(stock, true), stock.precision);
    page.setPriceText(limitUp);
    page.setQuantityText(QStringLiteral("100"));
    const brokersim::Request sent = placeOrder(page);
    EXPECT_EQ(sent.valueOr(u"secuid"), QStringLiteral("A101000001"));
    EXPECT_EQ(sent.valueOr(u"bsflag"), QStringLiteral("S"));
    ASSERT_TRUE(spinUntil([&] { return lookedUpSince(0); }));
    ASSERT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), 1);
    EXPECT_EQ(
        sim.receivedOf(brokersim::kQuote5LevelExFunction)[0].valueOr(u"code"), QStringLiteral("600000"));
    const auto held = StockManager::getInstance()->getSecurity(QStringLiteral("600000"));
    ASSERT_TRUE(held);
    ASSERT_NE(held->defaultSellPrice(), limitUp);
    EXPECT_EQ(page.priceText(), held->defaultSellPrice());
    EXPECT_EQ(page.selectedPositionRow(), row);
    EXPECT_TRUE(page.quantityText().isEmpty());

    // A code looked up anew gets its own default price.
    lookUp(page, QStringLiteral("000001"));
    const auto other = StockManager::getInstance()->getSecurity(QStringLiteral("000001"));
    ASSERT_TRUE(other);
    EXPECT_EQ(page.priceText(), other->defaultSellPrice());
}

// The picked row applied again by a positions reply brings the default
// price over the one typed, whatever else of the form is on its way; so does
// the row picked by hand, and a lookup with no price left in the field.
TEST_F(TradeViewControllerTest, ThePickedRowAppliedAgainBringsTheDefaultPrice)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    const int row = rowOf(page, QStringLiteral("600000"));
    qsizetype before = sim.receivedCount();
    page.positionTableViewClicked(row);
    ASSERT_TRUE(spinUntil([&] { return lookedUpSince(before); }));
    const brokersim::MarketSecurity& stock = *market().security(QStringLiteral("600000"));
    const QString typed
        = brokersim::Market::ticksText(brokersim::Market::priceLimitTicks(stock, true), stock.precision);
    const auto count = [this](brokersim::Function f) { return sim.receivedCount(f); };
    using brokersim::kQuote5LevelExFunction;
    using brokersim::kTimesharingFunction;
    const struct {
        const char* way;
        std::function<void()> act; // starts the lookup; `before` marks where its requests begin
    } rows[] = {
        { "a refresh's chart still on its way",
            [&] {
                sim.withholdNext(kTimesharingFunction);
                const qsizetype charts = count(kTimesharingFunction);
                page.refreshTimesharingQuotes();
                ASSERT_TRUE(spinUntil([&] { return count(kTimesharingFunction) == charts + 1; }));
                sim.withholdNext(kQuote5LevelExFunction);
                const qsizetype quotes = count(kQuote5LevelExFunction);
                page.readOwed({ owedfigure::kPositions });
                ASSERT_TRUE(spinUntil([&] { return count(kQuote5LevelExFunction) == quotes + 1; }));
                before = sim.receivedCount();
                sim.releaseWithheld(); // the refresh's chart, then the lookup's quote
            } },
        { "the row picked by hand after a lookup of it failed",
            [&] {
                sim.answerErrorNext(kQuote5LevelExFunction, -1, QStringLiteral("行情忙"));
                const qsizetype quotes = count(kQuote5LevelExFunction);
                page.readOwed({ owedfigure::kPositions });
                ASSERT_TRUE(spinUntil([&] { return count(kQuote5LevelExFunction) == quotes + 1; }));
                ASSERT_TRUE(pagestest::quotesSettled());
                before = sim.receivedCount();
                page.positionTableViewClicked(row);
            } },
        { "no price left in the field",
            [&] {
                page.setPriceText(QString());
                before = sim.receivedCount();
                page.readOwed({ owedfigure::kPositions });
            } },
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.way);
        page.setPriceText(typed);
        r.act();
        ASSERT_TRUE(spinUntil([&] { return lookedUpSince(before); }));
        EXPECT_EQ(page.priceText(),
            StockManager::getInstance()->getSecurity(QStringLiteral("600000"))->defaultSellPrice());
        ASSERT_TRUE(pagestest::settled());
    }
}

// One positions reply reaches the trading page and the asset page that asked
// together, whichever asked first: the trading page leaves the Stock Connect
// holding out of a copy of its own, and the asset page shows every holding,
// each row acting on the position it shows.
TEST_F(TradeViewControllerTest, APositionsReplySharedWithTheAssetPageStaysWhole)
{
    hold("5", "00700", "A101000001", 100);
    logInAsDemoCustomer();
    for (const bool assetFirst : { true, false }) {
        SCOPED_TRACE(assetFirst ? "the asset page asks first" : "the trading page asks first");
        pages.clear();
        sim.clearReceived();
        sim.withholdNext(brokersim::kPositionsFunction);
        AssetQueryViewController asset;
        asset.setAlertPresenter(&alerts);
        if (assetFirst)
            asset.load();
        TradeViewController& page = openPage(10001);
        if (!assetFirst)
            asset.load();
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([&] { return page.positions() && asset.positions(); }));
        EXPECT_EQ(sim.receivedCount(brokersim::kPositionsFunction), 1);
        EXPECT_EQ(rowOf(page, QStringLiteral("00700")), -1);
        ASSERT_GE(rowOf(page, QStringLiteral("600000")), 0);

        const DVTableModel& shown = asset.positionTable();
        const QVariantList& records = asset.positions()->contentObjectArray();
        const int codeColumn
            = int(shown.titles().indexOf(QStringLiteral("证券代码"))) + shown.dataColumnOffset();
        ASSERT_EQ(shown.shownRowCount(), records.size());
        int hongKong = -1;
        for (int row = 0; row < shown.shownRowCount(); ++row) {
            const QString code = shown.data(shown.index(row, codeColumn)).toString();
            EXPECT_EQ(code, records[shown.sourceRow(row)].value<RDOPositionDetail>().stockCode);
            if (code == QLatin1String("00700"))
                hongKong = shown.sourceRow(row);
        }
        ASSERT_GE(hongKong, 0);
        asset.endEditing(hongKong, asset.editableColumnIndex(), QStringLiteral("124"));
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kResetCostFunction) == 1; }));
        EXPECT_EQ(sim.receivedOf(brokersim::kResetCostFunction)[0].valueOr(u"stkcode"), "00700");
        ASSERT_TRUE(spinUntil([&] { return !alerts.shown.empty(); }));
        ASSERT_TRUE(pagestest::settled());
        alerts.shown.clear();
    }
}

// The picked row is applied again after a positions reply only while the
// form still shows its security: a code typed since then stays.
TEST_F(TradeViewControllerTest, ARowOfAnotherSecurityIsNotAppliedAgainAfterTheRefresh)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    const int row = rowOf(page, QStringLiteral("600000"));
    page.positionTableViewClicked(row);
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
    lookUpAnew(page, QStringLiteral("000001"));
    ASSERT_EQ(page.selectedPositionRow(), row);

    sim.clearReceived();
    QueryInfoManager::getInstance()->requestPositionInfo(&page, 0);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kPositionsFunction) == 1; }));
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(page.codeText(), QStringLiteral("000001"));
    EXPECT_EQ(page.nameText(), market().security(QStringLiteral("000001"))->name);
    EXPECT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), 0);
}

// Rows of three markets picked in turn: each brings its own account and its
// market's order types; a sell from the row goes out with them.
TEST_F(TradeViewControllerTest, PositionRowsOfEachMarketBringTheirOwnAccount)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("900901")) >= 0; }));
    const struct {
        const char* code;
        const char* secuid;
        const char* market;
        int titles;
    } rows[] = { { "000001", "0101000001", "0", 6 }, { "600000", "A101000001", "1", 3 },
        { "900901", "C101000001", "3", 1 }, { "000001", "0101000001", "0", 6 } };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.code);
        const QString code = QString::fromLatin1(r.code);
        page.setPriceText(QString());
        page.positionTableViewClicked(rowOf(page, code));
        EXPECT_TRUE(selectedAccountTitle(page).contains(QString::fromLatin1(r.secuid)));
        ASSERT_TRUE(
            spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
        EXPECT_EQ(page.codeText(), code);
        EXPECT_TRUE(selectedAccountTitle(page).contains(QString::fromLatin1(r.secuid)));
        EXPECT_EQ(page.orderTypeTitles().size(), r.titles);
        EXPECT_EQ(page.selectedOrderType(), 0);
    }
    // The last row picked, sold at the default type and price.
    const QString price = page.priceText();
    page.setQuantityText(QStringLiteral("100"));
    const brokersim::Request sent = placeOrder(page);
    EXPECT_EQ(sent.valueOr(u"stkcode"), QStringLiteral("000001"));
    expectBody(sent, "0101000001", "0", "S", price);
}

// Two Shanghai accounts, the holding in the second: the row's account stays
// through the lookup and the positions that follow an order.
TEST_F(TradeViewControllerTest, APositionKeepsItsAccountOverTheFirstOfItsMarket)
{
    logInWithHolders({ { QStringLiteral("深圳A股"), "0", "0101000001" },
        { QStringLiteral("上海A股"), "1", "A100000009" }, { QStringLiteral("上海A股"), "1", "A101000001" } });
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    page.positionTableViewClicked(rowOf(page, QStringLiteral("600000")));
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
    EXPECT_EQ(page.selectedAccount(), 2);
    page.setQuantityText(QStringLiteral("100"));
    EXPECT_EQ(placeOrder(page).valueOr(u"secuid"), QStringLiteral("A101000001"));
    // The positions reply applies the row again: a new lookup, same account.
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kQuote5LevelExFunction) == 1; }));
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) >= 2; }));
    EXPECT_EQ(page.selectedAccount(), 2);
    EXPECT_EQ(sim.receivedOf(brokersim::kMaxQuantityFunction).back().valueOr(u"secuid"),
        QStringLiteral("A101000001"));

    // A code typed afterwards follows its market as usual.
    lookUpAnew(page, QStringLiteral("000001"));
    EXPECT_EQ(page.selectedAccount(), 0);
}

// An order type chosen for one market never travels with a code of another:
// the new market's list starts again at its limit order.
TEST_F(TradeViewControllerTest, ATypeChosenForOneMarketDoesNotFollowTheCodeToAnother)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    lookUpAnew(page, QStringLiteral("000001"));
    page.orderTypePButtonSelected(int(page.orderTypeTitles().indexOf(QStringLiteral("对方最优价格委托"))));
    ASSERT_TRUE(page.priceHidden());
    lookUpAnew(page, QStringLiteral("600000"));
    EXPECT_EQ(page.orderTypeTitles().value(page.selectedOrderType()), QStringLiteral("限价委托"));
    EXPECT_FALSE(page.priceHidden());
    const QString price = page.priceText();
    page.setQuantityText(QStringLiteral("100"));
    expectBody(placeOrder(page), "A101000001", "1", "B", price);
}

TEST_F(TradeViewControllerTest, RefreshIntervalAndMaskingChangesKeepTheForm)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    EXPECT_EQ(page.pageTimerCount(), 1u);
    EXPECT_EQ(page.pageRegistrationCount(), 3);
    lookUpAnew(page, QStringLiteral("600000"));
    const int account = page.selectedAccount();
    ASSERT_TRUE(selectedAccountTitle(page).contains(QStringLiteral("A101000001")));
    page.orderTypePButtonSelected(1);
    page.setQuantityText(QStringLiteral("300"));
    const QStringList types = page.orderTypeTitles();

    UserDefaultConfig* config = UserDefaultConfig::getInstance();
    config->setQuoteRefreshTime(3); // each change posts notification 17
    config->setQuoteRefreshTime(5);
    EXPECT_EQ(page.pageTimerCount(), 1u);
    EXPECT_EQ(page.refreshInterval(), UserDefaultConfig::getTimeIntervalForRefresh(5));
    EXPECT_EQ(page.pageRegistrationCount(), 3);
    EXPECT_EQ(page.codeText(), QStringLiteral("600000"));
    EXPECT_EQ(page.quantityText(), QStringLiteral("300"));
    EXPECT_EQ(page.selectedAccount(), account);
    config->setQuoteRefreshTime(1); // 不刷新
    EXPECT_EQ(page.pageTimerCount(), 0u);
    EXPECT_EQ(page.refreshInterval(), 0);

    config->setAccountProtectOption(true); // notification 19
    EXPECT_EQ(page.selectedAccount(), account);
    EXPECT_FALSE(selectedAccountTitle(page).contains(QStringLiteral("A101000001"))); // masked now
    EXPECT_EQ(page.orderTypeTitles(), types);
    EXPECT_EQ(page.selectedOrderType(), 1);
    EXPECT_EQ(page.quantityText(), QStringLiteral("300"));
    EXPECT_EQ(page.pageRegistrationCount(), 3);

    // Another interval after "不刷新" starts one timer again.
    config->setQuoteRefreshTime(3);
    EXPECT_EQ(page.pageTimerCount(), 1u);
    EXPECT_EQ(page.refreshInterval(), UserDefaultConfig::getTimeIntervalForRefresh(3));
}

TEST_F(TradeViewControllerTest, SideRequestsCarryWhatTheirAccountAndTypeNeed)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    ASSERT_TRUE(spinUntil([&] { return !page.availableMoneyText().isEmpty() && page.positions(); }));
    // The money type of the account chosen by hand.
    const struct {
        const char* secuid;
        const char* moneyType;
    } accounts[]
        = { { "2101000001", "1" }, { "C101000001", "2" }, { "0701000001", "2" }, { "0101000001", "0" } };
    for (const auto& a : accounts) {
        const int index = int(std::find_if(page.accountTitles().begin(), page.accountTitles().end(),
                                  [&](const QString& t) { return t.contains(QString::fromLatin1(a.secuid)); })
            - page.accountTitles().begin());
        ASSERT_LT(index, page.accountTitles().size()) << a.secuid;
        sim.clearReceived();
        page.shareholderCodePButtonSelectedChanged(index);
        EXPECT_TRUE(spinUntil([&] {
            const auto sent = sim.receivedOf(brokersim::kMoneyFunction);
            return !sent.isEmpty() && sent.back().valueOr(u"moneytype") == QLatin1String(a.moneyType);
        })) << a.secuid;
    }

    // The maximum quantity carries the typed price only for a type that
    // sends one.
    lookUpAnew(page, QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return !page.maxAmountText().isEmpty(); }));
    sim.clearReceived();
    page.setPriceText(QStringLiteral("9.87"));
    page.priceEditEnd();
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) == 1; }));
    EXPECT_EQ(sim.receivedOf(brokersim::kMaxQuantityFunction)[0].valueOr(u"price"), QStringLiteral("9.87"));
    EXPECT_EQ(sim.receivedOf(brokersim::kMaxQuantityFunction)[0].valueOr(u"bsflag"), QStringLiteral("B"));
    page.orderTypePButtonSelected(
        int(page.orderTypeTitles().indexOf(QStringLiteral("五档即时成交剩余撤销"))));
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMaxQuantityFunction) == 2; }));
    const brokersim::Request marketPrice = sim.receivedOf(brokersim::kMaxQuantityFunction)[1];
    EXPECT_EQ(marketPrice.valueOr(u"price", QStringLiteral("absent")), QStringLiteral("absent"));
    EXPECT_EQ(marketPrice.valueOr(u"bsflag"), QStringLiteral("d"));

    // The panel's layout from the class, read by its value: 2 for a Shenzhen
    // repo (1004), 3 for the STAR market, 0 otherwise.
    const struct {
        const char* code;
        qint32 type;
        const char* classId = nullptr; // as the quote sends it; nothing: the market's
    } panels[] = { { "131810", 2 }, { "688001", 3 }, { "600000", 0 }, { "600087", 0 },
        { "131810", 2, "1004.000" }, { "688001", 3, "116.000" } };
    for (const auto& p : panels) {
        if (p.classId)
            market().security(QString::fromLatin1(p.code))->classId = QString::fromLatin1(p.classId);
        lookUpAnew(page, QString::fromLatin1(p.code));
        EXPECT_EQ(page.quotePanel()->quoteMarketType(), p.type) << p.code;
    }
}

TEST_F(TradeViewControllerTest, TimerTicksRefreshOnChinaTimeAndTakeAChangedCodeAsNew)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    lookUpAnew(page, QStringLiteral("000001"));
    lookUpAnew(page, QStringLiteral("600000"));

    // Outside opening time (China time) a tick sends nothing.
    {
        const platform::ChinaClock::Override lunch(platform::ChinaClock::at(2026, 12, 2, 12, 0));
        sim.clearReceived();
        page.refreshTimesharingQuotes();
        testsupport::spinFor(std::chrono::milliseconds(50));
        EXPECT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), 0);
    }

    // A lookup that failed leaves nothing of the old code in the form; the
    // next tick (in opening time) takes the code in the field as a new one
    // and fills the form from it.
    const platform::ChinaClock::Override open(platform::ChinaClock::at(2026, 12, 2, 10, 0));
    sim.answerErrorNext(brokersim::kQuote5LevelExFunction, -1, QStringLiteral("行情服务暂停"));
    sim.clearReceived();
    page.setCodeText(QStringLiteral("000001"));
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kQuote5LevelExFunction) == 1; }));
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_TRUE(page.nameText().isEmpty()) << qPrintable(page.nameText());
    EXPECT_TRUE(page.priceText().isEmpty()) << qPrintable(page.priceText());
    page.refreshTimesharingQuotes();
    ASSERT_TRUE(
        spinUntil([&] { return page.nameText() == market().security(QStringLiteral("000001"))->name; }));
    EXPECT_TRUE(selectedAccountTitle(page).contains(QStringLiteral("0101000001")));
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

// Message boxes recorded; the test answers them when it likes.
struct HeldAlerts final : AlertPresenter {
    std::vector<std::pair<AlertRequest, Completion>> shown;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.emplace_back(request, std::move(completion));
    }
};

// A change of the active account while an order is on its way to the
// dialog ends that order: no dialog opens for the account left, and the
// order button works again.
TEST_F(TradeViewControllerTest, AnAccountChangeEndsTheOrderOnItsWayToTheDialog)
{
    logInAsDemoCustomer();
    HeldAlerts held;
    TradeViewController& page = openPage(10000);
    page.setAlertPresenter(&held);
    int shown = 0;
    cancelWhenShown(shown);
    const struct {
        const char* code;
        bool warned; // on the risk-warning list: the warning is up at the change
    } cases[] = { { "600000", false }, { "600087", true } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        lookUpAnew(page, QString::fromLatin1(c.code));
        page.setQuantityText(QStringLiteral("100"));
        held.shown.clear();
        shown = 0;
        if (!c.warned)
            sim.withholdNext(brokersim::kRiskWarningListFunction);
        page.orderButtonClicked();
        if (c.warned)
            ASSERT_TRUE(spinUntil([&] { return !held.shown.empty(); }));
        else
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        page.loginAccountChanged();
        EXPECT_FALSE(page.isBusy());
        if (c.warned)
            held.shown.front().second(1); // "确认" on the old warning
        else
            sim.releaseWithheld();
        testsupport::spinFor(std::chrono::milliseconds(100));
        EXPECT_EQ(shown, 0);
        EXPECT_FALSE(page.isBusy());
    }
    // The next order goes on to the dialog.
    lookUpAnew(page, QStringLiteral("600000"));
    page.setQuantityText(QStringLiteral("100"));
    page.orderButtonClicked();
    EXPECT_TRUE(spinUntil([&] { return shown == 1 && !page.isBusy(); }));
}

// The holdings of the account left behind are never shown for the next one,
// not even while its own positions are on their way.
TEST_F(TradeViewControllerTest, AnAccountChangeForgetsTheOldPositionsAndThePickedRow)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    page.positionTableViewClicked(rowOf(page, QStringLiteral("600000")));
    ASSERT_GE(page.selectedPositionRow(), 0);
    sim.withholdNext(brokersim::kPositionsFunction);
    page.loginAccountChanged();
    EXPECT_FALSE(page.positions());
    EXPECT_EQ(page.selectedPositionRow(), -1);
    // One refresh timer and one registration per notification, as before.
    EXPECT_EQ(page.pageTimerCount(), 1u);
    EXPECT_EQ(page.pageRegistrationCount(), 3);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.releaseWithheld();
    EXPECT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    EXPECT_EQ(page.selectedPositionRow(), -1);
}

// The code field stays editable while the risk list is asked for: what the
// dialog would show is checked again, so an incomplete code or a title the
// new code's market does not know never reaches it.
TEST_F(TradeViewControllerTest, AFormChangedWhileTheRiskListIsAskedForIsCheckedAgain)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    lookUpAnew(page, QStringLiteral("600000"));
    lookUpAnew(page, QStringLiteral("000001"));
    int shown = 0;
    cancelWhenShown(shown);
    const struct {
        const char* typed;
        const char* message;
    } cases[] = { { "6000", TradeViewController::kMissingInputMessage },
        // Cached from before, its answer not yet back: the Shenzhen title stays.
        { "600000", TradeViewController::kOrderTypeNotOfMarketMessage } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        lookUpAnew(page, QStringLiteral("000001"));
        page.orderTypePButtonSelected(
            int(page.orderTypeTitles().indexOf(QStringLiteral("对方最优价格委托"))));
        page.setQuantityText(QStringLiteral("100"));
        alerts.shown.clear();
        sim.withholdNext(brokersim::kRiskWarningListFunction);
        page.orderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        sim.withholdNext(brokersim::kQuote5LevelExFunction);
        page.setCodeText(QString::fromLatin1(c.typed));
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
        ASSERT_FALSE(alerts.shown.empty());
        EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(c.message));
        EXPECT_EQ(shown, 0);
        sim.clearControls();
    }
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 0);
}

// The dialog opens in the event-loop pass after the risk list's answer, not
// from inside its handler and not after a wait of its own.
TEST_F(TradeViewControllerTest, TheDialogOpensRightAfterTheRiskListAnswers)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10000);
    lookUpAnew(page, QStringLiteral("600000"));
    page.setQuantityText(QStringLiteral("100"));
    int shown = 0;
    OrderAlertWindowController::setShownHookForTesting([&shown](OrderAlertWindowController& d) {
        ++shown;
        QTimer::singleShot(0, &d, [&d] { d.cancelButtonClicked(); });
    });
    sim.withholdNext(brokersim::kRiskWarningListFunction);
    page.orderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    page.querySTStockList(nullptr, QString(), std::vector<QString> {}); // as the manager delivers it
    EXPECT_EQ(shown, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(page.isBusy());
    // The real answer, late, opens nothing more.
    sim.releaseWithheld();
    testsupport::spinFor(std::chrono::milliseconds(50));
    EXPECT_EQ(shown, 1);
}

// Positions that answer while an order is on its way to the dialog do not
// apply the picked row again: the price the customer typed is the one the
// dialog shows.
TEST_F(TradeViewControllerTest, PositionsArrivingDuringAnOrderLeaveItsPrice)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("600000")) >= 0; }));
    page.positionTableViewClicked(rowOf(page, QStringLiteral("600000")));
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
    const QString typed = QString::number(page.priceText().toDouble() + 0.05, 'f', 2);
    page.setPriceText(typed);
    page.priceEditEnd();
    page.setQuantityText(QStringLiteral("100"));
    QString confirmedPrice;
    whenShown([&confirmedPrice](OrderAlertWindowController& d) {
        confirmedPrice = d.orderParam().price();
        d.cancelButtonClicked();
    });
    sim.withholdNext(brokersim::kRiskWarningListFunction);
    page.orderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.clearReceived();
    // Positions asked for by someone else (an order of unknown outcome).
    QueryInfoManager::getInstance()->requestPositionInfo(&page, 0);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kPositionsFunction) == 1; }));
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(sim.receivedCount(brokersim::kQuote5LevelExFunction), 0);
    EXPECT_EQ(page.priceText(), typed);
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
    EXPECT_EQ(confirmedPrice, typed);
}

// An order confirmed, the lock before its answer, the unlock, and the next
// orders before that answer: each dialog works from the start, each
// confirmation sends one order, and the late answer is shown for its own
// order without closing the dialog or emptying the form of the next one.
TEST_F(TradeViewControllerTest, AnAnswerAfterTheLockBelongsToItsOwnOrderOnly)
{
    logInWithShareholders();
    // A dialog left busy ends at a short backstop: the test fails, but fast.
    TradeViewControllerServices quick;
    quick.dialog.busyBackstopMs = 2000;
    TradeViewController& page = openPage(10000, quick);
    lookUp(page, QStringLiteral("600000"));
    sim.clearReceived();
    testsupport::AnswerAfterTheLock runs(
        sim, brokersim::kOrderFunction, [&] { return !alerts.shown.empty(); },
        [&] { EXPECT_EQ(page.quantityText(), QStringLiteral("200")); });
    for (const char* quantity : { "100", "200", "200" }) {
        page.setQuantityText(QString::fromLatin1(quantity));
        ASSERT_TRUE(runs.press([&] { page.orderButtonClicked(); })) << quantity;
    }
    ASSERT_EQ(sim.receivedCount(brokersim::kOrderFunction), 2);
    // Each box names the order of its own quantity: the first the 100.
    ASSERT_EQ(alerts.shown.size(), 2u);
    for (const RDOOrder& o : ordersOfToday()) {
        const size_t box = o.quantity.toDouble() == 100 ? 0 : 1;
        EXPECT_EQ(
            alerts.shown[box].text, QString::fromUtf8(TradeViewController::kSubmittedFormat).arg(o.number))
            << qPrintable(o.quantity);
    }
    EXPECT_TRUE(page.quantityText().isEmpty());
}

} // namespace

// A code typed while a picked position is still being looked up is a code
// of its own: its quote fills the name and picks the account of its market.
TEST_F(TradeViewControllerTest, ACodeTypedOverAPickedPositionFollowsItsOwnMarket)
{
    logInAsDemoCustomer();
    TradeViewController& page = openPage(10001);
    ASSERT_TRUE(spinUntil([&] { return rowOf(page, QStringLiteral("000001")) >= 0; }));
    page.positionTableViewClicked(rowOf(page, QStringLiteral("000001")));
    ASSERT_TRUE(selectedAccountTitle(page).contains(QStringLiteral("0101000001")));
    page.setCodeText(QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty() && !page.maxAmountText().isEmpty(); }));
    EXPECT_EQ(page.codeText(), QStringLiteral("600000"));
    EXPECT_EQ(page.nameText(), market().security(QStringLiteral("600000"))->name);
    EXPECT_TRUE(selectedAccountTitle(page).contains(QStringLiteral("A101000001")));
    page.setQuantityText(QStringLiteral("100"));
    expectBody(placeOrder(page), "A101000001", "1", "S", page.priceText());
}

// The risk list is read for the code the dialog is opened for: a code
// changed after the list's answer and before the dialog still gets its
// warning.
TEST_F(TradeViewControllerTest, TheRiskWarningIsOfTheCodeTheDialogShows)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    lookUpAnew(page, QStringLiteral("600000"));
    page.orderTypePButtonSelected(
        int(page.orderTypeTitles().indexOf(QStringLiteral("五档即时成交剩余撤销"))));
    ASSERT_TRUE(page.priceHidden());
    page.setQuantityText(QStringLiteral("100"));
    std::optional<QString> confirmedCode;
    whenShown([&](OrderAlertWindowController& d) {
        confirmedCode = d.orderParam().stockCode();
        d.cancelButtonClicked();
    });
    sim.withholdNext(brokersim::kRiskWarningListFunction);
    page.orderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    page.querySTStockList(nullptr, QString(), std::vector<QString> { QStringLiteral("600087") });
    page.setCodeText(QStringLiteral("600087"));
    ASSERT_TRUE(spinUntil([&] { return !page.isBusy(); }));
    ASSERT_EQ(confirmedCode, QStringLiteral("600087"));
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown.front().text, QString::fromUtf8(TradeViewController::kDelistText));
    sim.releaseWithheld();
}

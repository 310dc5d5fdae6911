#include "connect/pages/HGTQueryViewControllers.h"
#include "connect/pages/HGTTradeViewController.h"
#include "connect/pages/HGTVoteViewControllers.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "platform/ChinaClock.h"
#include "quotes/QuoteTestRig.h"
#include "tools/broker-sim/HKFunctions.h"
#include "trading/DMOrderType.h"
#include "trading/requests/SecurityInfoDataModels.h"
#include "trading/security/StockManager.h"
#include "trading_pages/AnswerAfterTheLock.h"

#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>

using namespace quotetest;
using testsupport::spinUntil;

namespace {

struct RecordingAlerts : AlertPresenter {
    std::vector<AlertRequest> shown;
    void runAlert(const AlertRequest& request, Completion completion) override
    {
        shown.push_back(request);
        if (completion)
            completion(1);
    }
};

class HGTPageTest : public MarketFixture {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerTradingDataModels();
        registerConnectDataModels();
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        pages.clear();
        HGTRequestManager::resetInstance();
        StockManager::resetInstance();
        MarketFixture::TearDown();
    }
    void logInWithShareholders(bool withConnect = true)
    {
        std::vector<Holder> holders { { QStringLiteral("上海A股"), "1", "A101000001" } };
        if (withConnect)
            holders.push_back({ QStringLiteral("沪港通"), "5", "A101000001" });
        logInWithHolders(holders);
    }
    template <class Page = HGTTradeViewController> Page& openPage(OrderAlertWindowController::Services dialog = {})
    {
        HGTTradeViewControllerServices services;
        services.chinaNow = [this] { return now; };
        services.dialog = dialog;
        auto page = std::make_unique<Page>(nullptr, services);
        Page& made = *page;
        pages.push_back(std::move(page));
        made.setAlertPresenter(&alerts);
        made.load();
        return made;
    }
    void lookUp(HGTTradeViewController& page, const QString& code)
    {
        page.setCodeText(code);
        page.codeEditEnd();
        ASSERT_TRUE(spinUntil([&] {
            return !page.priceText().isEmpty() && !page.maxQuantityText().isEmpty() && !page.lotText().isEmpty()
                && !page.exchangeRateShown().isEmpty();
        }));
    }
    void whenShown(std::function<void(OrderAlertWindowController&)> action)
    {
        OrderAlertWindowController::setShownHookForTesting([action](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [&c, action] { action(c); });
        });
    }
    qsizetype quotesAsked() const { return sim.receivedCount(brokersim::kQuote5LevelExFunction); }
    // Every figure a code brings: name, price, maximum, step, unit, book, last price.
    static constexpr qsizetype kFigures = 7;
    static QStringList figures(HGTTradeViewController& page)
    {
        return { page.nameText(), page.priceText(), page.maxQuantityText(), page.priceStepText(), page.lotText(),
            page.quotePanel()->buyPrice(1).text, page.quotePanel()->field(QuoteField::lastPriceText).text };
    }
    // A confirmation no step expects fails the test and is closed at once.
    void refuseDialogs()
    {
        whenShown([](OrderAlertWindowController& c) {
            ADD_FAILURE() << "unexpected confirmation";
            c.cancelButtonClicked();
        });
    }

    platform::ChinaClock::Override clock { platform::ChinaClock::at(2026, 12, 2, 10, 0) };
    QDateTime now = platform::ChinaClock::now();
    RecordingAlerts alerts;
    std::vector<std::unique_ptr<HGTTradeViewController>> pages;
};

} // namespace

TEST_F(HGTPageTest, CodeEntryFirstQuoteStepperAndABuyToItsOrderNumber)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    EXPECT_EQ(page.accountTitles().size(), 1);
    EXPECT_EQ(page.orderTypeTitles(), DMOrderType::getTitlesForHGTBuy());

    // Four digits wait; the fifth asks at once and moves on to the price.
    page.setCodeText(QStringLiteral("0070"));
    EXPECT_EQ(quotesAsked(), 0);
    EXPECT_EQ(page.focusedField(), 0);
    page.setCodeText(QStringLiteral("00700"));
    EXPECT_EQ(page.focusedField(), 1);
    EXPECT_TRUE(spinUntil([&] { return quotesAsked() == 1; }));

    // A code of 1 to 4 characters ends padded to 5; an empty one stays.
    HGTTradeViewController& other = openPage();
    const struct {
        const char* typed;
        const char* ended;
    } codes[] = { { "7", "00007" }, { "700", "00700" }, { "0700", "00700" }, { "", "" } };
    for (const auto& c : codes) {
        other.setCodeText(QString::fromLatin1(c.typed));
        other.codeEditEnd();
        EXPECT_EQ(other.codeText(), c.ended) << c.typed;
    }

    lookUp(page, QStringLiteral("00700"));
    EXPECT_EQ(page.nameText(), "港华控股");
    EXPECT_EQ(page.lotText(), "100股");
    EXPECT_EQ(page.priceStepText(), "0.200港元");
    EXPECT_DOUBLE_EQ(page.stepperIncrement(), 0.2);
    EXPECT_EQ(page.exchangeRateShown(), "0.920000"); // the buy rate on the buy page

    // Fifty clicks land fifty steps on, to the thousandth shown.
    const double end = page.stepperValue() + 10;
    for (int i = 0; i < 50; ++i)
        page.priceStepperClick(true);
    EXPECT_NEAR(page.stepperValue(), end, 1e-9);
    EXPECT_EQ(page.priceText(), QString::asprintf("%.3f", end));
    for (int i = 0; i < 47; ++i)
        page.priceStepperClick(false);
    ASSERT_TRUE(spinUntil([&] { return page.priceStepText() == QStringLiteral("0.200港元"); }));

    page.setQuantityText(QStringLiteral("200"));
    whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
    page.orderButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !page.lastOrderNumber().isEmpty(); }));
    EXPECT_FALSE(page.isBusy());
    EXPECT_TRUE(page.quantityText().isEmpty());
    ASSERT_FALSE(alerts.shown.empty());
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("委托申请已提交，序号为%1。").arg(page.lastOrderNumber()));
    const brokersim::Request sent = sim.receivedOf(brokersim::kHKOrderFunction).back();
    EXPECT_EQ(sent.valueOr(QStringLiteral("bsflag")), "3B");
    EXPECT_EQ(sent.valueOr(QStringLiteral("qty")), "200");
}

// The quote is asked for whatever code ends its editing, and the maximum
// quantity and price step with only a shareholder account chosen: the
// server judges code and price.
TEST_F(HGTPageTest, TheServerJudgesTheCodeOfTheQuoteAndOfTheMaximum)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    page.setCodeText(QStringLiteral("7a"));
    page.codeEditEnd();
    EXPECT_EQ(page.codeText(), QStringLiteral("0007a"));
    ASSERT_TRUE(spinUntil([&] { return quotesAsked() == 1; }));
    EXPECT_TRUE(sim.receivedOf(brokersim::kQuote5LevelExFunction)[0]
                    .valueOr(QStringLiteral("code"))
                    .startsWith(QStringLiteral("0007a")));

    HGTTradeViewController& empty = openPage();
    empty.priceEditEnd(); // neither code nor price
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kHKCombInfoFunction) == 1; }));
    const brokersim::Request asked = sim.receivedOf(brokersim::kHKCombInfoFunction)[0];
    EXPECT_TRUE(asked.valueOr(QStringLiteral("stkcode")).isEmpty());
    EXPECT_EQ(asked.valueOr(QStringLiteral("secuid")), QStringLiteral("A101000001"));

    // Without a Stock Connect account nothing is asked.
    pages.clear();
    AccountManager::resetInstance();
    logInWithShareholders(false);
    HGTTradeViewController& none = openPage();
    none.setPriceText(QStringLiteral("368.400"));
    none.priceEditEnd();
    none.priceStepperClick(true); // and the stepper changes nothing
    EXPECT_EQ(none.priceText(), "368.400");
    EXPECT_DOUBLE_EQ(none.stepperValue(), 368.4);
    testsupport::spinFor(std::chrono::milliseconds(100));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKCombInfoFunction), 1);
}

TEST_F(HGTPageTest, SellPagesShowTheSaleRateAndSendTheirFlags)
{
    logInWithShareholders();
    // Buying at the best ask, selling at the best bid (the user's settings):
    // the sell page fills the price for selling.
    UserDefaultConfig::getInstance()->setBuyDefaultType(1);
    UserDefaultConfig::getInstance()->setSellDefaultType(2);
    const auto defaultModes = qScopeGuard([] { Security::resetClassState(); });
    HGTTradeViewController& whole = openPage<HGTZSSellViewController>();
    EXPECT_EQ(whole.orderTypeTitles(), DMOrderType::getTitlesForHGTSell());
    lookUp(whole, QStringLiteral("00700"));
    const StockManager::SecurityPtr security
        = StockManager::getInstance()->getSecurity(QStringLiteral("00700"));
    ASSERT_TRUE(security);
    ASSERT_NE(security->defaultSellPrice(), security->defaultBuyPrice());
    EXPECT_DOUBLE_EQ(whole.stepperValue(), security->defaultSellPrice().toDouble());
    EXPECT_EQ(whole.exchangeRateShown(), "0.880000");
    EXPECT_EQ(whole.maxQuantityText(), "1000股");

    HGTTradeViewController& odd = openPage<HGTLGSellViewController>();
    EXPECT_TRUE(odd.orderTypeTitles().isEmpty());
    lookUp(odd, QStringLiteral("00700"));
    EXPECT_EQ(odd.maxQuantityText(), "50股");
    EXPECT_TRUE(sim.receivedOf(brokersim::kHKCombInfoFunction).back().rawBody.contains("&bsflag=4S&"));

    const struct {
        HGTTradeViewController* page;
        const char* quantity;
        const char* flag;
        const char* refusal; // empty: accepted
        bool withoutNumber = false; // accepted without "ordersno"
    } orders[] = {
        { &odd, "50", "4S", "" },
        { &whole, "5000", "3S", "可用股份不足" },
        { &whole, "300", "3S", "" },
        { &whole, "100", "3S", "", true },
    };
    for (const auto& o : orders) {
        const std::size_t before = alerts.shown.size();
        if (o.withoutNumber)
            sim.answerTablesNext(
                brokersim::kHKOrderFunction, { brokersim::Table().column("msg").row({ "ok" }) });
        o.page->setQuantityText(QString::fromLatin1(o.quantity));
        whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
        o.page->orderButtonClick();
        ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() > before && !o.page->isBusy(); })) << o.quantity;
        EXPECT_EQ(sim.receivedOf(brokersim::kHKOrderFunction).back().valueOr(QStringLiteral("bsflag")), o.flag);
        if (*o.refusal)
            EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(o.refusal));
        else if (o.withoutNumber)
            EXPECT_EQ(alerts.shown.back().text, QStringLiteral("委托申请已提交。"));
        else
            EXPECT_TRUE(alerts.shown.back().text.startsWith(QStringLiteral("委托申请已提交，序号为")))
                << o.quantity;
    }
}

TEST_F(HGTPageTest, RefreshOnlyInTradingHoursAndSharedHandlesAreNotAbandoned)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    lookUp(page, QStringLiteral("00700"));
    const struct {
        int hour;
        int minute;
        bool refreshes;
    } ticks[] = { { 9, 10, false }, { 12, 30, false }, { 16, 10, false }, { 9, 11, true }, { 12, 51, true },
        { 16, 9, true } };
    for (const auto& t : ticks) {
        EXPECT_EQ(HGTTradeViewController::isOpeningTime(QDateTime(QDate(2026, 12, 2), QTime(t.hour, t.minute))),
            t.refreshes);
        now = QDateTime(QDate(2026, 12, 2), QTime(t.hour, t.minute));
        const qsizetype before = quotesAsked();
        page.refreshQuotes();
        EXPECT_EQ(page.refreshWaiting(), t.refreshes) << t.hour << ":" << t.minute;
        if (t.refreshes) {
            // The quote, then its chart; the form keeps its price.
            const QString price = page.priceText();
            ASSERT_TRUE(spinUntil([&] { return !page.refreshWaiting(); }));
            EXPECT_EQ(quotesAsked(), before + 1);
            EXPECT_EQ(page.priceText(), price);
        } else {
            EXPECT_EQ(quotesAsked(), before);
        }
    }
    // A refresh and a click in one second share a handle: the reply is
    // awaited, not dropped.
    page.refreshQuotes();
    page.positionTableClick(-1);
    page.setCodeText(QStringLiteral("00700"));
    EXPECT_TRUE(page.abandonHandles().isEmpty());
}

// The stepper moves from the value of the price shown, however it came and
// whatever its decimals, by the value of the step the server gave.
TEST_F(HGTPageTest, TheStepperMovesFromTheValueOfThePriceByTheValueOfTheStep)
{
    logInWithShareholders();
    market().security(QStringLiteral("00388"))->precision = 4; // a quote with four decimals
    sim.answerTablesNext(brokersim::kHKCombInfoFunction,
        { brokersim::Table()
                .column(QStringLiteral("maxqty"))
                .column(QStringLiteral("priceunit"))
                .row({ "1000", "0.0100" }) },
        100);
    HGTTradeViewController& page = openPage();
    lookUp(page, QStringLiteral("00388"));
    const QString quoted = page.priceText();
    EXPECT_EQ(quoted.section(u'.', 1).size(), 4) << qPrintable(quoted);
    EXPECT_DOUBLE_EQ(page.stepperIncrement(), 0.01);
    page.priceStepperClick(true);
    EXPECT_EQ(page.priceText(), QString::asprintf("%.3f", quoted.toDouble() + 0.01));

    const auto typed = [&](const QString& p) { page.setPriceText(p); };
    const auto clicked = [&](const QString& p) { page.updatePrice(p); }; // in the quote panel
    const struct {
        std::function<void(const QString&)> enter;
        const char* price;
        bool up;
        const char* stepped;
    } steps[] = {
        { typed, "12.3456", true, "12.356" },
        { typed, "", true, "0.010" },
        { typed, "37.3800", false, "37.370" },
        { clicked, "37.3800", true, "37.390" },
        { typed, "0.005", false, "0.000" },
        { clicked, "abc", true, "0.010" },
        { typed, "1.00000000000000000000000000009", true, "1.010" },
    };
    for (const auto& s : steps) {
        s.enter(QString::fromLatin1(s.price));
        page.priceStepperClick(s.up);
        EXPECT_EQ(page.priceText(), QLatin1String(s.stepped)) << s.price;
    }
}

TEST_F(HGTPageTest, InputIsCheckedBeforeTheDialog)
{
    logInWithShareholders(false);
    HGTTradeViewController& none = openPage();
    none.orderButtonClick();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, "无可用的股东账户");
    pages.clear();
    AccountManager::resetInstance();

    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    bool shown = false;
    whenShown([&](OrderAlertWindowController& c) {
        shown = true;
        c.cancelButtonClicked();
    });
    const struct {
        const char* code;
        const char* price;
        const char* quantity;
    } bad[] = { { "0070", "368.400", "100" }, { "00700", "", "100" }, { "00700", "368.400", "" } };
    for (const auto& b : bad) {
        page.setCodeText(QString::fromLatin1(b.code));
        page.setPriceText(QString::fromLatin1(b.price));
        page.setQuantityText(QString::fromLatin1(b.quantity));
        const std::size_t before = alerts.shown.size();
        page.orderButtonClick();
        ASSERT_EQ(alerts.shown.size(), before + 1) << b.code << b.price << b.quantity;
        EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(HGTTradeViewController::kMissingInputMessage));
    }
    EXPECT_FALSE(shown);
    EXPECT_EQ(sim.receivedCount(brokersim::kHKOrderFunction), 0);

    // Beyond that, price and quantity go to the dialog and the server as
    // typed, and the server's refusal is what the customer reads.
    QString confirmedPrice;
    whenShown([&](OrderAlertWindowController& c) {
        confirmedPrice = c.orderParam().price();
        c.confirmButtonClicked();
    });
    const struct {
        const char* price;
        const char* quantity;
        const char* message;
    } typed[] = { { "368.4001", "100", "委托价格错误" }, { "368.400", "1.5", "委托数量错误" },
        { "0", "100", "委托价格错误" }, { "368.400", "-100", "委托数量错误" } };
    for (const auto& t : typed) {
        page.setCodeText(QStringLiteral("00700"));
        page.setPriceText(QString::fromLatin1(t.price));
        page.setQuantityText(QString::fromLatin1(t.quantity));
        const qsizetype before = sim.receivedCount(brokersim::kHKOrderFunction);
        page.orderButtonClick();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy() && !page.dialog().isShown(); }));
        EXPECT_EQ(confirmedPrice, QLatin1String(t.price));
        ASSERT_EQ(sim.receivedCount(brokersim::kHKOrderFunction), before + 1) << t.price << " " << t.quantity;
        const brokersim::Request sent = sim.receivedOf(brokersim::kHKOrderFunction).back();
        EXPECT_EQ(sent.valueOr(QStringLiteral("price")), QLatin1String(t.price));
        EXPECT_EQ(sent.valueOr(QStringLiteral("qty")), QLatin1String(t.quantity));
        EXPECT_EQ(alerts.shown.back().text, QString::fromUtf8(t.message));
    }
}

TEST_F(HGTPageTest, ALateRefreshReplyIsIgnored)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    lookUp(page, QStringLiteral("00700"));
    sim.withholdNext(brokersim::kQuote5LevelExFunction);
    page.refreshQuotes();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    // Quote handles are the second they were asked in: wait for the next one.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    ASSERT_TRUE(spinUntil([&] { return QDateTime::currentSecsSinceEpoch() != second; }));
    page.refreshQuotes();
    EXPECT_EQ(page.abandonHandles().size(), 1);
    ASSERT_TRUE(spinUntil([&] { return !page.refreshWaiting(); }));
    const qsizetype charts = sim.receivedCount(brokersim::kTimesharingFunction);
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return page.abandonHandles().isEmpty(); }));
    EXPECT_EQ(sim.receivedCount(brokersim::kTimesharingFunction), charts); // no chart asked for the late one
    EXPECT_FALSE(page.refreshWaiting());
}

// An answer after the lock, a success or the server's refusal, shows its
// own outcome and leaves the next intent's dialog open, with the form it was
// made from, on the withdrawal of a declaration, the vote and declaration
// pages and the order page.
TEST_F(HGTPageTest, AnAnswerAfterTheLockClosesNoOtherDialog)
{
    logInWithShareholders();
    // A dialog left busy ends at a short backstop: the test fails, but fast.
    OrderAlertWindowController::Services quick;
    quick.busyBackstopMs = 2000;
    HGTTradeViewController& order = openPage(quick);
    lookUp(order, QStringLiteral("00700"));
    order.setPriceText(QStringLiteral("10.000")); // far below the market: the orders rest, and cost little
    auto& vote = openPage<HGTVoteViewController>(quick);
    vote.setFieldText(HGTVoteViewController::Code, QStringLiteral("00700"));
    vote.setFieldText(HGTVoteViewController::PublicNo, QStringLiteral("G00700001"));
    vote.setFieldText(HGTVoteViewController::BillNo, QStringLiteral("1"));
    auto& declare = openPage<HGTOtherVoteViewController>(quick);
    declare.setFieldText(HGTOtherVoteViewController::Code, QStringLiteral("00700"));
    declare.setFieldText(HGTOtherVoteViewController::OrgNo, QStringLiteral("D00700"));
    // A declaration to withdraw from.
    declare.setFieldText(HGTOtherVoteViewController::Quantity, QStringLiteral("1000"));
    whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
    declare.orderButtonClick();
    HGTCancelVoteViewController withdraw(nullptr, HGTPageServices { nullptr, {}, quick, {} });
    withdraw.setAlertPresenter(&alerts);
    withdraw.load();
    ASSERT_TRUE(spinUntil([&] { return withdraw.countText() == QStringLiteral("1"); }));
    QString withdrawn;
    HGTCancelConfirmAlertWC::setShownHookForTesting([&](HGTCancelConfirmAlertWC& w) {
        w.setQuantityText(withdrawn);
        w.confirmButtonClicked();
    });
    const auto unhook = qScopeGuard([] { HGTCancelConfirmAlertWC::setShownHookForTesting({}); });

    struct Intent {
        brokersim::Function function;
        std::function<void(const QString&)> press; // with this quantity
        std::function<QString()> quantity; // the one the form shows
        const char* quantityAtTheEnd;
    };
    const Intent withdrawal { brokersim::kHKDeclareFunction,
        [&](const QString& q) {
            withdrawn = q;
            withdraw.ordersTableViewClicked(0);
        },
        [&] { return withdrawn; }, "200" };
    const Intent voting { brokersim::kHKVoteFunction,
        [&](const QString& q) {
            vote.setFieldText(HGTVoteViewController::Free, q);
            vote.orderButtonClick();
        },
        [&] { return vote.fieldText(HGTVoteViewController::Free); }, "200" };
    const Intent declaration { brokersim::kHKDeclareFunction,
        [&](const QString& q) {
            declare.setFieldText(HGTOtherVoteViewController::Quantity, q);
            declare.orderButtonClick();
        },
        [&] { return declare.fieldText(HGTOtherVoteViewController::Quantity); }, "200" };
    const Intent ordering { brokersim::kHKOrderFunction,
        [&](const QString& q) {
            order.setQuantityText(q);
            order.orderButtonClick();
        },
        [&] { return order.quantityText(); }, "" };
    const QString refusal = QStringLiteral("委托数量超出可用数量");
    const struct {
        const char* what;
        const Intent& intent;
        bool refused; // the first answer is the server's refusal
    } cases[] = {
        { "withdrawal", withdrawal, false },
        { "declaration", declaration, false },
        { "order", ordering, false },
        { "withdrawal refused", withdrawal, true },
        { "vote refused", voting, true },
        { "declaration refused", declaration, true },
        { "order refused", ordering, true },
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.what);
        const Intent& c = row.intent;
        const bool refused = row.refused;
        const qsizetype sent = sim.receivedCount(c.function);
        alerts.shown.clear();
        const brokersim::Handler own = sim.handlerOf(c.function.main, c.function.sub);
        const auto restore = qScopeGuard([&] { sim.registerFunction(c.function.main, c.function.sub, own); });
        if (refused) {
            sim.registerFunction(c.function.main, c.function.sub,
                [own, refusal, first = true](
                    const brokersim::Request& request, brokersim::BrokerState& state) mutable {
                    if (std::exchange(first, false))
                        return brokersim::Reply::error(-51, refusal);
                    return own(request, state);
                });
        }
        testsupport::AnswerAfterTheLock runs(
            sim, c.function, [&] { return !alerts.shown.empty(); },
            [&] {
                EXPECT_EQ(c.quantity(), QStringLiteral("200"));
                EXPECT_EQ(sim.receivedCount(c.function), sent + 1);
            });
        for (const char* quantity : { "100", "200", "200" })
            ASSERT_TRUE(runs.press([&] { c.press(QString::fromLatin1(quantity)); })) << quantity;
        EXPECT_EQ(sim.receivedCount(c.function), sent + 2);
        EXPECT_EQ(alerts.shown.size(), 2u);
        if (alerts.shown.size() != 2u)
            continue;
        EXPECT_NE(alerts.shown[0].text, alerts.shown[1].text);
        if (refused) {
            EXPECT_EQ(alerts.shown[0].title, QStringLiteral("错误"));
            EXPECT_EQ(alerts.shown[0].text, refusal);
        } else {
            EXPECT_EQ(alerts.shown[0].title, QStringLiteral("温馨提示")) << qPrintable(alerts.shown[0].text);
        }
        EXPECT_EQ(alerts.shown[1].title, QStringLiteral("温馨提示")) << qPrintable(alerts.shown[1].text);
        EXPECT_EQ(c.quantity(), QLatin1String(c.quantityAtTheEnd));
    }
}

// Answers asked for a code the field no longer names are dropped: a late
// quote, chart, maximum or trading unit leaves the new code's figures, on
// the order pages and on the declaration pages that take the same fields.
// So are the answers asked for the code shown before it was left and entered
// again (00700, 00388, 00700): they leave the price typed, and ask nothing.
TEST_F(HGTPageTest, LateAnswersForAnEarlierCodeAreDropped)
{
    logInWithShareholders();
    UserDefaultConfig::getInstance()->setQuoteRefreshTime(1); // no refresh asks in between
    const auto refreshAgain = qScopeGuard([] { UserDefaultConfig::getInstance()->setQuoteRefreshTime(4); });
    std::vector<DataModel*> models;
    for (const char* id : { DMQuote5LevelEx::info.identifier, DMStockTimesharingInfo::info.identifier,
             DMHGTQueryCombInfo::info.identifier, DMHGTQueryQuantityOfUnit::info.identifier,
             DMHGTQueryExchangeRate::info.identifier })
        models.push_back(HGTRequestManager::getInstance()->sender().dataModel(id));
    const auto waiting = [&] {
        return std::ranges::any_of(models, [](DataModel* m) { return m->pendingHandleCount() > 0; });
    };
    // 00700's quote and chart, held to reach the pages late.
    QuoteCatcher quote;
    TimesharingCatcher chart;
    HGTRequestManager::getInstance()->requestHGTQueryPrice5(&quote, QStringLiteral("00700"));
    HGTRequestManager::getInstance()->requestHGTTimesharing(&chart, QStringLiteral("00700"));
    ASSERT_TRUE(spinUntil([&] { return quote.done() && chart.done(); }));
    ASSERT_EQ(quote.results.size(), 1u);
    ASSERT_EQ(chart.results.size(), 1u);

    const std::function<HGTTradeViewController&()> kinds[] = {
        [&]() -> HGTTradeViewController& { return openPage(); },
        [&]() -> HGTTradeViewController& { return openPage<HGTZSSellViewController>(); },
        [&]() -> HGTTradeViewController& { return openPage<HGTLGSellViewController>(); },
        [&]() -> HGTTradeViewController& { return openPage<HGTVoteViewController>(); },
        [&]() -> HGTTradeViewController& { return openPage<HGTOtherVoteViewController>(); },
    };
    for (const auto& open : kinds) {
        SCOPED_TRACE(&open - kinds);
        HGTTradeViewController& page = open();
        lookUp(page, QStringLiteral("00700"));
        lookUp(page, QStringLiteral("00388"));
        const QStringList shown = figures(page);
        ASSERT_EQ(shown[0], QStringLiteral("港联交易"));
        const double step = page.stepperIncrement();
        const qsizetype maxima = sim.receivedCount(brokersim::kHKCombInfoFunction);

        page.queryQuotesOf5Level(nullptr, QStringLiteral("late"), quote.results[0]);
        page.queryTimesharingInfo(nullptr, QStringLiteral("late"), chart.results[0]);
        page.hgtQueryCombInfo(nullptr, QStringLiteral("late"), HGTCombInfo { "99999", "0.500" });
        page.hgtQueryQuantityOfUnit(nullptr, QStringLiteral("late"), QStringLiteral("7"));
        EXPECT_EQ(page.codeText(), QStringLiteral("00388"));
        EXPECT_EQ(figures(page), shown);
        EXPECT_EQ(page.stepperIncrement(), step);

        // Nothing is asked for 00700 either: a maximum asked now comes after
        // anything the late answers asked.
        page.priceEditEnd(false);
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kHKCombInfoFunction) > maxima; }));
        const QList<brokersim::Request> asked = sim.receivedOf(brokersim::kHKCombInfoFunction);
        for (qsizetype i = maxima; i < asked.size(); ++i)
            EXPECT_EQ(asked[i].valueOr(QStringLiteral("stkcode")), QStringLiteral("00388"));

        lookUp(page, QStringLiteral("00700"));
        page.setPriceText(QStringLiteral("371.000"));
        ASSERT_TRUE(spinUntil([&] { return !waiting(); }));
        const QStringList typed = figures(page);
        page.queryQuotesOf5Level(nullptr, QStringLiteral("late"), quote.results[0]);
        page.queryTimesharingInfo(nullptr, QStringLiteral("late"), chart.results[0]);
        EXPECT_EQ(figures(page), typed);
        EXPECT_FALSE(waiting());
    }
}

// A failed, empty or missing answer to the latest question about the code
// shown, and a price the maximum cannot be asked with, leave none of the
// figures they replace standing: the order check finds no price, and
// nothing is said of a maximum or unit that failed.
TEST_F(HGTPageTest, AFailedOrMissingAnswerLeavesNothingOfTheFiguresItReplaces)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    refuseDialogs();
    using namespace brokersim;
    const Function kQuote = kQuote5LevelExFunction;
    const char* const maxima = DMHGTQueryCombInfo::info.identifier;
    const char* const units = DMHGTQueryQuantityOfUnit::info.identifier;
    const auto refused = [&](Function f) {
        return [&, f] { sim.answerErrorNext(f, -1, QStringLiteral("查询失败")); };
    };
    const auto code = [&](const char* c) { return [&, c] { page.setCodeText(QLatin1String(c)); }; };
    const auto price = [&](const QString& p) {
        return [&, p] {
            page.setPriceText(p);
            page.priceEditEnd(false);
        };
    };
    const struct {
        const char* left; // per figure: 'x' empty, '=' as before, '?' either
        Function function;
        qsizetype asks;
        const char* model; // whose answer to wait for; nullptr: the room below
        std::function<void()> arm;
        std::function<void()> act;
    } cases[] = {
        // Each new code its own: an equal quote still waiting would take the ask in.
        { "xxxxxxx", kQuote, 1, nullptr, refused(kQuote), code("00388") },
        { "xxxxxxx", kQuote, 1, nullptr, [&] { sim.answerEmptyNext(kQuote); }, code("00005") },
        { "xxxxxxx", kQuote, 1, nullptr, [&] { sim.withholdNext(kQuote); }, code("00981") },
        { "=?xx===", kHKCombInfoFunction, 1, maxima, refused(kHKCombInfoFunction), price("370.000") },
        { "=?xx===", kHKCombInfoFunction, 0, maxima, [] {}, price(QString(300, u'9')) },
        { "=???x??", kHKLotSizeFunction, 1, units, refused(kHKLotSizeFunction), [&] { page.codeEditEnd(false); } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        lookUp(page, QStringLiteral("00700"));
        const QStringList before = figures(page);
        ASSERT_EQ(before[0], QStringLiteral("港华控股"));
        c.arm();
        const qsizetype asked = sim.receivedCount(c.function);
        alerts.shown.clear();
        c.act();
        ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(c.function) == asked + c.asks; }));
        if (c.model) {
            DataModel* model = HGTRequestManager::getInstance()->sender().dataModel(c.model);
            ASSERT_TRUE(model && spinUntil([&] { return model->pendingHandleCount() == 0; }));
        }
        testsupport::spinFor(std::chrono::milliseconds(50)); // room for any answer it brings
        const QStringList after = figures(page);
        for (qsizetype i = 0; i < kFigures; ++i) {
            if (c.left[i] == 'x')
                EXPECT_TRUE(after[i].isEmpty()) << i << ' ' << qPrintable(after[i]);
            else if (c.left[i] == '=')
                EXPECT_EQ(after[i], before[i]) << i;
        }
        if (c.function != kQuote) {
            EXPECT_TRUE(alerts.shown.empty());
        } else {
            page.setQuantityText(QStringLiteral("100"));
            alerts.shown.clear();
            page.orderButtonClick();
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(HGTTradeViewController::kMissingInputMessage));
        }
        sim.releaseWithheld();
    }
    EXPECT_EQ(sim.receivedCount(kHKOrderFunction), 0);
}
// A position click reads the row's record, whatever its columns are called.
// The maximum and price step are asked with the shareholder account: every
// way to another account (the pop-up, a position of the other one) takes
// them off, and an answer still on its way for the account left is dropped.
TEST_F(HGTPageTest, AnotherShareholderAccountLeavesNoMaximumOfThePreviousOne)
{
    logInWithHolders(
        { { QStringLiteral("沪港通"), "5", "A101000001" }, { QStringLiteral("沪港通"), "5", "A101000002" } });
    // The positions: a row of the second account, then one of the first.
    sim.answerTablesNext(brokersim::kPositionsFunction,
        { brokersim::Table()
                .described("stkcode", "代码")
                .described("stkname", "名称")
                .described("secuid", "账户")
                .row({ "00388", "港联交易", "A101000002" })
                .row({ "00700", "港华控股", "A101000001" }) });
    HGTTradeViewController& page = openPage();
    ASSERT_EQ(page.accountTitles().size(), 2);
    ASSERT_TRUE(spinUntil([&] { return page.positions() != nullptr; })); // the page's own list first
    lookUp(page, QStringLiteral("00700"));
    DataModel* maxima = HGTRequestManager::getInstance()->sender().dataModel(DMHGTQueryCombInfo::info.identifier);
    ASSERT_NE(maxima, nullptr);
    const auto expectNoMaximum = [&] {
        EXPECT_TRUE(page.maxQuantityText().isEmpty()) << qPrintable(page.maxQuantityText());
        EXPECT_TRUE(page.priceStepText().isEmpty());
    };

    // The pop-up, while the first account's maximum is held back.
    sim.withholdNext(brokersim::kHKCombInfoFunction);
    page.setPriceText(QStringLiteral("370.000"));
    page.priceEditEnd(false);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    page.selectAccount(1);
    expectNoMaximum();
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return maxima->pendingHandleCount() == 0; }));
    expectNoMaximum();

    // A position of the first account with the same code, then one of the
    // second with another code.
    page.priceEditEnd(false);
    ASSERT_TRUE(spinUntil([&] { return !page.maxQuantityText().isEmpty(); }));
    page.positionTableClick(1);
    EXPECT_EQ(page.codeText(), QStringLiteral("00700"));
    EXPECT_EQ(page.selectedAccount(), 0);
    expectNoMaximum();
    // The same account again keeps what was asked with it.
    ASSERT_TRUE(spinUntil([&] { return !page.maxQuantityText().isEmpty(); }));
    page.selectAccount(0);
    EXPECT_FALSE(page.maxQuantityText().isEmpty());

    page.positionTableClick(0);
    EXPECT_EQ(page.codeText(), QStringLiteral("00388"));
    EXPECT_EQ(page.nameText(), QStringLiteral("港联交易"));
    EXPECT_FALSE(page.nameHidden());
    EXPECT_EQ(page.selectedAccount(), 1);
}

// Every way to another code leaves nothing of the previous one: a position
// handed over from another page, and a refresh still on its way when the
// customer typed another code.
TEST_F(HGTPageTest, APositionHandedOverAndALateRefreshKeepToTheCodeShown)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    lookUp(page, QStringLiteral("00700"));
    RDOPositionDetail position;
    position.stockCode = QStringLiteral("00388");
    position.stockName = QStringLiteral("港联交易");
    position.securityId = QStringLiteral("A101000001");
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kFillTradePage, QVariant(),
        { { QString::fromLatin1(pagenotify::kPositionDetailKey), QVariant::fromValue(position) } });
    EXPECT_EQ(page.codeText(), QStringLiteral("00388"));
    QStringList blank(kFigures, QString());
    blank[0] = QStringLiteral("港联交易");
    EXPECT_EQ(figures(page), blank);
    ASSERT_TRUE(spinUntil([&] { return !page.priceText().isEmpty() && !page.lotText().isEmpty(); }));

    // 00388's refresh is held back while 00700 is typed and loaded.
    sim.withholdNext(brokersim::kQuote5LevelExFunction);
    page.refreshQuotes();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    lookUp(page, QStringLiteral("00700"));
    const QStringList shown = figures(page);
    sim.releaseWithheld();
    DataModel* quotes = HGTRequestManager::getInstance()->sender().dataModel(DMQuote5LevelEx::info.identifier);
    ASSERT_TRUE(spinUntil([&] { return quotes->pendingHandleCount() == 0; }));
    EXPECT_EQ(figures(page), shown);
    EXPECT_FALSE(page.refreshWaiting());
}

// An account change empties the vote and declaration forms typed for the
// previous account, as the order page's, and closes a confirmation still
// waiting for the customer: nothing of the account left can be sent.
TEST_F(HGTPageTest, AnAccountChangeEmptiesTheFormsAndClosesTheirConfirmation)
{
    logInWithShareholders();
    refuseDialogs();
    auto& vote = openPage<HGTVoteViewController>();
    using V = HGTVoteViewController;
    const V::Field voteFields[] = { V::PublicNo, V::BillNo, V::Up, V::Down, V::Free };
    for (V::Field f : voteFields)
        vote.setFieldText(f, QStringLiteral("1%1").arg(int(f)));
    auto& declare = openPage<HGTOtherVoteViewController>();
    using D = HGTOtherVoteViewController;
    declare.selectVoteType(2);
    declare.setFieldText(D::OrgNo, QStringLiteral("A01"));
    declare.setFieldText(D::Quantity, QStringLiteral("300"));
    vote.setCodeText(QStringLiteral("00700"));
    declare.setCodeText(QStringLiteral("00700"));

    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    QStringList texts { vote.codeText(), declare.codeText(), declare.fieldText(D::OrgNo),
        declare.fieldText(D::Quantity) };
    for (V::Field f : voteFields)
        texts << vote.fieldText(f);
    EXPECT_EQ(texts, QStringList(texts.size(), QString()));
    EXPECT_EQ(declare.selectedVoteType(), 0);
    alerts.shown.clear();
    vote.orderButtonClick();
    declare.orderButtonClick();
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(V::kMissingInputMessage));
    EXPECT_EQ(alerts.shown[1].text, QString::fromUtf8(D::kMissingInputMessage));

    HGTTradeViewController& page = openPage();
    lookUp(page, QStringLiteral("00700"));
    page.setQuantityText(QStringLiteral("100"));
    bool stillShown = false;
    whenShown([&](OrderAlertWindowController& c) {
        page.loginAccountChanged();
        stillShown = c.isShown();
        if (stillShown)
            c.confirmButtonClicked();
    });
    page.orderButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !page.dialog().isShown() && !page.isBusy(); }));
    EXPECT_FALSE(stillShown);
    // The rates asked by a set-up after the change reach the broker after
    // anything a confirmation would have sent; the quantity typed for the
    // account left is gone from all the page shows from the change on.
    const qsizetype asked = sim.receivedCount(brokersim::kHKExchangeRateFunction);
    page.setQuantityText(QStringLiteral("300"));
    QStringList quantities;
    const QMetaObject::Connection shown = QObject::connect(
        &page, &MenuItemViewController::changed, [&] { quantities << page.quantityText(); });
    page.loginAccountChanged();
    QObject::disconnect(shown);
    ASSERT_FALSE(quantities.isEmpty());
    EXPECT_EQ(quantities.join(u'|'), QString(quantities.size() - 1, u'|'));
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kHKExchangeRateFunction) > asked; }));
    EXPECT_EQ(sim.receivedCount(brokersim::kHKOrderFunction), 0);
}

namespace {

QUOTETEST_CATCHER(MakeOrderCatcher, IHGTMakeOrder, hgtMakeOrder)

// The quantity the page's positions list of `code`; "" when no row names it.
QString heldOf(const HGTTradeViewController& page, const QString& code)
{
    if (!page.positions())
        return QStringLiteral("<none>");
    for (const QVariant& row : page.positions()->contentObjectArray()) {
        const auto position = row.value<RDOPositionDetail>();
        if (position.stockCode == code)
            return position.stockQuantity;
    }
    return QString();
}

} // namespace

// The positions read again after an order are those of a read sent after
// it: a read still out from before (the previous order's, the set-up's)
// neither stands in for it nor, answered late, replaces it. Two filled
// buys show both; a line sold out goes and cannot be sold again.
TEST_F(HGTPageTest, ThePositionsReadAfterAnOrderShowWhatItDid)
{
    logInWithShareholders();
    whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
    // A price `steps` spread steps from the latest: above fills a buy, below a sell.
    const auto priceAt = [&](const QString& code, qint64 steps) {
        const qint64 last = brokersim::Market::lastTicks(*market().security(code));
        qint64 price = last + steps * brokersim::HKDesk::spreadStep(last);
        price -= price % brokersim::HKDesk::spreadStep(price);
        return brokersim::Market::ticksText(price, 3);
    };
    DataModel* reads = HGTRequestManager::getInstance()->sender().dataModel(DMPositionInfo::info.identifier);
    ASSERT_NE(reads, nullptr);
    const brokersim::Function positions = brokersim::kPositionsFunction;
    // The whole lots of the opening 1050 of 00700 are sold first: the odd
    // lot is what the page sells.
    MakeOrderCatcher lots;
    HGTRequestManager::getInstance()->requestHGTTradeSale(&lots, QStringLiteral("A101000001"),
        QStringLiteral("00700"), priceAt(QStringLiteral("00700"), -20), QStringLiteral("1000"),
        DMOrderType::getTitlesForHGTSell().front());
    ASSERT_TRUE(spinUntil([&] { return lots.done(); }));
    ASSERT_EQ(lots.results.size(), 1u);
    const struct {
        const char* what;
        bool oddLotSell;
        const char* code;
        bool holdSetUp; // the set-up's read is the one still out; else the first order's
        int orders;
        const char* quantity;
        const char* held; // "" no line
    } cases[] = {
        { "two buys", false, "00981", false, 2, "500", "1000" },
        { "a sell of the rest", true, "00700", true, 1, "50", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QString code = QString::fromLatin1(c.code);
        if (c.holdSetUp)
            sim.withholdNext(positions);
        HGTTradeViewController& page = c.oddLotSell ? openPage<HGTLGSellViewController>() : openPage();
        if (!c.holdSetUp)
            ASSERT_TRUE(spinUntil([&] { return page.positions() != nullptr; }));
        lookUp(page, code);
        for (int i = 0; i < c.orders; ++i) {
            if (i == 0 && !c.holdSetUp)
                sim.withholdNext(positions);
            const QString before = page.lastOrderNumber();
            page.setPriceText(priceAt(code, c.oddLotSell ? -20 : 20));
            page.setQuantityText(QString::fromLatin1(c.quantity));
            page.orderButtonClick();
            ASSERT_TRUE(spinUntil([&] { return !page.isBusy() && page.lastOrderNumber() != before; }))
                << qPrintable(alerts.shown.empty() ? QString() : alerts.shown.back().text);
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        }
        // The read after the last order goes out on its own and is shown;
        // the one held back, released after it, changes nothing.
        ASSERT_TRUE(spinUntil([&] { return heldOf(page, code) == QLatin1String(c.held); }))
            << qPrintable(heldOf(page, code));
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([&] { return reads->pendingHandleCount() == 0; }));
        testsupport::spinFor(std::chrono::milliseconds(20));
        EXPECT_EQ(heldOf(page, code), QLatin1String(c.held));
    }
}

// A quote or chart the customer asked for, answered through a request it
// shares with the timer's refresh (the same code in the same second), fills
// the form as the customer's: price, maximum, step and unit come, and the
// rates are asked for; the refresh is answered too. A new code whose chart
// answers after a tick, and A, B, A typed within a second of a tick.
TEST_F(HGTPageTest, TheCustomersOwnAskSharedWithARefreshFillsTheForm)
{
    logInWithShareholders();
    UserDefaultConfig::getInstance()->setQuoteRefreshTime(1); // the test ticks itself
    const auto refreshAgain = qScopeGuard([] { UserDefaultConfig::getInstance()->setQuoteRefreshTime(4); });
    DataModel* quotes
        = HGTRequestManager::getInstance()->sender().dataModel(DMQuote5LevelEx::info.identifier);
    DataModel* charts
        = HGTRequestManager::getInstance()->sender().dataModel(DMStockTimesharingInfo::info.identifier);
    ASSERT_TRUE(quotes && charts);
    const auto settled
        = [&] { return quotes->pendingHandleCount() == 0 && charts->pendingHandleCount() == 0; };
    const brokersim::Function chart = brokersim::kTimesharingFunction;
    // Each answers whether the customer's ask and the refresh shared a request.
    const struct {
        const char* what;
        std::function<bool(HGTTradeViewController&)> run;
    } cases[] = {
        { "a new code's chart after a tick",
            [&](HGTTradeViewController& page) {
                sim.withholdNext(chart);
                page.setCodeText(QStringLiteral("00388"));
                EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
                const qsizetype asked = sim.receivedCount(chart);
                const qsizetype quoted = quotesAsked();
                page.refreshQuotes();
                EXPECT_TRUE(spinUntil(
                    [&] { return quotesAsked() == quoted + 1 && quotes->pendingHandleCount() == 0; }));
                const bool shared = sim.receivedCount(chart) == asked && charts->pendingHandleCount() == 1;
                sim.releaseWithheld();
                return shared;
            } },
        { "A, B, A",
            [&](HGTTradeViewController& page) {
                const qsizetype quoted = quotesAsked();
                page.setCodeText(QStringLiteral("00388"));
                page.setCodeText(QStringLiteral("00700"));
                page.refreshQuotes();
                EXPECT_TRUE(spinUntil(settled));
                return quotesAsked() == quoted + 2;
            } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        bool shared = false;
        // The second may turn between the asks: then they did not share, and
        // the case runs again on a fresh page.
        for (int attempt = 0; attempt < 5 && !shared; ++attempt) {
            HGTTradeViewController& page = openPage();
            ASSERT_TRUE(spinUntil([&] { return page.positions() != nullptr; }));
            if (c.what[0] == 'A')
                lookUp(page, QStringLiteral("00700"));
            const qint64 second = QDateTime::currentSecsSinceEpoch();
            ASSERT_TRUE(spinUntil([&] { return QDateTime::currentSecsSinceEpoch() != second; }));
            const qsizetype rates = sim.receivedCount(brokersim::kHKExchangeRateFunction);
            shared = c.run(page);
            if (!shared) {
                ASSERT_TRUE(spinUntil(settled));
                continue;
            }
            EXPECT_TRUE(spinUntil([&] {
                return !page.priceText().isEmpty() && !page.maxQuantityText().isEmpty()
                    && !page.priceStepText().isEmpty() && !page.lotText().isEmpty();
            })) << qPrintable(figures(page).join(u'|'));
            EXPECT_GT(sim.receivedCount(brokersim::kHKExchangeRateFunction), rates);
            EXPECT_FALSE(page.refreshWaiting());
        }
        EXPECT_TRUE(shared);
    }
}

// The stepper moves by the last positive step the server gave for the code
// shown: a step of 0, below 0 or no number keeps it. Another code, or
// another login account, starts again from the default until its own comes.
TEST_F(HGTPageTest, TheStepperKeepsToAPositiveStepOfTheCodeShown)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    lookUp(page, QStringLiteral("00700"));
    const double step = page.stepperIncrement();
    ASSERT_DOUBLE_EQ(step, 0.2);
    const QString good = page.priceStepText();
    for (const char* bad : { "0.000", "-0.200", "abc", "" }) {
        SCOPED_TRACE(bad);
        sim.answerTablesNext(brokersim::kHKCombInfoFunction,
            { brokersim::Table()
                    .column(QStringLiteral("maxqty"))
                    .column(QStringLiteral("priceunit"))
                    .row({ "1000", bad }) });
        page.priceEditEnd(false);
        ASSERT_TRUE(spinUntil(
            [&] { return page.priceStepText() == QString::fromUtf8(bad) + QStringLiteral("港元"); }));
        EXPECT_DOUBLE_EQ(page.stepperIncrement(), step);
        const double before = page.stepperValue();
        page.priceStepperClick(true);
        EXPECT_NEAR(page.stepperValue(), before + step, 1e-9);
        ASSERT_TRUE(spinUntil([&] { return page.priceStepText() == good; }));
    }

    const struct {
        const char* what;
        std::function<void()> leave;
    } ways[] = {
        { "another code", [&] { page.setCodeText(QStringLiteral("00388")); } },
        { "another login account", [&] { page.loginAccountChanged(); } },
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.what);
        lookUp(page, QStringLiteral("00700"));
        ASSERT_DOUBLE_EQ(page.stepperIncrement(), step);
        w.leave();
        EXPECT_DOUBLE_EQ(page.stepperIncrement(), 0.001);
        EXPECT_TRUE(page.priceStepText().isEmpty());
    }
}

// An order whose answer was lost has the positions read again, and the page
// shows that read: the order filled at the broker all the same.
TEST_F(HGTPageTest, AnOrderOfUnknownOutcomeShowsThePositionsReadAfterIt)
{
    logInWithShareholders();
    HGTTradeViewController& page = openPage();
    ASSERT_TRUE(spinUntil([&] { return page.positions() != nullptr; }));
    lookUp(page, QStringLiteral("00981"));
    ASSERT_EQ(heldOf(page, QStringLiteral("00981")), QString());
    const qint64 last = brokersim::Market::lastTicks(*market().security(QStringLiteral("00981")));
    page.setPriceText(brokersim::Market::ticksText(last + 20 * brokersim::HKDesk::spreadStep(last), 3));
    page.setQuantityText(QStringLiteral("500"));
    sim.withholdNext(brokersim::kHKOrderFunction);
    whenShown([&](OrderAlertWindowController& c) {
        c.confirmButtonClicked();
        EXPECT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        sim.dropConnections();
    });
    page.orderButtonClick();
    ASSERT_TRUE(spinUntil([&] { return !page.isBusy() && !alerts.shown.empty(); }));
    EXPECT_EQ(alerts.shown.back().title, QStringLiteral("错误"));
    EXPECT_TRUE(page.lastOrderNumber().isEmpty());
    EXPECT_TRUE(spinUntil([&] { return heldOf(page, QStringLiteral("00981")) == QLatin1String("500"); }))
        << qPrintable(heldOf(page, QStringLiteral("00981")));
}

// An order answered past its confirmation's time limit does on the page,
// still up for the account, what it does while the page waits: taken, the
// quantity goes and the positions are read again; refused, the quantity
// stays. While the next order's dialog is on its way the form is that
// order's and stays as it is.
TEST_F(HGTPageTest, AnOrderTakenPastTheTimeLimitEmptiesTheQuantityAsInTime)
{
    logInWithShareholders();
    OrderAlertWindowController::Services quick;
    quick.busyBackstopMs = 300;
    HGTTradeViewController& page = openPage(quick);
    lookUp(page, QStringLiteral("00700"));
    page.setPriceText(QStringLiteral("10.000")); // far below the market: the orders rest
    const brokersim::Function order = brokersim::kHKOrderFunction;
    const struct {
        const char* what;
        bool refused;
        bool nextOnItsWay;
        const char* typedSince; // the quantity typed after the time limit, if any
        const char* quantityAfter;
    } cases[] = {
        { "taken", false, false, nullptr, "" },
        { "refused", true, false, nullptr, "200" },
        { "taken, the next order's dialog up", false, true, nullptr, "300" },
        { "taken, another quantity typed", false, false, "400", "400" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        alerts.shown.clear();
        const brokersim::Handler own = sim.handlerOf(order.main, order.sub);
        const auto restore = qScopeGuard([&] { sim.registerFunction(order.main, order.sub, own); });
        if (c.refused)
            sim.registerFunction(
                order.main, order.sub, [](const brokersim::Request&, brokersim::BrokerState&) {
                    return brokersim::Reply::error(-51, QStringLiteral("委托数量超出可用数量"));
                });
        sim.withholdNext(order);
        page.setQuantityText(QStringLiteral("200"));
        whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
        page.orderButtonClick();
        ASSERT_TRUE(spinUntil([&] { return !page.isBusy() && alerts.shown.size() == 1; }));
        ASSERT_EQ(alerts.shown[0].text, QStringLiteral("委托结果未知，请查询当日委托确认，切勿重复下单"));
        const qsizetype positions = sim.receivedCount(brokersim::kPositionsFunction);
        const auto lateAnswerTold = [&] {
            sim.releaseWithheld();
            EXPECT_TRUE(spinUntil([&] { return alerts.shown.size() == 2; }));
        };
        if (c.nextOnItsWay) {
            page.setQuantityText(QStringLiteral("300"));
            whenShown([&](OrderAlertWindowController& d) {
                lateAnswerTold();
                d.cancelButtonClicked();
            });
            page.orderButtonClick();
        } else {
            if (c.typedSince)
                page.setQuantityText(QString::fromLatin1(c.typedSince));
            lateAnswerTold();
        }
        ASSERT_EQ(alerts.shown.size(), 2u);
        EXPECT_EQ(alerts.shown[1].title, c.refused ? QStringLiteral("错误") : QStringLiteral("温馨提示"));
        EXPECT_EQ(page.quantityText(), QLatin1String(c.quantityAfter));
        EXPECT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kPositionsFunction) > positions; }));
        refuseDialogs();
    }
}

// An input method in full-width mode types "００７００" and "１００": every
// Stock Connect form reads digits, confirms and sends them. A value no
// request can carry stays at its form, in a tip naming its field.
TEST_F(HGTPageTest, FullWidthDigitsAreDigitsAndWhatNoRequestCarriesStaysAtTheForm)
{
    using V = HGTVoteViewController;
    using D = HGTOtherVoteViewController;
    logInWithShareholders();
    const auto wide = [](const char16_t* text) { return QString::fromUtf16(text); };
    HGTTradeViewController& order = openPage();
    auto& vote = openPage<V>();
    auto& declare = openPage<D>();
    order.setCodeText(wide(u"００７００"));
    ASSERT_TRUE(spinUntil([&] { return !order.lotText().isEmpty(); })) << "no quote for the code read";
    order.setPriceText(wide(u"１０．０００")); // far below the market: it rests
    EXPECT_EQ(order.stepperValue(), 10.0); // the stepper steps from it
    vote.setFieldText(V::Code, wide(u"００７００"));
    vote.setFieldText(V::PublicNo, wide(u"G００７００００１"));
    vote.setFieldText(V::BillNo, QStringLiteral("1"));
    declare.setFieldText(D::Code, wide(u"\u3000００７００"));
    declare.setFieldText(D::OrgNo, QStringLiteral("D00700"));
    whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
    const struct {
        HGTTradeViewController* page;
        std::function<void()> type;
        brokersim::Function function;
        const char* key; // nullptr: refused, `value` the message
        const char* value;
    } rows[] = {
        { &order, [&] { order.setQuantityText(wide(u"\u3000１００")); }, brokersim::kHKOrderFunction, "qty",
            "100" },
        { &vote, [&] { vote.setFieldText(V::Free, wide(u"２００")); }, brokersim::kHKVoteFunction, "pub_no",
            "G00700001" },
        { &declare, [&] { declare.setFieldText(D::Quantity, wide(u"１０００")); },
            brokersim::kHKDeclareFunction, "declare_quan", "1000" },
        { &order, [&] { order.setQuantityText(wide(u"１００股")); }, brokersim::kHKOrderFunction, nullptr,
            "委托数量含有不能发送的字符" },
        { &order,
            [&] {
                order.setQuantityText(QStringLiteral("100"));
                order.setPriceText(wide(u"－１０"));
            },
            brokersim::kHKOrderFunction, nullptr, "委托价格含有不能发送的字符" },
        { &vote, [&] { vote.setFieldText(V::Up, wide(u"１０股")); }, brokersim::kHKVoteFunction, nullptr,
            "赞成数量含有不能发送的字符" },
        { &declare, [&] { declare.setFieldText(D::Quantity, QStringLiteral("1=1")); },
            brokersim::kHKDeclareFunction, nullptr, "投票数量含有不能发送的字符" },
        { &vote, [&] { vote.setFieldText(V::Up, QString(256, u'1')); }, brokersim::kHKVoteFunction, nullptr,
            "赞成数量过长：最多255个字符" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        alerts.shown.clear();
        const qsizetype before = sim.receivedCount(row.function);
        row.type();
        row.page->orderButtonClick();
        ASSERT_TRUE(spinUntil([&] { return !row.page->isBusy() && !row.page->dialog().isShown(); }));
        if (!row.key) {
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(row.value));
            EXPECT_EQ(sim.receivedCount(row.function), before);
            continue;
        }
        ASSERT_EQ(sim.receivedCount(row.function), before + 1);
        EXPECT_EQ(sim.receivedOf(row.function).back().valueOr(QString::fromLatin1(row.key)),
            QString::fromUtf8(row.value));
        const bool order = row.function == brokersim::kHKOrderFunction;
        EXPECT_EQ(sim.receivedOf(row.function).back().valueOr(order ? u"stkcode" : u"stk_code"), "00700");
    }
}

#include "trading/pages/WarrantExerciseViewController.h"

#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Market.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <gtest/gtest.h>

using testsupport::spinUntil;

namespace {

QUOTETEST_CATCHER(CancelCatcher, ICancelOrderDelegate, cancelOrder)

class WarrantExerciseViewControllerTest : public pagestest::OrderPageFixture {
protected:
    void SetUp() override
    {
        OrderPageFixture::SetUp();
        logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" } });
        auto node = std::make_shared<BaseNode>();
        node->nodeLinkId = 80000;
        page = std::make_unique<WarrantExerciseViewController>(node);
        page->setAlertPresenter(&alerts);
        page->load();
    }
    void TearDown() override
    {
        page.reset();
        OrderPageFixture::TearDown();
    }
    std::unique_ptr<WarrantExerciseViewController> page;
};

TEST_F(WarrantExerciseViewControllerTest, SetUpIsTheExerciseForm)
{
    EXPECT_EQ(page->tradeType(), 2);
    EXPECT_EQ(page->getCurrentOrderType(), 200);
    EXPECT_TRUE(page->orderTypeRowHidden());
    EXPECT_FALSE(page->moneyRowHidden());
    EXPECT_EQ(page->stockCodeLabel(), QStringLiteral("行权代码"));
    EXPECT_EQ(page->priceLabel(), QStringLiteral("行权价格"));
    EXPECT_EQ(page->maxAmountLabel(), QStringLiteral("可用数量"));
    EXPECT_EQ(page->amountLabel(), QStringLiteral("行权数量"));
    EXPECT_EQ(page->orderButtonTitle(), QStringLiteral("行权下单"));
}

TEST_F(WarrantExerciseViewControllerTest, LookupShowsTheExercisePriceAndANewCodeClearsIt)
{
    // Until the warrant's facts arrive the stepper moves by hundredths.
    sim.withholdNext(brokersim::kWarrantInfoFunction);
    page->setCodeText(QStringLiteral("580026"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    EXPECT_DOUBLE_EQ(page->stepperIncrement(), 0.01);
    page->pricesStepperClicked(page->stepperValue() + page->stepperIncrement());
    EXPECT_EQ(page->priceText(), QStringLiteral("0.01"));
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return page->priceText() == QStringLiteral("9.500"); }))
        << page->priceText().toStdString();
    EXPECT_DOUBLE_EQ(page->stepperIncrement(), 0.001);
    page->pricesStepperClicked(page->stepperValue() + page->stepperIncrement());
    EXPECT_EQ(page->priceText(), QStringLiteral("9.501"));

    // A code without warrant facts: the old exercise price must not stay,
    // once the facts asked for it have been answered.
    const qsizetype asked = sim.receivedCount(brokersim::kWarrantInfoFunction);
    page->setCodeText(QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kWarrantInfoFunction) > asked; }));
    ASSERT_TRUE(pagestest::settled());
    EXPECT_FALSE(page->nameText().isEmpty());
    EXPECT_TRUE(page->priceText().isEmpty());
    EXPECT_TRUE(alerts.shown.empty()); // no message for the failed lookup

    // A negative exercise price is printed as the server sent it.
    const brokersim::MarketWarrant* w = market().warrant(QStringLiteral("580026"));
    ASSERT_NE(w, nullptr);
    sim.answerTablesNext(brokersim::kWarrantInfoFunction,
        pagestest::warrantFacts(w->code, w->underlying, QStringLiteral("-1.5"), w->market));
    page->setCodeText(QStringLiteral("580026"));
    EXPECT_TRUE(spinUntil([&] { return page->priceText() == QStringLiteral("-1.500"); }))
        << page->priceText().toStdString();
}

// The warrant's facts give the exercise price of the code they were asked
// for, whatever code they echo; a code cut short while they are out takes
// none.
TEST_F(WarrantExerciseViewControllerTest, TheFactsOfTheCodeAskedGiveItsExercisePrice)
{
    const brokersim::MarketWarrant* w = market().warrant(QStringLiteral("580026"));
    ASSERT_NE(w, nullptr);
    const struct {
        const char* way;
        const char* echoed; // null: the simulator's own facts, held back
        const char* price;
    } rows[] = {
        { "echoed empty", "", "1.500" },
        { "echoed padded", " 580026 ", "1.500" },
        { "echoed as a number", "580026.0", "1.500" },
        { "the code cut short meanwhile", nullptr, "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        page->setCodeText(QStringLiteral("600000"));
        ASSERT_TRUE(pagestest::quotesSettled() && pagestest::settled());
        if (row.echoed) {
            sim.answerTablesNext(brokersim::kWarrantInfoFunction,
                pagestest::warrantFacts(
                    QString::fromLatin1(row.echoed), w->underlying, QStringLiteral("1.5"), w->market));
            page->setCodeText(QStringLiteral("580026"));
        } else {
            sim.withholdNext(brokersim::kWarrantInfoFunction);
            page->setCodeText(QStringLiteral("580026"));
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
            page->setCodeText(QStringLiteral("58002"));
            sim.releaseWithheld();
        }
        ASSERT_TRUE(pagestest::quotesSettled() && pagestest::settled());
        EXPECT_EQ(page->priceText(), QString::fromLatin1(row.price));
    }
}

TEST_F(WarrantExerciseViewControllerTest, ChecksBeforeTheDialog)
{
    bool shown = false;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        shown = true;
        c.cancelButtonClicked();
    });
    page->setCodeText(QStringLiteral("58002"));
    page->setPriceText(QStringLiteral("9.500"));
    page->setQuantityText(QStringLiteral("100"));
    page->orderButtonClicked();
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(WarrantExerciseViewController::kMissingInputMessage));
    page->setCodeText(QStringLiteral("580026"));
    page->setPriceText(QStringLiteral("9.500"));
    page->setQuantityText(QStringLiteral("100&qty=9"));
    page->orderButtonClicked();
    ASSERT_EQ(alerts.shown.size(), 2u);
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("行权数量含有不能发送的字符"));
    page->setQuantityText(QStringLiteral("100"));
    page->setPriceText(QString(256, QLatin1Char('9')));
    page->orderButtonClicked();
    ASSERT_EQ(alerts.shown.size(), 3u);
    EXPECT_EQ(alerts.shown.back().text, QStringLiteral("行权价格过长：最多255个字符"));
    EXPECT_FALSE(shown);
    EXPECT_FALSE(page->isBusy());
}

// Whatever the code turns out to be, the page exercises: a cached stock goes
// out as an exercise too, never as a sale, and the labels stay the page's.
// The server receives the code, the price and the market the quote named,
// else (no quote) the account's.
TEST_F(WarrantExerciseViewControllerTest, ConfirmedExerciseReachesTheServerAndItsAnswerIsShown)
{
    const struct {
        const char* code;
        const char* typed; // nothing: the warrant's facts give the price
        const char* price;
        const char* market;
        bool quoted = true; // false: the quote server knows no such code
    } rows[] = { { "580026", nullptr, "9.500", "1" }, { "600000", "9.00", "9.00", "1" },
        { "000001", "8.00", "8.00", "0" }, { "580999", "1.25", "1.25", "1", false } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        alerts.shown.clear();
        sim.clearReceived();
        page->setCodeText(QString::fromLatin1(row.code));
        // The quote, then the warrant's facts it asks for (none for a code
        // the quote server does not know).
        ASSERT_TRUE(pagestest::quotesSettled());
        ASSERT_TRUE(pagestest::settled());
        EXPECT_EQ(sim.receivedCount(brokersim::kWarrantInfoFunction), row.quoted ? 1 : 0);
        if (row.typed)
            page->setPriceText(QString::fromLatin1(row.typed));
        EXPECT_EQ(page->priceLabel(), QStringLiteral("行权价格"));
        page->setQuantityText(QStringLiteral("100"));
        OrderAlertWindowController::setShownHookForTesting([this, &row](OrderAlertWindowController& c) {
            QTimer::singleShot(0, &c, [this, &c, &row] {
                EXPECT_EQ(c.orderParam().price(), QString::fromLatin1(row.price));
                page->orderButtonClicked(); // a second press sends nothing more
                c.confirmButtonClicked();
            });
        });
        page->orderButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page->isBusy(); }));
        ASSERT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1);
        const brokersim::Request sent = sim.receivedOf(brokersim::kOrderFunction)[0];
        EXPECT_EQ(sent.valueOr(u"bsflag"), QStringLiteral("7"));
        EXPECT_EQ(sent.valueOr(u"stkcode"), QString::fromLatin1(row.code));
        EXPECT_EQ(sent.valueOr(u"price"), QString::fromLatin1(row.price));
        EXPECT_EQ(sent.valueOr(u"market"), QString::fromLatin1(row.market));
        EXPECT_EQ(sent.valueOr(u"secuid"), QStringLiteral("A101000001"));
        // The simulator answers an exercise (flag "7", order type 200)
        // outside an exercise period with this refusal: it is shown as the
        // server's.
        EXPECT_TRUE(page->lastOrderNumber().isEmpty());
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown.back().text, QStringLiteral("非行权期，不能行权"));
    }
}

TEST_F(WarrantExerciseViewControllerTest, AWarrantPositionFillsTheFormWithItsAccount)
{
    // Warrants held in the Shanghai account; the Shenzhen account comes first.
    const brokersim::Customer* customer = sim.state().broker().customer(QStringLiteral("010100000001"));
    brokersim::BackOffice::Position held;
    held.secuid = QStringLiteral("A101000001");
    held.market = QStringLiteral("1");
    held.code = QStringLiteral("580026");
    held.name = QStringLiteral("江南CWB1");
    held.quantity = held.available = 10000;
    brokersim::backOffice(sim)->account(*customer).positions[QStringLiteral("1|580026")] = held;
    logInWithHolders({ { QStringLiteral("深圳A股"), "0", "0101000001" },
        { QStringLiteral("上海A股"), "1", "A101000001" } });
    auto node = std::make_shared<BaseNode>();
    node->nodeLinkId = 80000;
    WarrantExerciseViewController fresh(node);
    fresh.setAlertPresenter(&alerts);
    // The set-up's read is still out when an action goes and the page reads
    // again: the read sent after the action, under a handle of its own, is
    // still answered as warrants.
    ASSERT_TRUE(pagestest::settled()); // the connection made, the account's prefix as it stays
    sim.withholdNext(brokersim::kPositionsFunction);
    fresh.load();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    CancelCatcher cancel;
    ASSERT_EQ(OrderManager::getInstance()->requestCancelOrder(
                  &cancel, QStringLiteral("1"), QStringLiteral("999999")),
        QString());
    ASSERT_TRUE(spinUntil([&] { return cancel.done(); }));
    fresh.readOwed({ owedfigure::kMoney, owedfigure::kPositions, owedfigure::kMaximum });
    ASSERT_TRUE(
        spinUntil([&] { return fresh.positions() && fresh.positions()->contentObjectArray().size() == 1; }));
    ASSERT_TRUE(std::dynamic_pointer_cast<const DTWarrantPositionTable>(fresh.positions()));
    sim.releaseWithheld();
    EXPECT_EQ(fresh.selectedAccount(), 0);

    fresh.positionTableViewClicked(0);
    EXPECT_EQ(fresh.codeText(), QStringLiteral("580026"));
    EXPECT_TRUE(fresh.nameText().isEmpty());
    EXPECT_EQ(fresh.maxAmountText(), QStringLiteral("10000股")); // until the server's maximum
    EXPECT_EQ(fresh.selectedAccount(), 1);
    ASSERT_TRUE(spinUntil(
        [&] { return fresh.priceText() == QStringLiteral("9.500") && !fresh.nameText().isEmpty(); }));
    EXPECT_EQ(fresh.selectedAccount(), 1);
    fresh.positionTableViewClicked(5); // no such row: nothing changes
    EXPECT_EQ(fresh.codeText(), QStringLiteral("580026"));
}

} // namespace

// A code shortened while its quote is on the way keeps the form as it was:
// no warrant facts are asked for a code the field no longer holds.
TEST_F(WarrantExerciseViewControllerTest, AShortenedCodeAsksNoWarrantFacts)
{
    sim.withholdNext(brokersim::kQuote5LevelExFunction);
    page->setCodeText(QStringLiteral("580026"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    page->setCodeText(QStringLiteral("58002"));
    sim.releaseWithheld();
    // Answers on each server come in order: these follow the page's.
    quotetest::QuoteCatcher quote;
    StockManager::getInstance()->requestQuotesOf5LevelEx(&quote, QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return quote.done(); }));
    pagestest::OrdersOfTodayCatcher orders;
    QueryInfoManager::getInstance()->requestOrdersOfToday(&orders);
    ASSERT_TRUE(spinUntil([&] { return orders.done(); }));
    EXPECT_EQ(sim.receivedCount(brokersim::kWarrantInfoFunction), 0);
    EXPECT_TRUE(page->priceText().isEmpty());
    page->setQuantityText(QStringLiteral("100"));
    page->orderButtonClicked();
    EXPECT_FALSE(page->isBusy());
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 0);
}

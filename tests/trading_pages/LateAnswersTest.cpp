// What the trading pages show belongs to the code and the account in their
// fields now: an answer asked for another one is dropped, and an account
// left behind takes its figures with it, whatever the new answers do.
#include "support/Spin.h"
#include "tools/broker-sim/BackOffice.h"
#include "tools/broker-sim/Market.h"
#include "trading/pages/AfTradeViewController.h"
#include "trading/pages/WarrantExerciseViewController.h"
#include "trading_pages/TradingPagesRig.h"

#include <gtest/gtest.h>

using testsupport::spinUntil;

namespace {

class LateAnswersTest : public pagestest::TradePageFixture {
protected:
    bool money(const TradeViewController& page) { return !page.availableMoneyText().isEmpty(); }
};

// A maximum asked for one code, price or account and answered after another
// was asked for is never shown beside the form, whichever way the account
// changes (the pop-up, a position of the same code in another account).
TEST_F(LateAnswersTest, ALateMaximumIsDropped)
{
    logInWithHolders({ { QStringLiteral("深圳A股"), "0", "0101000001" },
        { QStringLiteral("上海A股"), "1", "A100000009" }, { QStringLiteral("上海A股"), "1", "A101000001" } });
    TradeViewController& page = openPage(10000);
    ASSERT_TRUE(spinUntil([&] { return page.positions() != nullptr; }));
    int heldRow = -1; // 600000, held in the second Shanghai account
    for (int i = 0; i < page.positions()->contentObjectArray().size(); ++i)
        if (page.positions()->contentObjectArray()[i].value<RDOPositionDetail>().stockCode == "600000")
            heldRow = i;
    ASSERT_GE(heldRow, 0);
    const struct {
        const char* what;
        const char* code; // looked up first, in the account of its market
        std::function<void()> moveOn;
        bool emptyAfter; // nothing asked again: the field stays empty
    } ways[] = {
        { "another code", "600000", [&] { page.setCodeText(QStringLiteral("999999")); }, true },
        // A Shenzhen code sits in the first account, which a new code keeps.
        { "another code, the account kept", "000001", [&] { page.setCodeText(QStringLiteral("999999")); },
            true },
        { "another price", "600000",
            [&] {
                page.setPriceText(QStringLiteral("1.00"));
                page.priceEditEnd();
            },
            false },
        // Nothing new is asked: the maximum shown stays, the late one goes.
        { "a price that cannot be sent", "600000",
            [&] {
                page.setPriceText(QStringLiteral("9&1"));
                page.priceEditEnd();
            },
            false },
        // Whatever the lookup that follows does.
        { "a position", "600000",
            [&] {
                sim.answerErrorNext(brokersim::kTimesharingFunction, -1, QStringLiteral("暂停"));
                ASSERT_EQ(page.selectedAccount(), 1);
                page.positionTableViewClicked(heldRow);
                EXPECT_EQ(page.selectedAccount(), 2);
                ASSERT_TRUE(
                    spinUntil([&] { return sim.receivedCount(brokersim::kTimesharingFunction) == 1; }));
            },
            true },
        { "another account", "600000",
            [&] { page.shareholderCodePButtonSelectedChanged(3 - page.selectedAccount()); }, false },
    };
    // The late maximum answered, or refused (no amount buys a lot at 0).
    for (const char* latePrice : { "9.00", "0.00" })
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(way.what) + " at " + latePrice);
            page.setCodeText(QString());
            lookUp(page, QString::fromLatin1(way.code));
            sim.withholdNext(brokersim::kMaxQuantityFunction);
            page.setPriceText(QString::fromLatin1(latePrice));
            page.priceEditEnd();
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
            sim.clearReceived();
            way.moveOn();
            ASSERT_TRUE(pagestest::settled());
            const QString shown = page.maxAmountText();
            EXPECT_EQ(shown.isEmpty(), way.emptyAfter) << qPrintable(shown);
            sim.releaseWithheld();
            ASSERT_TRUE(pagestest::settled());
            EXPECT_EQ(page.maxAmountText(), shown);
        }
}

// Money of the shareholder account left behind (another currency) is gone,
// even when the new query fails, and its late answer is dropped.
TEST_F(LateAnswersTest, MoneyOfAnotherShareholderAccountIsNeverShown)
{
    logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" },
        { QStringLiteral("深圳B股"), "2", "C101000001" } });
    TradeViewController& page = openPage(10000);
    ASSERT_TRUE(spinUntil([&] { return money(page); }));

    sim.answerErrorNext(brokersim::kMoneyFunction, -1, QStringLiteral("系统忙"));
    page.shareholderCodePButtonSelectedChanged(1);
    EXPECT_FALSE(money(page));
    ASSERT_TRUE(pagestest::settled());
    EXPECT_FALSE(money(page)) << qPrintable(page.availableMoneyText());

    // Back to the first account, its answer held back; the B-share account
    // again, answered: the first account's late figure is dropped.
    sim.withholdNext(brokersim::kMoneyFunction);
    page.shareholderCodePButtonSelectedChanged(0);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.answerTablesNext(brokersim::kMoneyFunction,
        { brokersim::Table()
                .column(QStringLiteral("fundid"))
                .column(QStringLiteral("~moneytype"))
                .column(QStringLiteral("fundavl"))
                .row({ "010100000002", "港币", "1234.00" }) });
    page.shareholderCodePButtonSelectedChanged(1);
    ASSERT_TRUE(pagestest::settled());
    sim.releaseWithheld();
    ASSERT_TRUE(pagestest::settled());
    EXPECT_EQ(page.availableMoneyText(), QStringLiteral("1234.00元"));
}

// A quote or a chart of the code typed before, answered after the next one
// filled the form, does not fill it again: the price typed since stays.
TEST_F(LateAnswersTest, ALateQuoteDoesNotRefillTheForm)
{
    logInWithShareholders();
    TradeViewController& page = openPage(10000);
    for (const brokersim::Function late :
        { brokersim::kQuote5LevelExFunction, brokersim::kTimesharingFunction }) {
        SCOPED_TRACE(late.sub);
        sim.withholdNext(late);
        page.setCodeText(QStringLiteral("600000"));
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
        lookUp(page, QStringLiteral("000001"));
        page.setPriceText(QStringLiteral("12.34"));
        page.priceEditEnd();
        sim.clearReceived();
        sim.releaseWithheld();
        // A chart the late quote would ask for goes out after the first round
        // trip and is answered before the second.
        ASSERT_TRUE(pagestest::quotesSettled());
        ASSERT_TRUE(pagestest::quotesSettled());
        EXPECT_EQ(page.priceText(), QStringLiteral("12.34"));
        EXPECT_EQ(page.nameText(), market().security(QStringLiteral("000001"))->name);
        for (const brokersim::Request& chart : sim.receivedOf(brokersim::kTimesharingFunction))
            EXPECT_EQ(chart.valueOr(u"code"), QString::fromLatin1(pagestest::kUnknownChart));
    }
}

// The warrant's facts asked for the code typed before never touch the
// exercise price of the code in the field.
TEST_F(LateAnswersTest, LateWarrantFactsLeaveThePriceOfTheCodeInTheField)
{
    logInWithHolders({ { QStringLiteral("上海A股"), "1", "A101000001" } });
    auto node = std::make_shared<BaseNode>();
    node->nodeLinkId = 80000;
    WarrantExerciseViewController page(node);
    page.setAlertPresenter(&alerts);
    page.load();
    sim.withholdNext(brokersim::kWarrantInfoFunction);
    page.setCodeText(QStringLiteral("580026"));
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    // Another code whose facts say 1.5.
    sim.answerTablesNext(brokersim::kWarrantInfoFunction,
        pagestest::warrantFacts(
            QStringLiteral("600000"), QStringLiteral("600000"), QStringLiteral("1.5"), QStringLiteral("1")));
    page.setCodeText(QStringLiteral("600000"));
    ASSERT_TRUE(spinUntil([&] { return page.priceText() == QStringLiteral("1.500"); }));
    sim.releaseWithheld();
    ASSERT_TRUE(pagestest::settled());
    EXPECT_EQ(page.priceText(), QStringLiteral("1.500"));
}

// Every trading page forgets the money, the maximum and the holdings of the
// login account left behind before it asks for the new one's, whatever the
// new answers do.
TEST_F(LateAnswersTest, EveryPageClearsTheFiguresOfTheAccountLeft)
{
    logInWithShareholders();
    const struct {
        const char* what;
        qint64 link;
        std::function<std::unique_ptr<TradeViewController>(BaseNode::Ptr)> make;
    } kinds[] = {
        { "buy", 10000, [](BaseNode::Ptr n) { return std::make_unique<TradeViewController>(n); } },
        { "sell", 10001, [](BaseNode::Ptr n) { return std::make_unique<TradeViewController>(n); } },
        { "after-hours", 10007, [](BaseNode::Ptr n) { return std::make_unique<AfTradeViewController>(n); } },
        { "warrant", 80000,
            [](BaseNode::Ptr n) { return std::make_unique<WarrantExerciseViewController>(n); } },
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.what);
        auto node = std::make_shared<BaseNode>();
        node->nodeLinkId = kind.link;
        std::unique_ptr<TradeViewController> page = kind.make(node);
        page->setAlertPresenter(&alerts);
        page->load();
        ASSERT_TRUE(spinUntil([&] { return money(*page) && page->positions(); }));
        sim.answerErrorNext(brokersim::kMoneyFunction, -1, QStringLiteral("系统忙"));
        sim.answerErrorNext(brokersim::kPositionsFunction, -1, QStringLiteral("系统忙"));
        page->loginAccountChanged();
        ASSERT_TRUE(pagestest::settled());
        EXPECT_FALSE(money(*page)) << qPrintable(page->availableMoneyText());
        EXPECT_FALSE(page->positions());
        EXPECT_TRUE(page->maxAmountText().isEmpty());
    }
}

} // namespace

#include "comm/request/CSNetwork.h"
#include "core/NetworkFactory.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/pages/PurchaseViewController.h"
#include "trading_pages/AnswerAfterTheLock.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <array>
#include <functional>
#include <gtest/gtest.h>

using namespace pagestest;

namespace {

class PurchasePageTest : public PagesFixture {
protected:
    void SetUp() override
    {
        PagesFixture::SetUp();
        logInWithHolders({ { QStringLiteral("深圳A股"), "0", "0101000001" },
            { QStringLiteral("上海A股"), "1", "A101000001" },
            { QStringLiteral("沪港通"), "5", "H101000001" } });
        // A dialog left busy ends at a short backstop: a test fails, but fast.
        PurchaseViewControllerServices quick;
        quick.dialog.busyBackstopMs = 2000;
        owned = std::make_unique<PurchaseViewController>(nullptr, quick);
        owned->setAlertPresenter(&alerts);
        owned->load();
        EXPECT_TRUE(spinUntil(
            [&] { return page().stockInfoList().size() == 3 && !page().maxCanPurchaseText().isEmpty(); }));
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        owned.reset();
        PagesFixture::TearDown();
    }
    // Confirms the dialog once it is on screen; counts how often it came up.
    void confirmWhenShown()
    {
        OrderAlertWindowController::setShownHookForTesting([this](OrderAlertWindowController& c) {
            ++shown;
            QTimer::singleShot(0, &c, [&c, this] {
                confirmed = c.orderParam();
                page().purchaseButtonClicked(); // a second press while busy sends nothing
                c.confirmButtonClicked();
            });
        });
    }

    std::unique_ptr<PurchaseViewController> owned;
    PurchaseViewController& page() { return *owned; }
    int shown = 0;
    std::optional<OrderParam> confirmed;
};

} // namespace

TEST_F(PurchasePageTest, ListFillsTheFormAndIssueAccountIsChosen)
{
    ASSERT_EQ(page().accountTitles().size(), 2); // no Stock Connect account
    EXPECT_EQ(page().stockInfoTable()->tableColomnTitles().contains(QStringLiteral("market")), false);
    const RDONewStock& first = page().stockInfoList()[0];
    EXPECT_EQ(first.stockCode, "732001");
    EXPECT_EQ(page().selectedAccount(), 1); // the Shanghai account the issue names
    EXPECT_EQ(page().stockPriceText(), first.stockPrice);
    EXPECT_EQ(page().limitDownText(), "1000");
    EXPECT_EQ(page().limitUpText(), "15000");
    EXPECT_TRUE(page().maxCanPurchaseText().endsWith(QStringLiteral("股")))
        << page().maxCanPurchaseText().toStdString();

    // A table click shows the limits of the issue clicked; the pop-up follows.
    // The maximum of the issue before goes at once, until the new one's comes.
    page().stockInfoTableClicked(2);
    EXPECT_TRUE(page().maxCanPurchaseText().isEmpty()) << page().maxCanPurchaseText().toStdString();
    EXPECT_TRUE(spinUntil([&] { return !page().maxCanPurchaseText().isEmpty(); }));
    EXPECT_EQ(page().selectedStock(), 2);
    EXPECT_EQ(page().selectedAccount(), 0);
    EXPECT_EQ(page().stockPriceText(), "23.10");
    EXPECT_EQ(page().limitDownText(), "500");
    EXPECT_EQ(page().limitUpText(), "12000");
    page().stockSelectionChanged(1);
    EXPECT_EQ(page().limitUpText(), "5500");
    EXPECT_EQ(page().selectedTableRow(), 1);
}

TEST_F(PurchasePageTest, PriceStepsWriteTwoDecimalsAndTheStepperKeepsItsBounds)
{
    page().setPriceText(QStringLiteral("0.02"));
    page().subButtonClicked();
    EXPECT_EQ(page().stockPriceText(), "0.01");
    page().subButtonClicked();
    EXPECT_EQ(page().stockPriceText(), "0.01");
    page().setPriceText(QString());
    page().addButtonClicked();
    EXPECT_EQ(page().stockPriceText(), "0.01");
    page().setPriceText(QStringLiteral("12.34"));
    for (int i = 0; i < 1000; ++i)
        page().addButtonClicked();
    EXPECT_EQ(page().stockPriceText(), "22.34"); // no drift
    page().priceStepperClicked(-3.5);
    EXPECT_EQ(page().stockPriceText(), "0.01");
    page().priceStepperClicked(12.345);
    EXPECT_EQ(page().stockPriceText().section('.', 1).size(), 2);
    page().priceStepperClicked(std::nan(""));
    EXPECT_GT(page().stepperValue(), 0);
}

// The field's number read in single precision, a hundredth added or taken,
// two decimals written; a minus that would reach zero changes nothing.
TEST_F(PurchasePageTest, PriceButtonsStepTheFieldsNumberByAHundredth)
{
    const struct {
        const char* price;
        bool up;
        const char* expected;
    } cases[] = { { "12.345", true, "12.36" }, { "12.345", false, "12.34" }, { "12.340", true, "12.35" },
        { "12.340", false, "12.33" }, { "12.3", true, "12.31" }, { "9.999", true, "10.01" },
        { "0.005", false, "0.005" }, { "0.01", false, "0.01" }, { "abc", true, "0.01" } };
    for (const auto& c : cases) {
        page().setPriceText(QString::fromLatin1(c.price));
        c.up ? page().addButtonClicked() : page().subButtonClicked();
        EXPECT_EQ(page().stockPriceText(), QString::fromLatin1(c.expected))
            << c.price << (c.up ? " +" : " -");
    }
}

// Only a missing or unsafe value stops a subscription on the page; any
// other price and quantity reach the dialog as typed, and the server
// judges them.
TEST_F(PurchasePageTest, OnlyAMissingOrUnsafeValueStopsASubscription)
{
    std::vector<OrderParam> dialogs;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& c) {
        dialogs.push_back(c.orderParam());
        QTimer::singleShot(0, &c, [&c] { c.cancelButtonClicked(); });
    });
    const QString missing = QString::fromUtf8(PurchaseViewController::kMissingInputMessage);
    const QString price = typednumber::refusal(QStringLiteral("申购价格"));
    const QString quantity = typednumber::refusal(QStringLiteral("申购数量"));
    const struct {
        const char* price;
        QString quantity;
        QString told; // naming the field no request can carry
    } refused[] = { { "12.34", "", missing }, { "", "1000", missing }, { "12.34", "1000&qty=1", quantity },
        { "12=3", "1000", price }, { "１２．３４元", "1000", price }, { "１０．５０元", "1000", price },
        { "12.34", "１，０００", quantity }, { "12.34", "\u3000", missing },
        { "12.34", QString(10000, QLatin1Char('1')), QStringLiteral("申购数量过长：最多255个字符") } };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.told.toStdString());
        alerts.shown.clear();
        page().setPriceText(QString::fromUtf8(r.price));
        page().setQuantityText(r.quantity);
        page().purchaseButtonClicked();
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown.back().text, r.told);
    }
    EXPECT_TRUE(dialogs.empty());

    // Full-width digits, as an input method types them, are digits.
    const struct {
        const char* price;
        const char* quantity;
        const char* shownPrice;
        const char* shownQuantity;
    } sent[] = { { "12.345", "-1000", "12.345", "-1000" }, { "0", "1000.5", "0", "1000.5" },
        { "abc", "0", "abc", "0" }, { "１２．３４", "\u3000１０００", "12.34", "1000" } };
    for (const auto& t : sent) {
        page().setPriceText(QString::fromUtf8(t.price));
        page().setQuantityText(QString::fromUtf8(t.quantity));
        page().purchaseButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page().isBusy(); }));
        ASSERT_FALSE(dialogs.empty()) << t.price << " " << t.quantity;
        EXPECT_EQ(dialogs.back().price(), QLatin1String(t.shownPrice));
        EXPECT_EQ(dialogs.back().quantity(), QLatin1String(t.shownQuantity));
    }
    EXPECT_EQ(dialogs.size(), 4u);
    EXPECT_EQ(alerts.shown.size(), 1u); // the last refusal's alone
}

// The money asked for follows the chosen account's market: 2 (B shares in
// Shanghai) asks type 1, 3 and 7 ask type 2, any other type 0, each after a
// switch to that account. A Stock Connect account alone leaves the pop-up
// empty, asks neither the money nor, once the list is in, the maximum, shows
// neither of the account before, and refuses to subscribe in an error box.
TEST_F(PagesFixture, NewIssuePageAsksTheMoneyOfItsAccountsMarket)
{
    const auto trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
    const brokersim::Function listFunction { 550, 8 };
    PurchaseViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.stockInfoList().size() == 3 && trade->requestCount() == 0; }));
    const struct {
        const char* market;
        const char* type;
    } cases[] = { { "2", "1" }, { "3", "2" }, { "7", "2" }, { "1", "0" }, { "0", "0" }, { "5", nullptr } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.market);
        logInWithHolders({ { QStringLiteral("股东"), c.market, "X101000001" } });
        const bool figuresShown
            = !page.availableMoneyText().isEmpty() && !page.maxCanPurchaseText().isEmpty();
        sim.clearReceived();
        page.loginAccountChanged();
        ASSERT_TRUE(
            spinUntil([&] { return sim.receivedCount(listFunction) == 1 && trade->requestCount() == 0; }));
        if (!c.type) {
            EXPECT_TRUE(page.accountTitles().isEmpty());
            EXPECT_EQ(page.stockInfoList().size(), 3u);
            EXPECT_EQ(sim.receivedCount(brokersim::kMoneyFunction), 0);
            EXPECT_EQ(sim.receivedCount(brokersim::kMaxQuantityFunction), 0);
            ASSERT_TRUE(figuresShown); // the account before's
            EXPECT_TRUE(page.availableMoneyText().isEmpty()) << page.availableMoneyText().toStdString();
            EXPECT_TRUE(page.maxCanPurchaseText().isEmpty()) << page.maxCanPurchaseText().toStdString();
            page.setQuantityText(QStringLiteral("1000"));
            page.purchaseButtonClicked();
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_EQ(alerts.shown[0].title, "错误");
            EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(PurchaseViewController::kNoAccountMessage));
            continue;
        }
        ASSERT_EQ(sim.receivedCount(brokersim::kMoneyFunction), 1);
        EXPECT_EQ(sim.receivedOf(brokersim::kMoneyFunction)[0].valueOr(u"moneytype"), QLatin1String(c.type));
        EXPECT_EQ(sim.receivedCount(brokersim::kMaxQuantityFunction), 1);
        EXPECT_FALSE(page.maxCanPurchaseText().isEmpty());
    }
}

TEST_F(PurchasePageTest, SubscriptionWithinTheLimitGetsAnOrderNumber)
{
    confirmWhenShown();
    page().setQuantityText(QStringLiteral("1000"));
    page().purchaseButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page().isBusy() && !alerts.shown.empty(); }));
    EXPECT_EQ(shown, 1);
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(confirmed->securityId(), "A101000001");
    EXPECT_EQ(confirmed->stockCode(), "732001");
    ASSERT_FALSE(page().lastOrderNumber().isEmpty()) << alerts.shown.back().text.toStdString();
    EXPECT_EQ(alerts.shown.back().text,
        QString::fromUtf8(PurchaseViewController::kSubmittedFormat).arg(page().lastOrderNumber()));
    EXPECT_TRUE(page().purchaseQuantityText().isEmpty());
    EXPECT_EQ(page().stockPriceText(), "12.34");
}

// An answer after the lock shows its own subscription's number and leaves
// the next subscription's dialog open, with the quantity it was made from.
TEST_F(PurchasePageTest, AnAnswerAfterTheLockBelongsToItsOwnSubscriptionOnly)
{
    testsupport::AnswerAfterTheLock runs(
        sim, brokersim::kOrderFunction, [&] { return !alerts.shown.empty(); },
        [&] {
            EXPECT_EQ(page().purchaseQuantityText(), QStringLiteral("2000"));
            EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 1); // the box is the first one's
        });
    for (const char* quantity : { "1000", "2000", "2000" }) {
        page().setQuantityText(QString::fromLatin1(quantity));
        ASSERT_TRUE(runs.press([&] { page().purchaseButtonClicked(); })) << quantity;
    }
    ASSERT_EQ(sim.receivedCount(brokersim::kOrderFunction), 2);
    ASSERT_EQ(alerts.shown.size(), 2u);
    const QString submitted = QString::fromUtf8(PurchaseViewController::kSubmittedFormat);
    EXPECT_EQ(alerts.shown[1].text, submitted.arg(page().lastOrderNumber()));
    EXPECT_NE(alerts.shown[0].text, alerts.shown[1].text);
    EXPECT_TRUE(alerts.shown[0].text.startsWith(submitted.section(u'%', 0, 0)));
    EXPECT_TRUE(page().purchaseQuantityText().isEmpty());
}

// Two Shanghai accounts: an issue whose record names the second one selects
// it; one that names only its market selects the first account of that
// market, its number read by value ("1.000" is market 1).
TEST_F(PagesFixture, NewIssueSelectsTheAccountItsRecordNamesOverAnotherOfTheSameMarket)
{
    logInWithHolders({ { QStringLiteral("深圳A股"), "0", "0101000001" },
        { QStringLiteral("上海A股"), "1", "A100000009" }, { QStringLiteral("上海A股"), "1", "A101000001" } });
    const struct {
        const char* market; // nothing: the simulator's list, which names A101000001
        const char* selected;
    } rows[] = { { nullptr, "A101000001" }, { "1.000", "A100000009" } };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.selected);
        if (row.market) {
            brokersim::Table list
                = brokersim::describedTable({ { "ZQDM", "证券代码" }, { "ZQMC", "证券名称" },
                    { "SGJG", "申购价格" }, { "secuid", "股东代码" }, { "market", "市场代码" } });
            list.row({ "732001", "新股", "10.00", "", QString::fromLatin1(row.market) });
            sim.answerTablesNext(brokersim::Function { 550, 8 }, { list });
        }
        PurchaseViewController page;
        page.setAlertPresenter(&alerts);
        page.load();
        ASSERT_TRUE(spinUntil([&] { return !page.stockInfoList().empty(); }));
        EXPECT_TRUE(page.accountTitles().value(page.selectedAccount()).contains(QLatin1String(row.selected)))
            << page.accountTitles().value(page.selectedAccount()).toStdString();
    }
}

// An issue that names neither its account nor its market picks no account:
// the account chosen before stays, whatever its market, and no maximum is
// asked for it.
TEST_F(PagesFixture, NewIssueWithNoMarketAndNoAccountKeepsTheAccountChosen)
{
    logInWithHolders({ { QStringLiteral("深圳A股"), "0", "0101000001" },
        { QStringLiteral("上海A股"), "1", "A101000001" } });
    brokersim::Table list = brokersim::describedTable({ { "ZQDM", "证券代码" }, { "ZQMC", "证券名称" },
        { "SGJG", "申购价格" }, { "secuid", "股东代码" }, { "market", "市场代码" } });
    list.row({ "732001", "新股甲", "10.00", "A101000001", "1" }).row({ "732002", "新股乙", "10.00", "", "" });
    sim.answerTablesNext(brokersim::Function { 550, 8 }, { list });
    PurchaseViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.stockInfoList().size() == 2; }));
    ASSERT_EQ(page.selectedAccount(), 1);
    ASSERT_TRUE(settled());
    sim.clearReceived();
    page.stockSelectionChanged(1);
    ASSERT_TRUE(settled());
    EXPECT_EQ(page.selectedAccount(), 1);
    EXPECT_EQ(sim.receivedCount(brokersim::kMaxQuantityFunction), 0);
}

TEST_F(PurchasePageTest, SubscriptionOverTheLimitShowsTheServersRefusal)
{
    confirmWhenShown();
    page().setQuantityText(QStringLiteral("16000"));
    page().purchaseButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page().isBusy() && !alerts.shown.empty(); }));
    EXPECT_TRUE(page().lastOrderNumber().isEmpty());
    EXPECT_EQ(alerts.shown.back().title, "错误");
    EXPECT_TRUE(alerts.shown.back().text.contains(QStringLiteral("申购上限")))
        << alerts.shown.back().text.toStdString();
    EXPECT_EQ(page().purchaseQuantityText(), "16000");
}

// A refused subscription shows the server's message whatever its code.
TEST_F(PurchasePageTest, ARefusalShowsTheServersMessageWhateverItsCode)
{
    confirmWhenShown();
    for (const qint32 code : { 6, 101, 200, 300 }) {
        SCOPED_TRACE(code);
        const QString message = QStringLiteral("超过申购上限(%1)").arg(code);
        sim.answerErrorNext(brokersim::Function { 500, 6 }, code, message);
        alerts.shown.clear();
        page().setQuantityText(QStringLiteral("1000"));
        page().purchaseButtonClicked();
        ASSERT_TRUE(spinUntil([&] { return !page().isBusy() && !alerts.shown.empty(); }));
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].title, "错误");
        EXPECT_EQ(alerts.shown[0].text, message);
        EXPECT_TRUE(page().lastOrderNumber().isEmpty());
    }
}

namespace {

// A new-issue list reply: code, price, lower and upper limit per issue, all
// of the Shanghai account.
brokersim::Table issueList(const std::vector<std::array<const char*, 4>>& issues)
{
    brokersim::Table t = brokersim::describedTable(
        { { "ZQDM", "证券代码" }, { "ZQMC", "证券名称" }, { "SGJG", "申购价格" }, { "SGXX", "申购下限" },
            { "SGSX", "申购上限" }, { "secuid", "股东代码" }, { "market", "市场代码" } });
    for (const auto& [code, price, down, up] : issues)
        t.row({ QString::fromLatin1(code), QStringLiteral("新股"), QString::fromLatin1(price),
            QString::fromLatin1(down), QString::fromLatin1(up), QStringLiteral("A101000001"),
            QStringLiteral("1") });
    return t;
}

} // namespace

// However the issue shown goes (an empty list for the same account; another
// account whose list is empty, fails, or has an issue without a price,
// picked or clicked), no price, limit or maximum of it stays to be sent.
TEST_F(PurchasePageTest, NoFigureOfTheIssueBeforeOutlivesIt)
{
    OrderAlertWindowController::setShownHookForTesting([](OrderAlertWindowController& c) {
        ADD_FAILURE() << "confirmed " << c.orderParam().stockCode().toStdString() << " at "
                      << c.orderParam().price().toStdString();
        QTimer::singleShot(0, &c, [&c] { c.cancelButtonClicked(); });
    });
    const auto expectNoIssue = [&] {
        EXPECT_TRUE(page().stockInfoList().empty());
        EXPECT_TRUE(page().stockTitles().isEmpty());
        const QString left = page().stockPriceText() + page().limitDownText() + page().limitUpText()
            + page().maxCanPurchaseText();
        EXPECT_TRUE(left.isEmpty()) << left.toStdString();
    };

    const brokersim::Function list { 550, 8 };
    const brokersim::Table priceless
        = issueList({ { "732001", "10.00", "1000", "15000" }, { "732002", "", "500", "9000" } });
    const struct {
        const char* what;
        std::optional<brokersim::Table> list; // none: the list fails
        void (PurchaseViewController::*choose)(int); // then the issue without a price
    } ways[] = {
        // First, while the previous account's issues are still listed.
        { "failed", std::nullopt, nullptr },
        { "empty", issueList({}), nullptr },
        { "picked", priceless, &PurchaseViewController::stockSelectionChanged },
        { "clicked", priceless, &PurchaseViewController::stockInfoTableClicked },
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        if (way.list)
            sim.answerTablesNext(list, { *way.list });
        else
            sim.answerErrorNext(list, -1, QStringLiteral("系统忙"));
        sim.withholdNext(brokersim::kMoneyFunction);
        page().loginAccountChanged();
        // The previous account's figures go at once, before any answer.
        EXPECT_TRUE(page().availableMoneyText().isEmpty());
        EXPECT_EQ(page().stockInfoTableView().model().shownRowCount(), 0);
        ASSERT_TRUE(settled());
        if (way.choose) {
            ASSERT_EQ(page().stockPriceText(), "10.00");
            (page().*way.choose)(1);
            EXPECT_TRUE(page().stockPriceText().isEmpty()) << page().stockPriceText().toStdString();
        } else {
            expectNoIssue();
        }
        alerts.shown.clear();
        page().setQuantityText(QStringLiteral("1000"));
        page().purchaseButtonClicked();
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].text,
            QString::fromUtf8(way.choose ? PurchaseViewController::kMissingInputMessage
                                         : PurchaseViewController::kNoIssueMessage));
        sim.releaseWithheld();
    }
    page().queryPurchaseNewStockList(nullptr, QString(), std::make_shared<DTPurchaseNewStockTable>(nullptr));
    expectNoIssue();
}

// The maximum shown is the one of the issue chosen last, whatever order
// the answers come in.
TEST_F(PurchasePageTest, ALateMaximumOfTheIssueBeforeIsDropped)
{
    brokersim::Table max = brokersim::describedTable({ { "maxstkqty", "最大数量" } });
    max.row({ QStringLiteral("777") });
    sim.withholdNext(brokersim::kMaxQuantityFunction);
    page().stockSelectionChanged(1);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }));
    sim.answerTablesNext(brokersim::kMaxQuantityFunction, { max });
    page().stockSelectionChanged(2);
    ASSERT_TRUE(spinUntil([&] { return !page().maxCanPurchaseText().isEmpty(); }));
    ASSERT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(settled());
    EXPECT_EQ(page().maxCanPurchaseText(), QStringLiteral("777股"));
}

// A dialog still waiting for the customer holds the subscription of the
// account left behind: an account change closes it, and nothing goes out.
TEST_F(PurchasePageTest, AnAccountChangeClosesTheDialogOfTheAccountBefore)
{
    bool stillShown = false;
    OrderAlertWindowController::setShownHookForTesting([this, &stillShown](OrderAlertWindowController& c) {
        ++shown;
        QTimer::singleShot(0, &c, [&c, this, &stillShown] {
            page().loginAccountChanged();
            if ((stillShown = c.isShown()))
                c.confirmButtonClicked();
        });
    });
    page().setQuantityText(QStringLiteral("1000"));
    page().purchaseButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return shown == 1 && !page().isBusy(); }));
    EXPECT_FALSE(stillShown);
    ASSERT_TRUE(settled());
    EXPECT_EQ(sim.receivedCount(brokersim::kOrderFunction), 0);
}

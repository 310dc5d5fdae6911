#include "comm/request/CSNetwork.h"
#include "core/NetworkFactory.h"
#include "tools/broker-sim/BackOffice.h"
#include "trading/pages/DeputeCancelViewController.h"
#include "trading/pages/OrderOutcomeRelay.h"
#include "trading_pages/TradingPagesRig.h"

#include <QTimer>
#include <gtest/gtest.h>

using namespace pagestest;

namespace {

class DeputeCancelPageTest : public PagesFixture {
protected:
    void SetUp() override
    {
        PagesFixture::SetUp();
        page = std::make_unique<DeputeCancelViewController>();
        page->setAlertPresenter(&alerts);
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting({});
        page.reset();
        PagesFixture::TearDown();
    }

    // What the user does once the dialog is on screen; the page's button
    // returns after the dialog has closed.
    void whenShown(std::function<void(OrderAlertWindowController&)> action)
    {
        OrderAlertWindowController::setShownHookForTesting([this, action](OrderAlertWindowController& c) {
            shown << c.contentText();
            ++shownCount;
            QTimer::singleShot(0, &c, [&c, action] { action(c); });
        });
    }
    // Loads (or waits for the reload of) the page's list.
    void waitForList()
    {
        const auto before = page->orders();
        ASSERT_TRUE(spinUntil([&] { return page->orders() && page->orders() != before; }));
    }
    int rowOf(const QString& number)
    {
        for (qsizetype row = 0; row < page->orders()->contentObjectArray().size(); ++row)
            if (page->orders()->recordAt(row).number == number)
                return int(row);
        return -1;
    }
    QString statusOf(const QString& number) { return page->orders()->recordAt(rowOf(number)).statusDesc; }

    QStringList shown;
    int shownCount = 0;
    std::unique_ptr<DeputeCancelViewController> page;
};

} // namespace

TEST_F(DeputeCancelPageTest, EmptyListTicksNothingAndTheButtonSendsNothing)
{
    page->load();
    waitForList();
    EXPECT_EQ(page->countText(), "0");
    page->selectAllButtonClicked(true);
    EXPECT_FALSE(page->selectAllChecked());
    EXPECT_EQ(page->selectedCountText(), "0");
    // 撤单 with nothing ticked does nothing: no dialog, no box, no request.
    const qsizetype cancels = sim.receivedCount(brokersim::Function { 500, 7 });
    page->cancelOderButtonClicked();
    EXPECT_FALSE(page->isBusy());
    EXPECT_EQ(shownCount, 0);
    EXPECT_TRUE(alerts.shown.empty());
    EXPECT_EQ(sim.receivedCount(brokersim::Function { 500, 7 }), cancels);
}

TEST_F(DeputeCancelPageTest, SingleCancelReportsTheServersMessageOnceAndReloads)
{
    const QString a = rest(false);
    const QString b = rest(false);
    page->load();
    waitForList();
    ASSERT_EQ(page->countText(), "2");
    // Rows listed, none ticked: the button does nothing.
    page->cancelOderButtonClicked();
    EXPECT_EQ(shownCount, 0);
    EXPECT_TRUE(alerts.shown.empty());
    page->ordersTableViewClicked(rowOf(b));
    EXPECT_EQ(page->selectedCountText(), "1");
    EXPECT_FALSE(page->selectAllChecked());

    // Dismissed: nothing goes out, and the next press opens the dialog again.
    whenShown([](OrderAlertWindowController& c) { c.cancelButtonClicked(); });
    sim.clearReceived();
    page->cancelOderButtonClicked();
    EXPECT_FALSE(page->isBusy());
    EXPECT_EQ(sim.receivedCount(), 0);
    ASSERT_EQ(shownCount, 1);
    EXPECT_TRUE(shown[0].contains(b));

    // A press while the dialog is up, and a held Enter, send one cancel.
    whenShown([this](OrderAlertWindowController& c) {
        page->cancelOderButtonClicked();
        c.confirmButtonClicked();
        c.confirmButtonClicked();
        page->doConfigOrder(c.theType());
    });
    page->cancelOderButtonClicked();
    waitForList();
    EXPECT_EQ(shownCount, 2);
    EXPECT_EQ(sim.receivedCount(), 2); // the cancel and the reload
    EXPECT_FALSE(page->isBusy());
    EXPECT_FALSE(page->alertWindowController().isShown());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "温馨提示");
    EXPECT_EQ(alerts.shown[0].text, "撤单请求已提交");
    EXPECT_EQ(statusOf(b), "已撤");
    EXPECT_EQ(statusOf(a), "已报");
    EXPECT_EQ(page->selectedCountText(), "0");
}

TEST_F(DeputeCancelPageTest, BatchCancelReportsTheCountsAloneAfterTheLastAnswer)
{
    const QString filled = rest(true);
    const QString a = rest(false);
    const QString b = rest(false);
    page->load();
    waitForList();
    page->selectAllButtonClicked(true);
    EXPECT_TRUE(page->selectAllChecked());
    EXPECT_EQ(page->selectedCountText(), "3");
    // While the dialog is up the price falls to the resting buy: it fills
    // before its cancel arrives.
    whenShown([this](OrderAlertWindowController& c) {
        stock().minutes[size_t(stock().cursor)].priceTicks
            = brokersim::Market::priceLimitTicks(stock(), false);
        c.confirmButtonClicked();
        EXPECT_TRUE(page->isBusy());
    });
    page->cancelOderButtonClicked();
    ASSERT_EQ(shownCount, 1);
    EXPECT_TRUE(shown[0].isEmpty()); // the batch dialog names no order
    waitForList();
    EXPECT_FALSE(page->isBusy());
    EXPECT_FALSE(page->alertWindowController().isShown());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, "温馨提示");
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("批量撤单\n成功数量:2\n失败数量:1"));
    EXPECT_EQ(statusOf(filled), "已成");
    EXPECT_EQ(statusOf(a), "已撤");
    EXPECT_EQ(statusOf(b), "已撤");
    const auto& results = page->lastResults();
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(std::count_if(results.begin(), results.end(), [](const auto& r) { return r.succeeded; }), 2);
}

// Exactly two ticked orders are a batch: the batch dialog, and one box with
// the counts once both have answered.
TEST_F(DeputeCancelPageTest, TwoTickedOrdersAreABatch)
{
    const QString a = rest(false);
    const QString b = rest(false);
    page->load();
    waitForList();
    page->selectAllButtonClicked(true);
    ASSERT_EQ(page->selectedCountText(), "2");
    whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
    sim.clearReceived();
    page->cancelOderButtonClicked();
    ASSERT_EQ(shownCount, 1);
    EXPECT_TRUE(shown[0].isEmpty()); // the batch dialog names no order
    waitForList();
    EXPECT_EQ(sim.receivedCount(brokersim::Function { 500, 7 }), 2);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("批量撤单\n成功数量:2\n失败数量:0"));
    EXPECT_EQ(statusOf(a), "已撤");
    EXPECT_EQ(statusOf(b), "已撤");
}

// A list that names one order in two rows: both ticked rows go in one cancel
// (equal cancels merge), its answer counts for each of them, and the batch
// ends with the dialog closed.
TEST_F(DeputeCancelPageTest, RowsOfOneOrderShareOneCancelAndEachIsCounted)
{
    rest(false);
    page->load();
    waitForList();
    const brokersim::Function list { 500, 121 };
    brokersim::Table twice
        = sim.handlerOf(list.main, list.sub)(sim.receivedOf(list).last(), sim.state()).tables.front();
    ASSERT_EQ(twice.rows.size(), 1);
    twice.rows << twice.rows.front();
    sim.answerTablesNext(list, { twice });
    page->load();
    waitForList();
    page->selectAllButtonClicked(true);
    ASSERT_EQ(page->selectedCountText(), "2");
    whenShown([](OrderAlertWindowController& c) {
        c.confirmButtonClicked();
        // An answer that counts one row only would leave the dialog up.
        QTimer::singleShot(2000, &c, [&c] {
            if (c.isShown()) {
                ADD_FAILURE() << "the batch never ended";
                c.stopRunModal();
            }
        });
    });
    sim.clearReceived();
    page->cancelOderButtonClicked();
    waitForList();
    EXPECT_EQ(sim.receivedCount(brokersim::Function { 500, 7 }), 1);
    EXPECT_FALSE(page->isBusy());
    EXPECT_FALSE(page->alertWindowController().isShown());
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("批量撤单\n成功数量:2\n失败数量:0"));
}

// After an account change whose list fails, the previous account's orders
// are gone: none can be ticked, and no cancel goes out under the new one.
TEST_F(DeputeCancelPageTest, AnAccountChangeWithAFailedListLeavesNoOrderOfTheAccountBefore)
{
    rest(true);
    page->load();
    waitForList();
    ASSERT_GT(page->ordersTable().shownRowCount(), 0);
    page->selectAllButtonClicked(true);
    ASSERT_NE(page->selectedCountText(), "0");

    sim.answerErrorNext(brokersim::kOrdersOfTodayFunction, -1, QStringLiteral("系统忙"));
    page->loginAccountChanged();
    EXPECT_FALSE(page->orders());
    EXPECT_EQ(page->ordersTable().shownRowCount(), 0);
    EXPECT_EQ(page->countText(), "0");
    EXPECT_EQ(page->selectedCountText(), "0");
    EXPECT_FALSE(page->selectAllChecked());
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.empty(); }));
    EXPECT_EQ(alerts.shown[0].text, "系统忙");

    whenShown([](OrderAlertWindowController& c) { c.confirmButtonClicked(); });
    sim.clearReceived();
    page->selectAllButtonClicked(true);
    page->ordersTableViewClicked(0);
    page->cancelOderButtonClicked();
    EXPECT_EQ(shownCount, 0);
    EXPECT_EQ(sim.receivedCount(brokersim::kCancelFunction), 0);
}

// A 20-cancel run lost to a server that keeps failing: one round reads the
// list again for all of them, and each round whose list fails is told once,
// in the error's own words, unless the box of an earlier one is still open
// (the customer away through a long freeze finds one box); the rows listed
// before the run stay, ticked as they were, under the line that says they
// may be out of date, until a list comes.
TEST_F(DeputeCancelPageTest, AListFailingInRoundsIsToldOnceARound)
{
    using brokersim::kOrdersOfTodayFunction;
    const struct {
        const char* way;
        std::function<void()> fail; // armed for the list reads to come
        QString told;
        bool frozen; // the reads are held, and time out
        bool away; // the first box stays open until round 3 is over
    } rows[] = {
        { "time-outs while the connection stays up", [this] { sim.withholdNext(kOrdersOfTodayFunction, 10); },
            QStringLiteral("请求超时"), true, false },
        { "error rows",
            [this] { sim.answerErrorNext(kOrdersOfTodayFunction, -1, QStringLiteral("系统忙"), 10); },
            QStringLiteral("系统忙"), false, false },
        { "the customer away", [this] { sim.withholdNext(kOrdersOfTodayFunction, 10); },
            QStringLiteral("请求超时"), true, true },
    };
    for (int i = 0; i < 20; ++i)
        rest(true);
    OwedReads* owed = OwedReads::getInstance();
    owed->setRoundDelays({ std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    page->load();
    waitForList();
    const auto tradeLogon = [] {
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.way);
        page->selectAllButtonClicked(true);
        ASSERT_EQ(page->selectedCountText(), "20");
        sim.clearControls();
        sim.clearReceived();
        alerts.shown.clear();
        sim.withholdNext(brokersim::kCancelFunction, 20);
        whenShown([&](OrderAlertWindowController& c) {
            c.confirmButtonClicked();
            ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kCancelFunction) == 20; }));
            row.fail();
            timeOut({ brokersim::kCancelFunction });
        });
        page->cancelOderButtonClicked();
        // The page's own ask after the run, which the first round's joins,
        // then one ask a round, each at a trade logon.
        for (int round = 1; round <= 4; ++round) {
            SCOPED_TRACE(round);
            if (round > 1)
                tradeLogon();
            ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kOrdersOfTodayFunction) == round; }));
            if (row.frozen)
                timeOut({ kOrdersOfTodayFunction });
            const std::size_t boxes = !row.away ? 1u + round : round < 4 ? 2u : 3u;
            // The failed round is over: the next waits for the logon.
            ASSERT_TRUE(spinUntil([&] { return !owed->roundInFlight() && owed->roundWait().count() > 0; }));
            EXPECT_EQ(alerts.shown.size(), boxes);
            EXPECT_EQ(alerts.shown.back().title, QStringLiteral("错误")); // stays open through a lock
            EXPECT_EQ(alerts.shown.back().text, row.told);
            EXPECT_EQ(page->ordersTable().shownRowCount(), 20);
            EXPECT_EQ(page->selectedCountText(), "20");
            EXPECT_EQ(page->countText(), "20");
            EXPECT_EQ(page->figuresOutOfDate(), QStringList { owedfigure::kOrders });
            // The customer closes the list's box.
            if (!row.away || round >= 3) {
                if (AlertPresenter::Completion close = std::exchange(alerts.open.back(), nullptr))
                    close(0);
            }
        }
        EXPECT_EQ(alerts.shown[0].text, QStringLiteral("批量撤单\n成功数量:0\n失败数量:20"));
        sim.clearControls();
        tradeLogon();
        ASSERT_TRUE(spinUntil([&] { return !owed->owes(); }));
        EXPECT_EQ(alerts.shown.size(), row.away ? 3u : 5u);
        EXPECT_EQ(page->countText(), "20");
        EXPECT_EQ(page->selectedCountText(), "0"); // the list that came cleared the ticks
        EXPECT_TRUE(page->figuresOutOfDate().isEmpty());
        EXPECT_EQ(sim.receivedCount(brokersim::kCancelFunction), 20); // never sent again
    }
    // Once a list has come, the next failure is told again.
    sim.answerErrorNext(kOrdersOfTodayFunction, -1, QStringLiteral("系统忙"));
    alerts.shown.clear();
    page->readOwed({ owedfigure::kOrders });
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.empty(); }));
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("系统忙"));
}

// A run still out when its dialog's time limit passes: its relay tells the
// counts so far once, those still out as failures, and the page is free at
// once, reading nothing. Later the relay tells what came of the run once,
// and the page reads its list again; the requests' own unknown outcome is
// not told again.
TEST_F(DeputeCancelPageTest, ARunPastItsTimeLimitIsToldOnceByItsRelay)
{
    const QString limit = QStringLiteral("批量撤单\n成功数量:0\n失败数量:2");
    for (const bool answered : { true, false }) {
        SCOPED_TRACE(answered ? "answered late" : "timed out");
        const QString a = rest(false);
        const QString b = rest(false);
        page = std::make_unique<DeputeCancelViewController>();
        page->setAlertPresenter(&alerts);
        alerts.shown.clear();
        page->load();
        waitForList();
        page->ordersTableViewClicked(rowOf(a));
        page->ordersTableViewClicked(rowOf(b));
        whenShown([](OrderAlertWindowController& c) {
            c.setBusyBackstopMsForTesting(300);
            c.confirmButtonClicked();
        });
        sim.withholdNext(brokersim::kCancelFunction, 2);
        page->cancelOderButtonClicked();
        EXPECT_FALSE(page->isBusy());
        ASSERT_TRUE(settled());
        const qsizetype lists = sim.receivedCount(brokersim::kOrdersOfTodayFunction);
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].text, limit);
        std::set<quint64> packets;
        for (const auto& cancel : sim.receivedOf(brokersim::kCancelFunction).mid(-2))
            packets.insert(quint64(cancel.packetId));
        const auto trade = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
        if (!answered)
            trade->connectionSendPacketsTimeout(*trade->connection(), packets);
        sim.releaseWithheld();
        ASSERT_TRUE(spinUntil([&] { return OrderOutcomeRelay::pendingCount() == 0; }) && settled());
        ASSERT_EQ(alerts.shown.size(), answered ? 2u : 1u);
        if (answered) {
            EXPECT_EQ(alerts.shown[1].text, QStringLiteral("批量撤单\n成功数量:2\n失败数量:0"));
            // The list read again after the late answers (once each, unless
            // they merged), and settled()'s.
            EXPECT_GE(sim.receivedCount(brokersim::kOrdersOfTodayFunction), lists + 2);
        }
    }
    // The page's next run owes nothing to the one its time limit ended: a
    // row refused before it is sent counts at once, and the run ends with
    // its last answer.
    const QString c = rest(false);
    const QString unsendable(300, u'9'); // longer than a request can carry
    const brokersim::Function list { 500, 121 };
    brokersim::Table t
        = sim.handlerOf(list.main, list.sub)(sim.receivedOf(list).last(), sim.state()).tables.front();
    const auto number = std::find_if(t.columns.begin(), t.columns.end(), [](const auto& col) {
        return col.name == "ordersno";
    }) - t.columns.begin();
    for (const QVariantList& row : std::as_const(t.rows)) {
        if (row.value(number).toString() == c) {
            t.rows << row;
            t.rows.back()[number] = unsendable;
        }
    }
    sim.answerTablesNext(list, { t });
    page->load();
    waitForList();
    page->ordersTableViewClicked(rowOf(c));
    page->ordersTableViewClicked(rowOf(unsendable));
    ASSERT_EQ(page->selectedCountText(), "2");
    alerts.shown.clear();
    whenShown([](OrderAlertWindowController& d) { d.confirmButtonClicked(); });
    page->cancelOderButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.empty(); }));
    EXPECT_EQ(alerts.shown[0].text, QStringLiteral("批量撤单\n成功数量:1\n失败数量:1"));
}

// The fund order and plan cancel pages against the simulator: the single
// dialog of one ticked row, a batch counted per request sent, the summary
// after the last answer only, and the plan dialog's stored payment day.
#include "funds/cancel/FundCancelPages.h"

#include "FundTestRig.h"

#include <QDate>
#include <QTimer>
#include <gtest/gtest.h>

using namespace fundtest;

class FundCancelPages : public FundSimulatorFixture {
protected:
    void SetUp() override
    {
        FundSimulatorFixture::SetUp();
        account = logIn();
    }
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting(nullptr);
        resetMoneyQuery();
        FundSimulatorFixture::TearDown();
    }
    void addOrder(const QString& sno, const QString& status) { book().orders().append(pendingPurchase(sno, status)); }
    // The page set up and its list in.
    template <class Page> void open(Page& page, qsizetype rows)
    {
        page.setAlertPresenter(&alerts);
        page.load();
        ASSERT_TRUE(spinUntil([&] { return page.rowCount() == rows; }));
    }
    // Confirms every dialog and keeps what it showed.
    void confirmDialogs()
    {
        OrderAlertWindowController::setShownHookForTesting([this](OrderAlertWindowController& alert) {
            dialogTypes.push_back(alert.theType());
            dialogTexts << alert.contentText();
            alert.confirmButtonClicked();
        });
    }

    // The serials the cancels carried, in the order they went out.
    QList<QByteArray> sentSerials(brokersim::Function cancel = brokersim::kFundPlanCancelFunction) const
    {
        QList<QByteArray> serials;
        for (const auto& request : receivedOf(cancel)) {
            const QByteArray body = request.rawBody;
            const qsizetype at = body.indexOf("&sno=") + 5;
            serials << body.mid(at, body.indexOf('&', at) - at);
        }
        return serials;
    }

    std::shared_ptr<Account> account;
    FundAlerts alerts;
    std::vector<int> dialogTypes;
    QStringList dialogTexts;
};

TEST_F(FundCancelPages, OneTickedRowOpensItsOwnDialog)
{
    addOrder("900001", "0");
    addOrder("900002", "0");
    OpdFundCancelOrderViewController page;
    open(page, 2);
    page.cancelOrdersClicked(); // nothing ticked: nothing happens
    testsupport::spinFor(50ms);
    EXPECT_TRUE(alerts.shown.isEmpty());
    EXPECT_FALSE(page.alertWindowController().isShown());
    EXPECT_EQ(count(brokersim::kFundCancelFunction), 0);

    confirmDialogs();
    page.tickRow(1, true);
    const QString sno = page.table()->objectAt(1).orderNumber;
    page.cancelOrdersClicked();
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
    ASSERT_EQ(dialogTypes, std::vector<int>({ 6 }));
    EXPECT_TRUE(dialogTexts[0].endsWith("\n" + sno)) << qPrintable(dialogTexts[0]);
    EXPECT_TRUE(alerts.shown[0].startsWith(QStringLiteral("tip:撤单请求已提交,委托序号为:")));
    EXPECT_EQ(count(brokersim::kFundCancelFunction), 1);
    EXPECT_TRUE(receivedOf(brokersim::kFundCancelFunction)[0].rawBody.contains("sno=" + sno.toUtf8()));
    EXPECT_FALSE(page.alertWindowController().isShown());
    EXPECT_TRUE(spinUntil([&] { return count(brokersim::kFundOrdersFunction) == 2; })); // fetched again
}

TEST_F(FundCancelPages, ABatchCountsEveryAnswerAndSumsUpAfterTheLast)
{
    std::vector<std::pair<const char*, const char*>> twelve;
    static const char* const kSerials[] = { "900001", "900002", "900003", "900004", "900005", "900006",
        "900007", "900008", "900009", "900010", "900011", "900012" };
    for (const char* sno : kSerials)
        twelve.emplace_back(sno, "0");
    const struct {
        const char* name;
        std::vector<std::pair<const char*, const char*>> orders; // serial, status
        qsizetype sent;
        const char* summary;
        bool tickUpwards = false; // each row ticked, from the last up; else select all
    } cases[] = {
        // The second is already processed: refused.
        { "one refused", { { "900001", "0" }, { "900002", "2" }, { "900003", "0" } }, 3,
            "tip:批量撤单\n成功数量:2\n失败数量:1" },
        // Two rows of one order share one cancel and its answer.
        { "two rows alike", { { "900001", "0" }, { "900001", "0" }, { "900003", "0" } }, 2,
            "tip:批量撤单\n成功数量:3\n失败数量:0" },
        // Twelve rows, ticked from the last up: the cancels go in row order.
        { "twelve", twelve, 12, "tip:批量撤单\n成功数量:12\n失败数量:0", true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        book().orders().clear();
        sim.clearReceived();
        alerts.shown.clear();
        dialogTypes.clear();
        for (const auto& [sno, status] : c.orders)
            addOrder(QString::fromLatin1(sno), QString::fromLatin1(status));
        OpdFundCancelOrderViewController page;
        const qsizetype rows = qsizetype(c.orders.size());
        open(page, rows);
        QList<QByteArray> inRowOrder;
        for (qsizetype r = 0; r < rows; ++r)
            inRowOrder << page.table()->objectAt(r).orderNumber.toLatin1();
        if (c.tickUpwards) {
            for (qsizetype r = rows - 1; r >= 0; --r)
                page.tickRow(r, true);
        } else {
            page.selectAllButtonClicked(true);
        }
        EXPECT_TRUE(page.selectAllOn());
        EXPECT_EQ(page.selectedCountText(), QString::number(rows));
        confirmDialogs();
        page.cancelOrdersClicked();
        ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
        EXPECT_EQ(dialogTypes.size(), 1u); // one confirmation for the batch
        EXPECT_EQ(count(brokersim::kFundCancelFunction), c.sent);
        if (c.tickUpwards)
            EXPECT_EQ(sentSerials(brokersim::kFundCancelFunction), inRowOrder);
        EXPECT_EQ(alerts.shown, QStringList(QString::fromUtf8(c.summary)));
        EXPECT_FALSE(page.alertWindowController().isShown());
        EXPECT_FALSE(page.isCancelling());
        EXPECT_EQ(page.selectedCountText(), "0");
    }
}

// The list asked after one cancel comes late, after a second cancel and the
// list read after it: the page keeps the later list, where the order the
// second cancel took is no longer cancellable.
TEST_F(FundCancelPages, AListAskedBeforeACancelNeverStandsOverTheOneReadAfterIt)
{
    addOrder("900001", "0");
    addOrder("900002", "0");
    OpdFundCancelOrderViewController page;
    open(page, 2);
    const auto statusOf = [&](const QString& sno) {
        for (qsizetype r = 0; page.table() && r < page.table()->contentObjectArray().size(); ++r) {
            if (page.table()->objectAt(r).orderNumber == sno)
                return page.table()->objectAt(r).orderStatus;
        }
        return QString();
    };
    const auto rowOf = [&](const QString& sno) {
        for (qsizetype r = 0; r < page.rowCount(); ++r) {
            if (page.table()->objectAt(r).orderNumber == sno)
                return r;
        }
        return qsizetype(-1);
    };
    confirmDialogs();
    sim.withholdNext(brokersim::kFundOrdersFunction); // the list after the first cancel
    page.tickRow(rowOf("900001"), true);
    page.cancelOrdersClicked();
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 1 && sim.withheldCount() == 1; }));
    // The rows shown are still those before; the second order is cancelled.
    page.tickRow(rowOf("900002"), true);
    const qsizetype lists = count(brokersim::kFundOrdersFunction);
    page.cancelOrdersClicked();
    ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 2 && statusOf("900002") == "6"; }));
    EXPECT_GT(count(brokersim::kFundOrdersFunction), lists);
    sim.releaseWithheld();
    OrdersRecorder after; // asked now, answered after the late list
    OpenFundManager::getInstance()->requestOpdFundCurrentOrderList(&after);
    ASSERT_TRUE(spinUntil([&] { return after.heard(); }));
    EXPECT_EQ(statusOf("900001"), "6");
    EXPECT_EQ(statusOf("900002"), "6");
    EXPECT_EQ(alerts.shown.size(), 2);
}

TEST_F(FundCancelPages, APlanDialogShowsTheStoredPaymentDay)
{
    brokersim::SimFundPlan plan;
    plan.custid = "010100000001";
    plan.sno = "700001";
    plan.sendSn = "1";
    plan.code = "000001";
    plan.amount = "500.00";
    plan.periodCode = "3";
    plan.paymentDay = "3";
    plan.beginDate = "20260101";
    plan.endDate = "20270101";
    plan.applyDate = "20260101";
    book().plans().append(plan);
    InvestOntimeCancelOrderViewController page;
    open(page, 1);
    confirmDialogs();
    page.tickRow(0, true);
    page.cancelOrdersClicked();
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
    ASSERT_EQ(dialogTypes, std::vector<int>({ 11 }));
    const QStringList lines = dialogTexts[0].split('\n');
    ASSERT_GE(lines.size(), 6);
    EXPECT_EQ(lines[5], "3"); // 扣款日期: the code as stored
    EXPECT_EQ(count(brokersim::kFundPlanCancelFunction), 1);
}

class FundPlanCancels : public FundCancelPages {
protected:
    void addPlan(const QString& sno, const QString& amount = "500.00", const QString& beginDate = "20260101")
    {
        book().plans().append(pendingPlan(sno, amount, beginDate));
    }
    // Ticks every row, confirms, and waits for the message and the list asked again.
    void cancelAll(InvestOntimeCancelOrderViewController& page, qsizetype rows)
    {
        open(page, rows);
        confirmDialogs();
        page.selectAllButtonClicked(true);
        // Each answer reaches the page, a refusal's too: the run ends on
        // them while the dialog waits, never at its time limit.
        QTimer::singleShot(0, [&] { EXPECT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); })); });
        page.cancelOrdersClicked();
        ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty() && count(brokersim::kFundPlanListFunction) == 2; }));
        testsupport::spinFor(100ms); // nothing more comes
    }
};

// A row the facade refuses before sending (a value a body cannot carry)
// counts once, like a row the server refused: one message, one new list.
TEST_F(FundPlanCancels, ARowRefusedBeforeSendingCountsOnce)
{
    const struct {
        const char* name;
        QStringList plans;
        QStringList shown;
        QList<QByteArray> sent;
    } cases[] = {
        { "one refused", { "70&01" }, { QStringLiteral("error:委托序号含有不能发送的字符") }, {} },
        { "two refused", { "70&01", "70=02" }, { QStringLiteral("tip:批量撤单\n成功数量:0\n失败数量:2") }, {} },
        { "one of three", { "700001", "70&02", "700003" }, { QStringLiteral("tip:批量撤单\n成功数量:2\n失败数量:1") },
            { "700001", "700003" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        book().plans().clear();
        sim.clearReceived();
        alerts.shown.clear();
        for (const QString& sno : c.plans)
            addPlan(sno);
        InvestOntimeCancelOrderViewController page;
        cancelAll(page, c.plans.size());
        EXPECT_EQ(alerts.shown, c.shown);
        EXPECT_EQ(count(brokersim::kFundPlanListFunction), 2);
        EXPECT_EQ(sentSerials(), c.sent); // ascending row order
        EXPECT_FALSE(page.isCancelling());
        EXPECT_FALSE(page.alertWindowController().isShown());
    }
}

// What the list gave goes back byte for byte, though it is no amount or
// date the customer could type.
TEST_F(FundPlanCancels, ValuesOfTheListGoBackAsTheyCame)
{
    addPlan("700001", "500.000", "2026-01-01");
    InvestOntimeCancelOrderViewController page;
    cancelAll(page, 1);
    EXPECT_EQ(alerts.shown.size(), 1);
    EXPECT_TRUE(alerts.shown[0].startsWith(QStringLiteral("tip:撤单请求已提交,委托序号为:"))) << qPrintable(alerts.shown[0]);
    ASSERT_EQ(count(brokersim::kFundPlanCancelFunction), 1);
    EXPECT_TRUE(receivedOf(brokersim::kFundPlanCancelFunction)[0].rawBody.contains(
        "&orderamt=500.000&overkind=&actionmode=&begindate=2026-01-01&enddate=20270101&sendday=8"));
}

// The connection drops while the batch waits: every cancel still ends (as a
// failure), the summary comes once, the dialog closes, and nothing is sent again.
TEST_F(FundCancelPages, ADroppedConnectionStillEndsTheBatch)
{
    addOrder("900001", "0");
    addOrder("900002", "0");
    OpdFundCancelOrderViewController page;
    open(page, 2);
    OpenFundManager::getInstance()->sender().setRequestTimeout(2);
    sim.withholdNext(brokersim::kFundCancelFunction, 2);
    // Dropped while the dialog waits for the two answers.
    QTimer drop;
    QObject::connect(&drop, &QTimer::timeout, [&] {
        if (count(brokersim::kFundCancelFunction) == 2) {
            drop.stop();
            sim.dropConnections();
        }
    });
    drop.start(5);
    confirmDialogs();
    page.selectAllButtonClicked(true);
    page.cancelOrdersClicked(); // the dialog runs until the batch has ended
    EXPECT_FALSE(drop.isActive());
    EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("tip:批量撤单\n成功数量:0\n失败数量:2")));
    EXPECT_FALSE(page.alertWindowController().isShown());
    EXPECT_FALSE(page.alertWindowController().isBusy());
    EXPECT_FALSE(page.isCancelling());
    ASSERT_TRUE(spinUntil([&] { return count(brokersim::kFundOrdersFunction) == 2; })); // the list again
    EXPECT_EQ(count(brokersim::kFundCancelFunction), 2);
}

// A list that arrives anew (here after an account change) clears the ticks:
// a tick never moves to whatever row now stands where it was.
TEST_F(FundCancelPages, ANewListClearsTheTicks)
{
    addOrder("900001", "0");
    addOrder("900002", "0");
    OpdFundCancelOrderViewController page;
    open(page, 2);
    page.tickRow(0, true);
    page.tickRow(1, true);
    ASSERT_TRUE(page.selectAllOn());
    NotificationCenter::getInstance()->postNotification(2); // another account is active
    ASSERT_TRUE(
        spinUntil([&] { return count(brokersim::kFundOrdersFunction) == 2 && page.rowCount() == 2; }));
    ASSERT_TRUE(spinUntil([&] { return page.ticked().isEmpty(); }));
    EXPECT_FALSE(page.selectAllOn());
    EXPECT_EQ(page.selectedCountText(), "0");
    page.cancelOrdersClicked();
    testsupport::spinFor(50ms);
    EXPECT_EQ(count(brokersim::kFundCancelFunction), 0);
}

// A fund order's cancel answered without its serial is a success all the
// same: told without the serial, and the list is read again. In a batch it
// counts as a success.
TEST_F(FundCancelPages, ACancelWithoutASerialIsToldWithoutIt)
{
    addOrder("900001", "0");
    addOrder("900002", "0");
    addOrder("900003", "2"); // already processed: refused
    OpdFundCancelOrderViewController page;
    open(page, 3);
    confirmDialogs();
    sim.answerTablesNext(
        brokersim::kFundCancelFunction, { brokersim::Table().column("sno").row({ QString() }) });
    page.tickRow(0, true);
    page.cancelOrdersClicked();
    ASSERT_TRUE(
        spinUntil([&] { return !alerts.shown.isEmpty() && count(brokersim::kFundOrdersFunction) == 2; }));
    EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("tip:撤单请求已提交")));

    alerts.shown.clear();
    ASSERT_TRUE(spinUntil([&] { return page.rowCount() == 3; }));
    sim.answerTablesNext(
        brokersim::kFundCancelFunction, { brokersim::Table().column("msgok").row({ "ok" }) });
    page.selectAllButtonClicked(true);
    page.cancelOrdersClicked();
    ASSERT_TRUE(
        spinUntil([&] { return !alerts.shown.isEmpty() && count(brokersim::kFundOrdersFunction) == 3; }));
    EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("tip:批量撤单\n成功数量:2\n失败数量:1")));
}

// Two orders and two plans on the book, and the cancel page of either kind.
class FundBatchCancels : public FundPlanCancels {
protected:
    std::unique_ptr<FundBatchCancelPage> openPage(
        bool isOrders, const OrderAlertWindowController::Services& dialog)
    {
        book().orders().clear();
        book().plans().clear();
        addOrder("900001", "0");
        addOrder("900002", "0");
        addPlan("700001");
        addPlan("700002");
        std::unique_ptr<FundBatchCancelPage> page;
        if (isOrders)
            page = std::make_unique<OpdFundCancelOrderViewController>(
                nullptr, MenuItemViewController::Services(), nullptr, dialog);
        else
            page = std::make_unique<InvestOntimeCancelOrderViewController>(
                nullptr, MenuItemViewController::Services(), nullptr, dialog);
        open(*page, 2);
        return page;
    }
    static brokersim::Function listOf(bool isOrders)
    {
        return isOrders ? brokersim::kFundOrdersFunction : brokersim::kFundPlanListFunction;
    }
    static brokersim::Function cancelOf(bool isOrders)
    {
        return isOrders ? brokersim::kFundCancelFunction : brokersim::kFundPlanCancelFunction;
    }
};

// A cancel left open (a plan's answered without its serial, its connection
// lost, or given up on by the dialog) is told as a cancel of unknown outcome:
// nothing in it bids the customer not to place an order again. In a batch it
// counts as a failure. The answer the dialog gave up on is told once, on its
// own, when it comes, and the list is read again. (A fund order's cancel
// without its serial is a success, above.)
TEST_F(FundBatchCancels, ACancelLeftOpenIsToldAsACancelOfUnknownOutcome)
{
    enum Way { BlankSerial, ConnectionLost, DialogGaveUp };
    const struct {
        Way way;
        bool batch;
    } cases[] = { { BlankSerial, false }, { ConnectionLost, false }, { DialogGaveUp, false },
        { DialogGaveUp, true } };
    OrderAlertWindowController::Services quick;
    quick.busyBackstopMs = 300;
    for (const auto& c : cases) {
        for (const bool isOrders : { true, false }) {
            if (c.way == BlankSerial && isOrders)
                continue;
            SCOPED_TRACE(testing::Message() << int(c.way) << (isOrders ? " orders " : " plans ") << c.batch);
            const auto page = openPage(isOrders, quick);
            confirmDialogs();
            alerts.shown.clear();
            switch (c.way) {
            case BlankSerial:
                sim.answerTablesNext(
                    cancelOf(isOrders), { brokersim::Table().column("sno").row({ QString() }) });
                break;
            case ConnectionLost:
                sim.dropAfterBytesNext(cancelOf(isOrders), 0);
                break;
            case DialogGaveUp:
                sim.withholdNext(cancelOf(isOrders));
                break;
            }
            page->tickRow(0, true);
            page->tickRow(1, c.batch);
            page->cancelOrdersClicked();
            ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
            EXPECT_EQ(alerts.shown,
                QStringList(c.batch ? QStringLiteral("tip:批量撤单\n成功数量:1\n失败数量:1")
                                    : QStringLiteral("error:基金撤单结果未知，请查询确认")));
            EXPECT_FALSE(page->isCancelling());
            // The batch took its ticks with it: a second 撤单 sends nothing
            // of what may still be out.
            EXPECT_TRUE(page->ticked().isEmpty());
            const std::size_t dialogs = dialogTypes.size();
            page->cancelOrdersClicked();
            EXPECT_EQ(dialogTypes.size(), dialogs);
            const qsizetype lists = count(listOf(isOrders));
            sim.releaseWithheld();
            // The answer given up on is told when it comes, and the page
            // reads its list again.
            if (c.way == DialogGaveUp)
                ASSERT_TRUE(spinUntil(
                    [&] { return alerts.shown.size() == 2 && count(listOf(isOrders)) == lists + 1; }));
            // Answered after the late cancel's answer, on the same connection.
            OrdersRecorder after;
            OpenFundManager::getInstance()->requestOpdFundCurrentOrderList(&after);
            ASSERT_TRUE(spinUntil([&] { return after.heard(); }));
            ASSERT_EQ(alerts.shown.size(), c.way == DialogGaveUp ? 2 : 1);
            if (c.way == DialogGaveUp)
                EXPECT_TRUE(alerts.shown[1].startsWith(QStringLiteral("tip:撤单请求已提交,委托序号为:")))
                    << qPrintable(alerts.shown[1]);
        }
    }
}

// Another account: the rows, ticks and running batch of the one before go at
// once, before the new list is asked for; the new list alone fills the page,
// and what became of the batch is told once, apart from the page.
TEST_F(FundBatchCancels, AnAccountChangeClearsTheRowsBeforeAsking)
{
    for (const bool isOrders : { true, false }) {
        SCOPED_TRACE(isOrders);
        const auto page = openPage(isOrders, {});
        // A batch waits for its answers when the account changes.
        bool confirmed = false;
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& alert) {
            confirmed = true;
            alert.confirmButtonClicked();
        });
        sim.withholdNext(cancelOf(isOrders), 2);
        page->selectAllButtonClicked(true);
        QTimer::singleShot(0, [&] {
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 2; }));
            sim.withholdNext(listOf(isOrders));
            const qsizetype lists = count(listOf(isOrders));
            page->loginAccountChanged();
            EXPECT_EQ(page->rowCount(), 0);
            EXPECT_TRUE(page->ticked().isEmpty());
            EXPECT_EQ(page->countText(), "0");
            EXPECT_FALSE(page->listTable());
            EXPECT_FALSE(page->isCancelling());
            EXPECT_FALSE(page->alertWindowController().isShown());
            EXPECT_TRUE(spinUntil([&] { return count(listOf(isOrders)) == lists + 1; }));
        });
        page->cancelOrdersClicked(); // the dialog runs until the account change ends it
        EXPECT_TRUE(confirmed);
        EXPECT_TRUE(alerts.shown.isEmpty()) << qPrintable(alerts.shown.join('|'));
        sim.releaseWithheld();
        // The new list comes; the old batch is told once, by its relay.
        ASSERT_TRUE(spinUntil([&] { return page->listTable() != nullptr && !alerts.shown.isEmpty(); }));
        EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("tip:批量撤单\n成功数量:2\n失败数量:0")));
        alerts.shown.clear();
    }
}

// The list asked again after a cancel arrives while the next confirmation is
// shown: it clears the ticks, but the confirmation sends the rows it showed,
// counts from 0, and reports what those cancels answered.
TEST_F(FundBatchCancels, AListArrivingUnderTheConfirmationChangesNothingItSends)
{
    OrderAlertWindowController::Services quick;
    quick.busyBackstopMs = 300; // a dialog left waiting shows at once
    for (const bool batch : { false, true }) {
        for (const bool isOrders : { true, false }) {
            SCOPED_TRACE(testing::Message() << (isOrders ? "orders " : "plans ") << batch);
            const auto page = openPage(isOrders, quick);
            const QList<QByteArray> rowSerials = isOrders ? QList<QByteArray> { "900001", "900002" }
                                                          : QList<QByteArray> { "700001", "700002" };
            // A first cancel, whose new list is held back.
            confirmDialogs();
            alerts.shown.clear();
            sim.clearReceived();
            sim.withholdNext(listOf(isOrders));
            page->tickRow(0, true);
            page->cancelOrdersClicked();
            ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 1 && sim.withheldCount() == 1; }));
            // The next confirmation: the held list comes while it is shown.
            OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& alert) {
                sim.releaseWithheld();
                EXPECT_TRUE(spinUntil([&] { return page->ticked().isEmpty(); }));
                alert.confirmButtonClicked();
            });
            page->tickRow(1, true);
            page->tickRow(0, batch);
            page->cancelOrdersClicked();
            ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() == 2; }));
            // The first cancel, then the rows the second confirmation showed.
            EXPECT_EQ(sentSerials(cancelOf(isOrders)),
                batch ? QList<QByteArray>({ rowSerials[0], rowSerials[0], rowSerials[1] }) : rowSerials);
            if (batch) // the first row's cancel was cancelled already: refused
                EXPECT_EQ(alerts.shown[1], QStringLiteral("tip:批量撤单\n成功数量:1\n失败数量:1"));
            else
                EXPECT_TRUE(alerts.shown[1].startsWith(QStringLiteral("tip:撤单请求已提交,委托序号为:")))
                    << qPrintable(alerts.shown[1]);
            EXPECT_FALSE(page->isCancelling());
            EXPECT_FALSE(page->alertWindowController().isShown());
        }
    }
}

// A cancel whose connection was lost may have gone through: the page shows
// that its list may be out of date until its own read of it, asked in the
// account's rounds, comes with its rows; a read that fails leaves it so
// until the next round (here the trade logon).
TEST_F(FundBatchCancels, AfterACancelLeftUnknownTheListShowsOutOfDateUntilReadAgain)
{
    OwedReads::getInstance()->setRoundDelays(
        { std::chrono::hours(1), std::chrono::hours(1), std::chrono::hours(1) });
    for (const bool isOrders : { true, false }) {
        SCOPED_TRACE(isOrders ? "orders" : "plans");
        const auto page = openPage(isOrders, {});
        confirmDialogs();
        alerts.shown.clear();
        sim.dropAfterBytesNext(cancelOf(isOrders), 0);
        sim.answerErrorNext(listOf(isOrders), -1, QStringLiteral("系统忙"), 10);
        page->tickRow(0, true);
        page->cancelOrdersClicked();
        ASSERT_TRUE(spinUntil(
            [&] { return !alerts.shown.isEmpty() && OwedReads::getInstance()->roundWait().count() > 0; }));
        EXPECT_EQ(page->figuresOutOfDate(),
            QStringList { isOrders ? owedfigure::kFundOrders : owedfigure::kFundPlans });
        // The failed list says nothing, and the rows shown stay.
        EXPECT_EQ(alerts.shown.size(), 1);
        EXPECT_EQ(page->rowCount(), 2);
        EXPECT_TRUE(page->listTable());
        sim.clearControls();
        const qsizetype asked = count(listOf(isOrders));
        DMNotificationCenter::getInstance()->postNotification(
            NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
        EXPECT_TRUE(spinUntil([&] { return page->figuresOutOfDate().isEmpty(); }));
        EXPECT_GT(count(listOf(isOrders)), asked);
        EXPECT_EQ(count(cancelOf(isOrders)), 1); // never sent again
        sim.clearReceived();
    }
}

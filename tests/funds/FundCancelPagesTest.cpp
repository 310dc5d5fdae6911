// The fund order and plan cancel pages against the simulator: the single
// dialog of one ticked row, a batch counted per request sent, the summary
// after the last answer only, and the plan dialog's stored payment day.
#include "FundTestRig.h"
#include "funds/cancel/FundCancelPages.h"

#include <QDate>
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
    void addOrder(const QString& sno, const QString& status)
    {
        brokersim::SimFundOrder o;
        o.custid = "010100000001";
        o.sno = sno;
        o.tradeId = "240022";
        o.code = "000001";
        o.amount = "1000.00";
        o.date = QDate::currentDate().toString("yyyyMMdd");
        o.time = "093000";
        o.status = status;
        book().orders().append(o);
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
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.rowCount() == 2; }));
    page.cancelOrdersClicked(); // nothing ticked: it says so, and sends nothing
    EXPECT_EQ(alerts.shown,
        QStringList(QStringLiteral("tip:") + QString::fromUtf8(FundBatchCancelPage::kNothingTickedMessage)));
    EXPECT_EQ(count(brokersim::kFundCancelFunction), 0);
    alerts.shown.clear();

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
    addOrder("900001", "0");
    addOrder("900002", "2"); // already processed: refused
    addOrder("900003", "0");
    OpdFundCancelOrderViewController page;
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.rowCount() == 3; }));
    page.selectAllButtonClicked(true);
    EXPECT_TRUE(page.selectAllOn());
    EXPECT_EQ(page.selectedCountText(), "3");
    confirmDialogs();
    page.cancelOrdersClicked();
    ASSERT_TRUE(spinUntil([&] { return !alerts.shown.isEmpty(); }));
    EXPECT_EQ(dialogTypes.size(), 1u); // one confirmation for the batch
    EXPECT_EQ(count(brokersim::kFundCancelFunction), 3);
    EXPECT_EQ(alerts.shown, QStringList(QStringLiteral("tip:批量撤单\n成功数量:2\n失败数量:1")));
    EXPECT_FALSE(page.alertWindowController().isShown());
    EXPECT_FALSE(page.isCancelling());
    EXPECT_EQ(page.selectedCountText(), "0");
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
    page.setAlertPresenter(&alerts);
    page.load();
    ASSERT_TRUE(spinUntil([&] { return page.rowCount() == 1; }));
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

#include "transfer/pages/TransferPages.h"

#include "TransferTestRig.h"
#include "comm/request/CSNetwork.h"
#include "core/DMNotificationCenter.h"
#include "core/NetworkFactory.h"
#include "login/ActionLeftUnknown.h"
#include "platform/RunLoop.h"
#include "shell/pages/ActionOutcomeRelay.h"
#include "tools/broker-sim/Table.h"

namespace {

using namespace transfertest;
using brokersim::kBankBalanceFunction;
using brokersim::kBankTransferFunction;
using brokersim::kMoneyFunction;
using brokersim::kTransferHistoryFunction;
using testsupport::spinUntil;

class TransferPagesTest : public TransferSimulatorFixture {
protected:
    void TearDown() override
    {
        OrderAlertWindowController::setShownHookForTesting(nullptr);
        FundBalPwdAlertWC::setShownHookForTesting(nullptr);
        TransferSimulatorFixture::TearDown();
    }
    template <class Page> std::unique_ptr<Page> open(FundTransferPageServices services = {})
    {
        logIn();
        return openLoggedIn<Page>(services);
    }
    // Another page for the customer logged in already.
    template <class Page> std::unique_ptr<Page> openLoggedIn(FundTransferPageServices services = {})
    {
        auto page = std::make_unique<Page>(nullptr, services);
        page->setAlertPresenter(&alerts);
        page->load();
        EXPECT_TRUE(spinUntil([&] { return page->controlsEnabled(); }, 10s));
        return page;
    }
    qsizetype count(brokersim::Function f) const { return sim.receivedCount(f); }
    // The dialog confirms as soon as it shows, after `before` ran.
    void confirmDialogs(std::function<void()> before = nullptr)
    {
        OrderAlertWindowController::setShownHookForTesting([before](OrderAlertWindowController& dialog) {
            if (before)
                before();
            dialog.confirmButtonClicked();
        });
    }
    RecordingAlerts alerts;
};

TEST_F(TransferPagesTest, EachBankKindGivesItsPasswordRowsAndBalanceButton)
{
    auto page = open<BankToStockViewController>();
    EXPECT_EQ(page->moneyNames(), QStringList({ QStringLiteral("人民币"), QStringLiteral("美元") }));
    ASSERT_EQ(page->fundAccountItems().size(), 2);
    EXPECT_EQ(page->fundAccountItems()[0], QStringLiteral("工商银行 - 010110000001 (主)"));
    const struct {
        qsizetype money, account;
        bool fund, bank, bankFirst, button;
    } kinds[] = {
        { 0, 0, false, true, true, false }, // 工商银行: no password for the balance
        { 0, 1, true, true, false, true }, // 农业银行: both
        { 1, 0, false, true, true, true }, // 中国银行 in 美元: the bank password
    };
    for (const auto& k : kinds) {
        SCOPED_TRACE(k.account);
        page->moneyTypeSelected(k.money);
        page->bankCardSelected(k.account);
        EXPECT_EQ(page->passwordLayout().fundVisible, k.fund);
        EXPECT_EQ(page->passwordLayout().bankVisible, k.bank);
        EXPECT_EQ(page->passwordLayout().bankInFirstRow, k.bankFirst);
        EXPECT_EQ(page->queryBalanceButtonVisible(), k.button);
    }
}

TEST_F(TransferPagesTest, PasswordFreeBankShowsItsBalanceOneSecondAfterTheAnswer)
{
    auto page = open<BankToStockViewController>();
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    platform::RunLoopTimer* timer = page->freshTableTimer();
    EXPECT_EQ(timer->interval().count(), 1.0);
    EXPECT_FALSE(timer->repeats());
    const qsizetype histories = count(kTransferHistoryFunction);
    EXPECT_TRUE(page->bankBalanceText().isEmpty());
    timer->fire();
    ASSERT_TRUE(spinUntil([&] { return !page->bankBalanceText().isEmpty(); }, 10s));
    EXPECT_EQ(page->bankBalanceText(), QStringLiteral("50000.00"));
    EXPECT_EQ(count(kTransferHistoryFunction), histories + 1);

    // A history without rows leaves the balance waiting for the next one.
    page->bankCardSelected(0); // asked again
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    for (const char* balance : { "", "7.00" }) {
        brokersim::Table history = brokersim::Table().column(QStringLiteral("fundbal"));
        if (*balance)
            history.row({ QString::fromLatin1(balance) });
        sim.answerTablesNext(kTransferHistoryFunction, { history });
        page->freshTableTimer()->fire();
        ASSERT_TRUE(answersSentSoFarHandled());
        EXPECT_EQ(page->bankBalanceText(), QString::fromLatin1(balance));
    }

    // The page's timer stops with it: nothing is asked after it closed.
    page->bankCardSelected(0);
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    const qsizetype before = count(kTransferHistoryFunction);
    page->unloadView();
    EXPECT_EQ(page->pageTimerCount(), 0u);
    ASSERT_TRUE(timerStartedNowFired(BankToStockViewController::kRefreshDelay));
    EXPECT_EQ(count(kTransferHistoryFunction), before);
}

// Asking again for the balance still awaited joins the query out, and its
// answer is the one shown: after the same card is chosen again, or another
// currency and back.
TEST_F(TransferPagesTest, BalanceAskedAgainWhileItsQueryWaitsStillShows)
{
    sim.withholdNext(kBankBalanceFunction);
    auto page = open<BankToStockViewController>();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    page->bankCardSelected(0);
    page->moneyTypeSelected(1); // the bank password is needed there: nothing is asked
    page->moneyTypeSelected(0);
    EXPECT_EQ(count(kBankBalanceFunction), 1);
    EXPECT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return !page->bankBalanceText().isEmpty(); }, 10s));
    EXPECT_EQ(page->bankBalanceText(), QStringLiteral("50000.00"));
}

TEST_F(TransferPagesTest, PromptAsksOnlyThePasswordsTheBankNeeds)
{
    auto page = open<BankToStockViewController>();
    // The first bank's own balance query is answered first.
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->moneyTypeSelected(1); // 中国银行 in 美元: the bank password alone
    const struct {
        const char* typed;
        bool movesOn; // another card is chosen, and this one again, while the query waits
    } queries[] = { { "000000", false }, { "000000", true }, { brokersim::kBankPassword, false } };
    for (const auto& q : queries) {
        const char* typed = q.typed;
        SCOPED_TRACE(testing::Message() << typed << q.movesOn);
        FundBalPwdAlertWC::setShownHookForTesting([typed](FundBalPwdAlertWC& prompt) {
            EXPECT_FALSE(prompt.fundPwdVisible());
            EXPECT_TRUE(prompt.bankPwdVisible());
            prompt.setFundPwdText(QStringLiteral("ignored"));
            prompt.setBankPwdText(QString::fromLatin1(typed));
            prompt.confirmButtonClicked();
        });
        const qsizetype asked = count(kBankBalanceFunction);
        const std::size_t boxes = alerts.shown.size();
        page->queryButtonClicked();
        if (q.movesOn) {
            page->moneyTypeSelected(0);
            page->moneyTypeSelected(1);
        }
        ASSERT_TRUE(spinUntil([&] { return !page->isQueryBusy(); }, 10s));
        ASSERT_GT(count(kBankBalanceFunction), asked);
        EXPECT_TRUE(sim.receivedOf(kBankBalanceFunction)[asked].rawBody.endsWith(
            QByteArray("&fundpwd=&bankpwd=") + typed));
        // The user hears of the query he asked for, wherever he went since.
        if (QByteArray(typed) == "000000")
            EXPECT_EQ(alerts.shown.size() > boxes ? alerts.shown[boxes].text : QString(),
                QStringLiteral("银行密码错误"));
    }
    ASSERT_TRUE(page->freshTableTimer());
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("50000.00"); }, 10s));

    // A cancelled prompt sends nothing.
    FundBalPwdAlertWC::setShownHookForTesting([](FundBalPwdAlertWC& prompt) { prompt.windowWillClose(); });
    const qsizetype asked = count(kBankBalanceFunction);
    page->queryButtonClicked();
    EXPECT_FALSE(page->isQueryBusy());
    EXPECT_EQ(count(kBankBalanceFunction), asked);
}

TEST_F(TransferPagesTest, AnAccountChangeWhileThePromptIsOpenSendsNothing)
{
    auto page = open<BankToStockViewController>();
    page->bankCardSelected(1); // 农业银行: its balance needs both passwords
    ASSERT_TRUE(page->queryBalanceButtonVisible());
    FundBalPwdAlertWC::setShownHookForTesting([this](FundBalPwdAlertWC& prompt) {
        logIn(kSecondCustomer, kSecondPassword);
        NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
        prompt.setFundPwdText(kTradePassword);
        prompt.setBankPwdText(kBankPassword);
        prompt.confirmButtonClicked();
    });
    page->queryButtonClicked();
    EXPECT_FALSE(page->isQueryBusy());
    ASSERT_TRUE(answersSentSoFarHandled());
    // The previous customer's link never goes out under the new one.
    for (const brokersim::Request& request : sim.receivedOf(kBankBalanceFunction))
        EXPECT_FALSE(request.rawBody.contains("&fundpwd=" + kTradePassword.toLatin1()))
            << request.rawBody.constData();
}

TEST_F(TransferPagesTest, BankToStockSendsWhatWasConfirmedAndShowsTheSerial)
{
    auto page = open<BankToStockViewController>();
    const auto before = money(QStringLiteral("010110000001"));
    page->setAmountText(QStringLiteral("12.30"));
    page->setBankPasswordText(kBankPassword);
    // Typing while the dialog is up changes nothing that is sent.
    confirmDialogs([&] { page->setAmountText(QStringLiteral("999")); });
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    ASSERT_EQ(count(kBankTransferFunction), 1);
    EXPECT_TRUE(
        sim.receivedOf(kBankTransferFunction).back().rawBody.contains("&tranamt=12.30&banktrantype=1&"));
    const QString serial = brokersim::BankBook::of(sim)->flows(*broker().customer(kCustomer)).front().serial;
    EXPECT_EQ(alerts.last(), QStringLiteral("转账提交已成功，流水号为%1。").arg(serial));
    EXPECT_TRUE(page->amountText().isEmpty());
    EXPECT_TRUE(page->bankPasswordText().isEmpty());
    EXPECT_EQ(money(QStringLiteral("010110000001")).balance, before.balance + 12300);
    ASSERT_TRUE(spinUntil(
        [&] {
            const auto& t = page->transferInfoTable();
            return t && t->rowObject(0) && t->rowObject(0)->transferAmount == QStringLiteral("12.30");
        },
        10s));

    // A wrong password: the server's message, fields cleared; a cancel sends nothing.
    page->setAmountText(QStringLiteral("1"));
    page->setBankPasswordText(QStringLiteral("000000"));
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    EXPECT_EQ(alerts.last(), QStringLiteral("银行密码错误"));
    EXPECT_TRUE(page->bankPasswordText().isEmpty());
    OrderAlertWindowController::setShownHookForTesting(
        [](OrderAlertWindowController& dialog) { dialog.cancelButtonClicked(); });
    page->setAmountText(QStringLiteral("1"));
    page->transferButtonClicked();
    EXPECT_FALSE(page->isTransferBusy());
    EXPECT_EQ(count(kBankTransferFunction), 2);
}

TEST_F(TransferPagesTest, TypedInputIsCheckedBeforeTheDialog)
{
    auto page = open<StockToBankViewController>();
    bool dialogShown = false;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& dialog) {
        dialogShown = true;
        dialog.cancelButtonClicked();
    });
    const struct {
        const char* amount;
        const char* password;
        QString message;
        qsizetype account = 0; // 工商银行: the fund password; 农业银行: both
        const char* bankPassword = "";
    } cases[] = {
        { "", "111111", QStringLiteral("请输入转账金额和密码。") },
        { "10", "", QStringLiteral("请输入转账金额和密码。") },
        // The bank password field shows and is empty.
        { "10", "111111", QStringLiteral("请输入转账金额和密码。"), 1, "" },
        { "10", "", QStringLiteral("请输入转账金额和密码。"), 1, "135790" },
        { "1&x=2", "111111", QStringLiteral("转账金额只能包含字母、数字和英文符号（“&”和“=”除外）。") },
        { "1", "密码", QStringLiteral("资金密码只能包含字母、数字和英文符号（“&”和“=”除外）。") },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.amount << " " << c.account);
        page->bankCardSelected(c.account);
        ASSERT_EQ(page->passwordLayout().bankVisible, c.account == 1);
        page->setAmountText(QString::fromUtf8(c.amount));
        page->setFundPasswordText(QString::fromUtf8(c.password));
        page->setBankPasswordText(QString::fromUtf8(c.bankPassword));
        page->transferButtonClicked();
        EXPECT_EQ(alerts.last(), c.message);
        EXPECT_FALSE(dialogShown);
        EXPECT_FALSE(page->isTransferBusy());
    }

    // The amount's value is the server's to judge: it reaches the dialog as
    // typed, full-width digits as the digits they are.
    QString shown;
    OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& dialog) {
        shown = dialog.contentText();
        dialog.cancelButtonClicked();
    });
    page->bankCardSelected(0);
    const size_t shownAlerts = alerts.shown.size();
    const struct {
        const char* typed;
        const char* read;
    } amounts[] = { { "-1", "-1" }, { "1.005", "1.005" }, { "0", "0" },
        { "12345678901234", "12345678901234" }, { "\u3000１０．５", "10.5" } };
    for (const auto& amount : amounts) {
        SCOPED_TRACE(amount.read);
        page->setAmountText(QString::fromUtf8(amount.typed));
        EXPECT_EQ(page->amountText(), QLatin1String(amount.read));
        page->setFundPasswordText(QStringLiteral("111111"));
        shown.clear();
        page->transferButtonClicked();
        EXPECT_TRUE(shown.endsWith(QLatin1Char('\n') + QString::fromLatin1(amount.read)))
            << shown.toStdString();
    }
    EXPECT_EQ(alerts.shown.size(), shownAlerts);
}

TEST_F(TransferPagesTest, StockToBankReadsFundsAndHistoryAgainAfterATransfer)
{
    auto page = open<StockToBankViewController>();
    ASSERT_TRUE(spinUntil([&] { return !page->availableFundText().isEmpty(); }, 10s));
    const QString availableBefore = page->availableFundText();
    EXPECT_TRUE(page->availableFundText().endsWith(QStringLiteral("元")));
    EXPECT_TRUE(page->passwordLayout().fundVisible);
    EXPECT_FALSE(page->passwordLayout().bankVisible);
    const qsizetype funds = count(kMoneyFunction);
    const qsizetype histories = count(kTransferHistoryFunction);
    page->setAmountText(QStringLiteral("100"));
    page->setFundPasswordText(kTradePassword);
    confirmDialogs();
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("转账提交已成功")));
    // The money the transfer moved is never shown as it was: read again.
    EXPECT_NE(page->availableFundText(), availableBefore);
    ASSERT_TRUE(spinUntil(
        [&] { return count(kMoneyFunction) > funds && count(kTransferHistoryFunction) > histories; }, 10s));
    ASSERT_TRUE(spinUntil([&] { return !page->availableFundText().isEmpty(); }, 10s));
    EXPECT_DOUBLE_EQ(
        page->availableFundText().chopped(1).toDouble(), availableBefore.chopped(1).toDouble() - 100);
    EXPECT_TRUE(sim.receivedOf(kBankTransferFunction).back().rawBody.endsWith("&fundpwd=111111&bankpwd="));
}

TEST_F(TransferPagesTest, StockToBankShowsOnlyTheFundsAskedForTheAccountChosenNow)
{
    // The 人民币 account's funds are held back while the user picks 美元.
    sim.withholdNext(kMoneyFunction);
    auto page = open<StockToBankViewController>();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    const qsizetype dollars = page->moneyNames().indexOf(QStringLiteral("美元"));
    ASSERT_GE(dollars, 0);
    page->moneyTypeSelected(dollars);
    ASSERT_TRUE(spinUntil([&] { return !page->availableFundText().isEmpty(); }, 10s));
    EXPECT_EQ(page->availableFundText(), QStringLiteral("2000.00元"));
    EXPECT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_EQ(page->availableFundText(), QStringLiteral("2000.00元"));

    // Another customer: the previous one's funds, answered late, never show.
    page->moneyTypeSelected(0);
    ASSERT_TRUE(spinUntil([&] { return page->availableFundText() == QStringLiteral("85000.00元"); }, 10s));
    sim.withholdNext(kMoneyFunction);
    page->moneyTypeSelected(dollars);
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    logIn(kSecondCustomer, kSecondPassword);
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_TRUE(page->availableFundText().isEmpty());
    EXPECT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_NE(page->availableFundText(), QStringLiteral("2000.00元"));
}

TEST_F(TransferPagesTest, UnansweredTransferEndsUnknownOnceAndIsNotSentAgain)
{
    // The dialog's time limit ends a transfer whose answer never comes while
    // it is up (the request's own time-out waits for the modal session).
    FundTransferPageServices services;
    services.confirmation.busyBackstopMs = 1500;
    auto page = open<StockToBankViewController>(services);
    manager().setRequestTimeout(1);
    sim.withholdNext(kBankTransferFunction);
    const std::size_t waiting = ActionOutcomeRelay::pendingCount();
    page->setAmountText(QStringLiteral("5"));
    page->setFundPasswordText(kTradePassword);
    confirmDialogs();
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到转账结果")));
    // The request's own time-out that follows is told no second time.
    ASSERT_TRUE(spinUntil([&] { return ActionOutcomeRelay::pendingCount() == waiting; }, 10s));
    EXPECT_EQ(alerts.shown.size(), 1u) << qPrintable(alerts.last());
    EXPECT_EQ(count(kBankTransferFunction), 1);
}

TEST_F(TransferPagesTest, AnAnswerWithoutItsSerialIsAnUnknownOutcome)
{
    auto page = open<BankToStockViewController>();
    brokersim::Table answer;
    answer.column(QStringLiteral("sno"));
    answer.row({ QString() });
    sim.answerTablesNext(kBankTransferFunction, { answer });
    const qsizetype histories = count(kTransferHistoryFunction);
    page->setAmountText(QStringLiteral("5"));
    page->setBankPasswordText(kBankPassword);
    confirmDialogs();
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("未收到转账结果"))) << qPrintable(alerts.last());
    EXPECT_TRUE(spinUntil([&] { return count(kTransferHistoryFunction) > histories; }, 10s));
    EXPECT_EQ(count(kBankTransferFunction), 1);
}

TEST_F(TransferPagesTest, NoAccountForTheCurrencyLeavesPasswordsQueryAndTransferUnavailable)
{
    auto page = open<BankToStockViewController>();
    // Only securities-to-bank in 港币.
    const VEKTCRS rows = brokersim::toRecordSet(
        brokersim::Table()
            .column(QStringLiteral("fundid"))
            .column(QStringLiteral("bankcode"))
            .column(QStringLiteral("moneytype"))
            .column(QStringLiteral("banktrantype"))
            .row({ QStringLiteral("1"), QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("2") }),
        2)
                             .value();
    page->queryFundTransferInfo(nullptr, QString(), RDOFundTransferInfo(&rows));
    EXPECT_EQ(page->moneyNames(), QStringList({ QStringLiteral("港币") }));
    EXPECT_TRUE(page->fundAccountItems().isEmpty());
    EXPECT_FALSE(page->hasAccount());
    EXPECT_FALSE(page->passwordLayout().fundVisible || page->passwordLayout().bankVisible);
    EXPECT_FALSE(page->queryBalanceButtonVisible());
    page->setAmountText(QStringLiteral("1"));
    page->setBankPasswordText(kBankPassword);
    EXPECT_TRUE(page->bankPasswordText().isEmpty());
    page->transferButtonClicked();
    page->queryButtonClicked();
    EXPECT_FALSE(page->isTransferBusy());
    EXPECT_EQ(count(kBankTransferFunction), 0);
}

// The balance is taken from the history that follows the balance query; a
// later history leaves it, and a history that fails says so.
TEST_F(TransferPagesTest, BankBalanceIsTakenOnceAndAFailedHistorySaysSo)
{
    auto page = open<BankToStockViewController>();
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("50000.00"); }, 10s));

    // A later history whose first row carries another figure.
    brokersim::BankBook::of(sim)
        ->flows(*broker().customer(kCustomer))
        .prepend({ QStringLiteral("20260101"), QStringLiteral("093000"), QStringLiteral("010110000001"), 0,
            QStringLiteral("证券转银行"), -100, 123400, QStringLiteral("60009999") });
    const DTBSTransferInfoPtr before = page->transferInfoTable();
    manager().requestBSTransferInfo(page.get());
    ASSERT_TRUE(spinUntil([&] { return page->transferInfoTable() != before; }, 10s));
    EXPECT_EQ(page->transferInfoTable()->rowObject(0)->fundBalance, QStringLiteral("1234.00"));
    EXPECT_EQ(page->bankBalanceText(), QStringLiteral("50000.00"));

    page->bankCardSelected(0);
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    sim.answerErrorNext(kTransferHistoryFunction, 1, QStringLiteral("系统忙"));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("查询余额失败"); }, 10s));
    EXPECT_EQ(alerts.shown.size(), 0u);
}

// A balance query the server refuses tells its message, whatever its code,
// puts "查询余额失败" in the balance field and reads the history again.
TEST_F(TransferPagesTest, ARefusedBalanceQuerySaysSoAndReadsTheHistory)
{
    const struct {
        qint32 code;
        QString message;
    } refusals[] = { { 6, QStringLiteral("银行系统维护") }, { 700, QStringLiteral("银行通讯中断") } };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.code);
        alerts.shown.clear();
        const qsizetype histories = count(kTransferHistoryFunction);
        // The password-free bank's own query, sent once the accounts are known.
        sim.answerErrorNext(kBankBalanceFunction, r.code, r.message);
        auto page = open<BankToStockViewController>();
        ASSERT_TRUE(spinUntil([&] { return count(kTransferHistoryFunction) == histories + 1; }, 10s));
        EXPECT_EQ(page->bankBalanceText(), QStringLiteral("查询余额失败"));
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].title, QStringLiteral("错误"));
        EXPECT_EQ(alerts.last(), r.message);
        EXPECT_EQ(page->freshTableTimer(), nullptr);
    }
}

// The history's figure shows as the server sent it, whatever it is, on both
// pages that show the bank balance.
TEST_F(TransferPagesTest, TheBankBalanceShowsAsSent)
{
    auto bankToStock = open<BankToStockViewController>();
    auto queryBalance = openLoggedIn<QueryBalanceViewController>();
    auto shownAfterHistory = [&](auto& page, const char* sent) {
        page.bankCardSelected(0); // the password-free link: asked at once
        if (!spinUntil([&] { return page.freshTableTimer() != nullptr; }, 10s))
            return QStringLiteral("no timer");
        sim.answerTablesNext(kTransferHistoryFunction,
            { brokersim::Table().column(QStringLiteral("fundbal")).row({ QString::fromLatin1(sent) }) });
        const DTBSTransferInfoPtr before = page.transferInfoTable();
        page.freshTableTimer()->fire();
        spinUntil([&] { return page.transferInfoTable() != before; }, 10s);
        return page.bankBalanceText();
    };
    for (const char* sent : { "1e999", "-5.00", "abc", "", "12.50" }) {
        SCOPED_TRACE(sent);
        EXPECT_EQ(shownAfterHistory(*bankToStock, sent), QString::fromLatin1(sent));
        EXPECT_EQ(shownAfterHistory(*queryBalance, sent), QString::fromLatin1(sent));
    }
}

// The history carries the balance of the last query of any link, and each
// page reads it for the link chosen now. Bank A's history is held back while
// the customer picks bank B (no password either) and B's balance query is
// answered; A's comes late, before or after B's own history is asked. On
// both pages A's figure never shows under B, and B's own history still does.
TEST_F(TransferPagesTest, ALateHistoryOfAnotherBankNeverShowsItsBalance)
{
    for (brokersim::BankLink& link : brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer)))
        link.kind = brokersim::BankKind::NoPassword;
    auto bankToStock = open<BankToStockViewController>();
    auto queryBalance = openLoggedIn<QueryBalanceViewController>();
    auto shownUnderB = [&](auto& page, bool lateBeforeBsHistory) {
        auto timerSet = [&] { return spinUntil([&] { return page.freshTableTimer() != nullptr; }, 10s); };
        page.bankCardSelected(0); // A: 工商银行, 50000.00
        if (!timerSet())
            return QStringLiteral("no timer for A");
        sim.withholdNext(kTransferHistoryFunction);
        page.freshTableTimer()->fire();
        if (!spinUntil([&] { return sim.withheldCount() == 1; }, 10s))
            return QStringLiteral("A's history was not asked");
        page.bankCardSelected(1); // B: 农业银行, 8000.00
        if (!timerSet())
            return QStringLiteral("no timer for B");
        if (lateBeforeBsHistory) {
            sim.releaseWithheld();
            if (!answersSentSoFarHandled() || !page.bankBalanceText().isEmpty())
                return QStringLiteral("before B's history: ") + page.bankBalanceText();
        }
        page.freshTableTimer()->fire();
        sim.releaseWithheld();
        return answersSentSoFarHandled() ? page.bankBalanceText() : QStringLiteral("no answer");
    };
    for (const bool lateBeforeBsHistory : { true, false }) {
        SCOPED_TRACE(lateBeforeBsHistory);
        EXPECT_EQ(shownUnderB(*bankToStock, lateBeforeBsHistory), QStringLiteral("8000.00"));
        EXPECT_EQ(shownUnderB(*queryBalance, lateBeforeBsHistory), QStringLiteral("8000.00"));
    }
}

// A transfer moves the bank's money: the old balance never stays. A bank
// that needs no password for it is asked again; another shows "--" until the
// user asks.
TEST_F(TransferPagesTest, ATransferNeverLeavesTheOldBankBalanceShown)
{
    auto page = open<BankToStockViewController>();
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("50000.00"); }, 10s));
    confirmDialogs();
    const qsizetype asked = count(kBankBalanceFunction);
    page->setAmountText(QStringLiteral("12.30"));
    page->setBankPasswordText(kBankPassword);
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    EXPECT_TRUE(page->bankBalanceText().isEmpty());
    EXPECT_TRUE(spinUntil([&] { return count(kBankBalanceFunction) == asked + 1; }, 10s));
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("49987.70"); }, 10s));

    // 农业银行 needs both passwords for its balance: asked through the prompt.
    page->bankCardSelected(1);
    FundBalPwdAlertWC::setShownHookForTesting([](FundBalPwdAlertWC& prompt) {
        prompt.setFundPwdText(kTradePassword);
        prompt.setBankPwdText(kBankPassword);
        prompt.confirmButtonClicked();
    });
    page->queryButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == QStringLiteral("8000.00"); }, 10s));
    const qsizetype prompted = count(kBankBalanceFunction);
    const qsizetype histories = count(kTransferHistoryFunction);
    page->setAmountText(QStringLiteral("100"));
    page->setFundPasswordText(kTradePassword);
    page->setBankPasswordText(kBankPassword);
    page->transferButtonClicked();
    ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
    EXPECT_TRUE(alerts.last().startsWith(QStringLiteral("转账提交已成功"))) << qPrintable(alerts.last());
    EXPECT_EQ(page->bankBalanceText(), QStringLiteral("--"));
    // The history read after the transfer does not bring the old figure back.
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_GT(count(kTransferHistoryFunction), histories);
    EXPECT_EQ(page->bankBalanceText(), QStringLiteral("--"));
    EXPECT_EQ(count(kBankBalanceFunction), prompted);
    EXPECT_EQ(page->freshTableTimer(), nullptr);
}

// What was asked for one link never lands on the link chosen since.
TEST_F(TransferPagesTest, AnEarlierLinksBalanceStaysOffTheLinkChosenSince)
{
    // The password-free link's query is still out, or answered with its
    // timer set; the user moves on to 农业银行 before the history comes.
    logIn();
    for (const bool answered : { false, true }) {
        SCOPED_TRACE(answered);
        if (!answered)
            sim.withholdNext(kBankBalanceFunction);
        auto page = openLoggedIn<BankToStockViewController>();
        ASSERT_TRUE(spinUntil(
            [&] { return answered ? page->freshTableTimer() != nullptr : sim.withheldCount() == 1; }, 10s));
        const qsizetype histories = count(kTransferHistoryFunction);
        page->bankCardSelected(1);
        sim.releaseWithheld();
        ASSERT_TRUE(answersSentSoFarHandled());
        EXPECT_GT(count(kTransferHistoryFunction), histories);
        EXPECT_EQ(page->freshTableTimer(), nullptr);
        EXPECT_EQ(page->pageTimerCount(), 0u);
        EXPECT_TRUE(page->bankBalanceText().isEmpty());
    }
}

// Bank A's query is out and late while bank B's is asked and answered, so
// B's row tops the history. Back on A, A is asked anew rather than joining
// its first query, and neither A's old answer nor B's figure shows as A's:
// on both pages that show the balance by themselves, and when B's is the
// customer's own query through the prompt.
TEST_F(TransferPagesTest, ALinkAskedAgainAfterAnotherLinksQueryIsAskedAnew)
{
    QList<brokersim::BankLink>& links = brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer));
    for (brokersim::BankLink& link : links)
        link.kind = brokersim::BankKind::NoPassword;
    logIn();
    FundBalPwdAlertWC::setShownHookForTesting([](FundBalPwdAlertWC& prompt) {
        prompt.setBankPwdText(kBankPassword);
        prompt.confirmButtonClicked();
    });
    auto shownOnA = [&](auto& page) {
        auto timerSet = [&] { return spinUntil([&] { return page.freshTableTimer() != nullptr; }, 10s); };
        page.bankCardSelected(1); // B: 农业银行, 8000.00
        page.queryButtonClicked(); // where B asks through the prompt
        if (!timerSet())
            return QStringLiteral("no timer for B");
        page.freshTableTimer()->fire();
        if (!spinUntil([&] { return page.bankBalanceText() == QStringLiteral("8000.00"); }, 10s))
            return QStringLiteral("B: ") + page.bankBalanceText();
        const qsizetype asked = count(kBankBalanceFunction);
        page.bankCardSelected(0); // A again: 工商银行, 50000.00
        if (!answersSentSoFarHandled() || count(kBankBalanceFunction) != asked + 1)
            return QStringLiteral("A was not asked anew");
        sim.releaseWithheld();
        if (!timerSet())
            return QStringLiteral("no timer for A");
        page.freshTableTimer()->fire();
        spinUntil([&] { return !page.bankBalanceText().isEmpty(); }, 10s);
        return page.bankBalanceText();
    };
    for (const bool prompted : { false, true }) {
        SCOPED_TRACE(prompted);
        links[1].kind = prompted ? brokersim::BankKind::BankPassword : brokersim::BankKind::NoPassword;
        sim.withholdNext(kBankBalanceFunction); // A's, asked at the opening
        auto bankToStock = openLoggedIn<BankToStockViewController>();
        ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
        EXPECT_EQ(shownOnA(*bankToStock), QStringLiteral("50000.00"));
    }
    links[1].kind = brokersim::BankKind::NoPassword;
    sim.withholdNext(kBankBalanceFunction);
    auto queryBalance = openLoggedIn<QueryBalanceViewController>();
    ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
    EXPECT_EQ(shownOnA(*queryBalance), QStringLiteral("50000.00"));
}

// The customer's own balance query through the prompt (B: 农业银行) shows
// under its link however the page got back to it: after looking at another
// link while it was out (answered there, or once back), also at one that
// asks its own balance by itself (A: 工商银行 needing no password, which waits
// with its query until B's figure is read), and after a late transfer
// answer. Meanwhile 查询余额 waits only on B. A figure another link's query
// took off the history's top before it could be read, or a query refused,
// says so under B.
TEST_F(TransferPagesTest, APromptedBalanceShowsOnceItsLinkIsShownAgain)
{
    FundTransferPageServices services;
    services.confirmation.busyBackstopMs = 1500;
    logIn();
    enum Meanwhile { OnA, BackOnB, LateTransfer, AnotherLinkAsked };
    const struct {
        const char* name;
        bool aAsksItself;
        Meanwhile meanwhile;
        bool answeredElsewhere;
        const char* bankPassword;
        const char* shown; // null: B's balance at the bank
    } rows[] = {
        { "answered on A", false, OnA, true, brokersim::kBankPassword, "8000.00" },
        { "answered back on B", false, BackOnB, false, brokersim::kBankPassword, "8000.00" },
        { "late transfer answer", false, LateTransfer, false, brokersim::kBankPassword, "7995.00" },
        { "answered on A, which asks by itself", true, OnA, true, brokersim::kBankPassword, nullptr },
        { "back on B before A asked", true, BackOnB, false, brokersim::kBankPassword, nullptr },
        { "refused on A, which asks by itself", true, OnA, true, "000000", "查询余额失败" },
        { "美元 asked meanwhile", false, AnotherLinkAsked, true, brokersim::kBankPassword,
            "余额未能读取，请重新查询" },
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        for (brokersim::BankLink& link : brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer)))
            link.kind = brokersim::BankKind::BankPassword;
        if (r.aAsksItself)
            brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer))[0].kind
                = brokersim::BankKind::NoPassword;
        auto page = openLoggedIn<BankToStockViewController>(services);
        ASSERT_TRUE(answersSentSoFarHandled());
        const QString typed = QString::fromLatin1(r.bankPassword);
        FundBalPwdAlertWC::setShownHookForTesting([typed](FundBalPwdAlertWC& prompt) {
            prompt.setBankPwdText(typed);
            prompt.confirmButtonClicked();
        });
        page->bankCardSelected(1); // B
        ASSERT_TRUE(page->queryBalanceButtonVisible());
        if (r.meanwhile == LateTransfer) {
            sim.withholdNext(kBankTransferFunction);
            confirmDialogs();
            page->setAmountText(QStringLiteral("5"));
            page->setBankPasswordText(kBankPassword);
            page->transferButtonClicked();
            ASSERT_TRUE(spinUntil([&] { return !page->isTransferBusy(); }, 10s));
        }
        sim.withholdNext(kBankBalanceFunction);
        page->queryButtonClicked();
        ASSERT_TRUE(
            spinUntil([&] { return sim.withheldCount() == (r.meanwhile == LateTransfer ? 2 : 1); }, 10s));
        EXPECT_TRUE(page->isQueryBusy());
        const qsizetype asked = count(kBankBalanceFunction);
        if (r.meanwhile == AnotherLinkAsked) {
            page->moneyTypeSelected(1); // 中国银行 in 美元, asked through the prompt too
            EXPECT_FALSE(page->isQueryBusy());
            FundBalPwdAlertWC::setShownHookForTesting([](FundBalPwdAlertWC& prompt) {
                prompt.setBankPwdText(kBankPassword);
                prompt.confirmButtonClicked();
            });
            page->queryButtonClicked();
            ASSERT_TRUE(spinUntil([&] { return count(kBankBalanceFunction) == asked + 1; }, 10s));
        } else if (r.meanwhile != LateTransfer) {
            page->bankCardSelected(0); // A
            EXPECT_FALSE(page->isQueryBusy());
            ASSERT_TRUE(answersSentSoFarHandled());
            EXPECT_EQ(count(kBankBalanceFunction), asked); // A holds its own query
        }
        if (r.answeredElsewhere) {
            sim.releaseWithheld();
            ASSERT_TRUE(answersSentSoFarHandled());
            EXPECT_FALSE(page->isQueryBusy());
            EXPECT_TRUE(page->bankBalanceText().isEmpty() || r.meanwhile == AnotherLinkAsked)
                << qPrintable(page->bankBalanceText());
            // Once B's is settled, A asks its own.
            if (r.aAsksItself)
                EXPECT_TRUE(spinUntil([&] { return count(kBankBalanceFunction) == asked + 1; }, 10s));
        }
        if (r.meanwhile == AnotherLinkAsked)
            page->moneyTypeSelected(0);
        if (r.meanwhile != LateTransfer)
            page->bankCardSelected(1);
        EXPECT_EQ(page->isQueryBusy(), !r.answeredElsewhere);
        if (!r.answeredElsewhere)
            sim.releaseWithheld();
        QString shown = QString::fromUtf8(r.shown);
        for (const brokersim::BankLink& link :
            brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer)))
            if (!r.shown && link.bankName == QStringLiteral("农业银行"))
                shown = QString::number(link.bankCents / 100.0, 'f', 2);
        ASSERT_TRUE(spinUntil([&] { return page->bankBalanceText() == shown; }, 10s))
            << qPrintable(page->bankBalanceText());
        // The link keeps it when shown again.
        page->bankCardSelected(0);
        page->bankCardSelected(1);
        EXPECT_EQ(page->bankBalanceText(), shown);
        FundBalPwdAlertWC::setShownHookForTesting(nullptr);
    }
}

// A failed balance query of another link than the one shown is told when the
// customer asked for it, and never puts "查询余额失败" on the link shown.
TEST_F(TransferPagesTest, AFailedQueryOfAnotherLinkLeavesTheLinkShownAlone)
{
    logIn();
    const auto failLate = [&](auto& page, bool prompted) {
        QList<brokersim::BankLink>& links
            = brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer));
        const QString code = links[0].bankCode;
        sim.withholdNext(kBankBalanceFunction);
        if (prompted) {
            // 农业银行 with a wrong bank password, then 工商银行, which needs none.
            page.bankCardSelected(1);
            FundBalPwdAlertWC::setShownHookForTesting([](FundBalPwdAlertWC& prompt) {
                prompt.setFundPwdText(kTradePassword);
                prompt.setBankPwdText(QStringLiteral("000000"));
                prompt.confirmButtonClicked();
            });
            page.queryButtonClicked();
        } else {
            // 工商银行's own query, refused, then 农业银行.
            links[0].bankCode = QStringLiteral("gone");
            page.bankCardSelected(0);
        }
        spinUntil([&] { return sim.withheldCount() == 1; }, 10s);
        page.bankCardSelected(prompted ? 0 : 1);
        const QString before = page.bankBalanceText();
        sim.releaseWithheld();
        answersSentSoFarHandled();
        links[0].bankCode = code;
        return page.bankBalanceText() == before ? QStringLiteral("left alone") : page.bankBalanceText();
    };
    auto bankToStock = openLoggedIn<BankToStockViewController>();
    auto queryBalance = openLoggedIn<QueryBalanceViewController>();
    ASSERT_TRUE(answersSentSoFarHandled());
    alerts.shown.clear();
    EXPECT_EQ(failLate(*bankToStock, true), QStringLiteral("left alone"));
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.last(), QStringLiteral("银行密码错误"));
    EXPECT_EQ(failLate(*bankToStock, false), QStringLiteral("left alone"));
    EXPECT_EQ(failLate(*queryBalance, false), QStringLiteral("left alone"));
    EXPECT_EQ(alerts.shown.size(), 1u);
}

// A transfer of unknown outcome may have moved the bank's money as one told
// done: whether its answer failed or its dialog gave up waiting, the link
// shown is asked its balance again where that needs no password, and shows
// "--" where it needs the customer's; the old figure never stays as current.
TEST_F(TransferPagesTest, ATransferOfUnknownOutcomeNeverLeavesTheOldBankBalanceShown)
{
    logIn();
    const struct {
        qsizetype account; // 工商银行 needs no password for its balance, 农业银行 both
        bool timeLimit; // the dialog gave up before the request failed
        const char* shown; // the bank held 123456.00 when the transfer went
    } rows[] = { { 0, false, "123451.00" }, { 0, true, "123451.00" }, { 1, false, "--" }, { 1, true, "--" } };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "account " << row.account << ", time limit " << row.timeLimit);
        OwedReads::resetInstance();
        OwedReads::getInstance()->setRoundDelays({ 1h, 1h, 1h });
        auto page = openLoggedIn<BankToStockViewController>();
        page->bankCardSelected(row.account);
        FundBalPwdAlertWC::setShownHookForTesting([](FundBalPwdAlertWC& prompt) {
            prompt.setFundPwdText(kTradePassword);
            prompt.setBankPwdText(kBankPassword);
            prompt.confirmButtonClicked();
        });
        page->queryButtonClicked(); // 农业银行's through the prompt
        ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
        page->freshTableTimer()->fire();
        ASSERT_TRUE(spinUntil([&] { return !page->bankBalanceText().isEmpty(); }, 10s));
        for (brokersim::BankLink& link : brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer)))
            link.bankCents = 12345600;
        manager().setRequestTimeout(1);
        sim.withholdNext(kBankTransferFunction);
        OrderAlertWindowController::setShownHookForTesting([&](OrderAlertWindowController& dialog) {
            if (row.timeLimit)
                dialog.setBusyBackstopMsForTesting(1);
            dialog.confirmButtonClicked();
            if (row.timeLimit)
                return;
            ASSERT_TRUE(spinUntil([&] { return sim.withheldCount() == 1; }, 10s));
            const std::shared_ptr<CSNetwork> trade
                = NetworkFactory::getInstance()->getNetwork(NetworkFactory::kTrade);
            trade->connectionSendPacketsTimeout(
                *trade->connection(), { quint64(sim.receivedOf(kBankTransferFunction).back().packetId) });
        });
        const qsizetype asked = count(kBankBalanceFunction);
        const qsizetype histories = count(kTransferHistoryFunction);
        page->setAmountText(QStringLiteral("5"));
        page->setFundPasswordText(kTradePassword);
        page->setBankPasswordText(kBankPassword);
        page->transferButtonClicked();
        // The round that follows the outcome reads the history again.
        ASSERT_TRUE(spinUntil(
            [&] { return !page->isTransferBusy() && count(kTransferHistoryFunction) > histories; }, 10s));
        if (row.account == 0) {
            ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
            EXPECT_TRUE(page->bankBalanceText().isEmpty()) << qPrintable(page->bankBalanceText());
            page->freshTableTimer()->fire();
        }
        const QString shown = QString::fromLatin1(row.shown);
        EXPECT_TRUE(spinUntil(
            [&] { return page->bankBalanceText() == shown && page->figuresOutOfDate().isEmpty(); }, 10s))
            << qPrintable(page->bankBalanceText());
        EXPECT_EQ(count(kBankBalanceFunction), asked + (row.account == 0 ? 1 : 0));
        EXPECT_EQ(count(kBankTransferFunction), 1); // never sent again
        manager().setRequestTimeout(30);
        sim.releaseWithheld();
        ASSERT_TRUE(answersSentSoFarHandled());
        sim.clearReceived();
    }
}

// 查询余额 shows no history: a transfer of unknown outcome has it read again
// only the balance it shows by itself (the link's query, then the history's
// top one second after its answer); where the customer submits the query
// nothing is read, and the balance field stays blank.
TEST_F(TransferPagesTest, TheBalancePageReadsAgainOnlyTheBalanceItShowsByItself)
{
    OwedReads::getInstance()->setRoundDelays({ 1h, 1h, 1h });
    auto page = open<QueryBalanceViewController>();
    QList<brokersim::BankLink>& links = brokersim::BankBook::of(sim)->links(*broker().customer(kCustomer));
    for (const bool automatic : { true, false }) {
        SCOPED_TRACE(automatic);
        page->bankCardSelected(automatic ? 0 : 1); // 工商银行 needs no password, 农业银行 both
        if (automatic) {
            ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
            page->freshTableTimer()->fire();
            ASSERT_TRUE(spinUntil([&] { return !page->bankBalanceText().isEmpty(); }, 10s));
        }
        ASSERT_TRUE(answersSentSoFarHandled());
        for (brokersim::BankLink& link : links)
            link.bankCents = 12345600;
        const qsizetype balances = count(kBankBalanceFunction);
        const qsizetype histories = count(kTransferHistoryFunction);
        actionLeftUnknown(DMFundTransfer::changes());
        if (automatic) {
            ASSERT_TRUE(spinUntil(
                [&] { return count(kBankBalanceFunction) > balances && page->freshTableTimer() != nullptr; },
                10s));
            page->freshTableTimer()->fire();
        }
        // The round over: the page read what it shows, or had nothing to read.
        ASSERT_TRUE(spinUntil(
            [&] { return !OwedReads::getInstance()->roundInFlight() && page->figuresOutOfDate().isEmpty(); },
            10s));
        ASSERT_TRUE(answersSentSoFarHandled());
        EXPECT_EQ(page->bankBalanceText(), automatic ? QStringLiteral("123456.00") : QString());
        EXPECT_EQ(count(kBankBalanceFunction), balances + (automatic ? 1 : 0));
        EXPECT_EQ(count(kTransferHistoryFunction), histories + (automatic ? 1 : 0));
    }
}

// The history read for the bank balance after its query is a read of the
// history as much as the round's own: the history owed is settled by it.
TEST_F(TransferPagesTest, TheHistoryReadForTheBankBalanceSettlesTheHistoryOwed)
{
    OwedReads::getInstance()->setRoundDelays({ 1h, 1h, 1h });
    auto page = open<BankToStockViewController>();
    ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
    page->freshTableTimer()->fire();
    ASSERT_TRUE(spinUntil([&] { return !page->bankBalanceText().isEmpty(); }, 10s));
    ASSERT_TRUE(answersSentSoFarHandled());
    sim.answerErrorNext(kTransferHistoryFunction, -1, QStringLiteral("系统忙")); // the round's own
    const qsizetype balances = count(kBankBalanceFunction);
    actionLeftUnknown(DMFundTransfer::changes());
    ASSERT_TRUE(spinUntil(
        [&] { return count(kBankBalanceFunction) > balances && page->freshTableTimer() != nullptr; }, 10s));
    ASSERT_TRUE(answersSentSoFarHandled());
    EXPECT_EQ(page->figuresOutOfDate(),
        QStringList(
            { QString::fromLatin1(owedfigure::kTransfers), QString::fromLatin1(owedfigure::kBankBalance) }));
    page->freshTableTimer()->fire();
    EXPECT_TRUE(spinUntil([&] { return page->figuresOutOfDate().isEmpty(); }, 10s));
}

// A bank balance the page shows by itself, read again in rounds against a
// bank that keeps failing, adds no box while the customer has not closed the
// last one (the customer may be away for many rounds); once it is closed,
// the next failure is told again.
TEST_F(TransferPagesTest, ABalanceFailingInRoundsIsToldOnceWhileItsBoxIsOpen)
{
    OwedReads::getInstance()->setRoundDelays({ 1h, 1h, 1h });
    logIn();
    const auto failInRounds = [&](auto page) {
        ASSERT_TRUE(spinUntil([&] { return page->freshTableTimer() != nullptr; }, 10s));
        page->freshTableTimer()->fire();
        ASSERT_TRUE(spinUntil([&] { return !page->bankBalanceText().isEmpty(); }, 10s));
        ASSERT_TRUE(answersSentSoFarHandled());
        sim.answerErrorNext(kBankBalanceFunction, -1, QStringLiteral("银行系统忙"), 10);
        alerts.shown.clear();
        alerts.hold = true;
        const qsizetype balances = count(kBankBalanceFunction);
        actionLeftUnknown({ QString::fromLatin1(owedfigure::kBankBalance) });
        for (int round = 1; round <= 3; ++round) {
            SCOPED_TRACE(round);
            if (round > 1)
                DMNotificationCenter::getInstance()->postNotification(
                    NetworkFactory::kServerServes, QVariant(int(NetworkFactory::kTrade)));
            ASSERT_TRUE(spinUntil([&] { return count(kBankBalanceFunction) == balances + round; }, 10s));
            ASSERT_TRUE(answersSentSoFarHandled());
            EXPECT_EQ(alerts.shown.size(), round < 3 ? 1u : 2u);
            EXPECT_EQ(alerts.last(), QStringLiteral("银行系统忙"));
            EXPECT_EQ(page->figuresOutOfDate(), QStringList { owedfigure::kBankBalance });
            if (round == 2)
                alerts.closeAll();
        }
        alerts.hold = false;
        alerts.closeAll();
        page->unloadView();
        sim.clearControls();
    };
    failInRounds(openLoggedIn<BankToStockViewController>());
    failInRounds(openLoggedIn<QueryBalanceViewController>());
}

TEST(TransferFocusTest, ReturnMovesToTheNextVisibleFieldWrapping)
{
    EXPECT_EQ(FundTransferBaseViewController::nextFocus({ true, false, true }, 0), 2);
    EXPECT_EQ(FundTransferBaseViewController::nextFocus({ true, false, true }, 2), 0);
    EXPECT_EQ(FundTransferBaseViewController::nextFocus({ false, true }, 1), 1);
    EXPECT_EQ(FundTransferBaseViewController::nextFocus({ true, true }, 5), -1);
}

} // namespace

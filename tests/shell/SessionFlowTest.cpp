#include "SessionTestRig.h"
#include "core/NotificationCenter.h"
#include "login/LoginTestRig.h"
#include "platform/RunLoop.h"
#include "session/IdleLock.h"
#include "session/WindowController.h"
#include "shell/windows/ScreenLockController.h"
#include "shell/windows/SessionNotifications.h"

namespace {

using namespace std::chrono_literals;
using namespace sessiontest;
using State = WindowController::State;

class SessionFlowTest : public logintest::HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        NotificationCenter::resetForTesting();
        mainWindow.log = &windows.log;
        accounts = std::make_unique<AccountManager>();
        WindowController::Services s
            = sessionServices(windows, mainWindow, riskWindows, server, clock, statusObserver);
        s.accountManager = accounts.get();
        s.quit = [this] { ++quits; };
        controller = std::make_unique<WindowController>(s);
    }
    void TearDown() override
    {
        controller.reset();
        NotificationCenter::resetForTesting();
        platform::RunLoop::main()->resetForTesting();
        HomeFixture::TearDown();
    }

    // Launch, the trade server answers, terminal id and application login.
    void startUp()
    {
        controller->launch();
        controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
        server.utid(QStringLiteral("U-1"));
        server.appLoginOk();
    }
    void loginReady()
    {
        server.orgChanged = server.menuChanged = false;
        startUp();
        ASSERT_EQ(controller->state(), State::LoginReady);
        windows.log.clear();
    }
    // The login form's trade login for one customer.
    void tradeLogin(const QString& customer = QStringLiteral("010100000001"))
    {
        auto account = std::make_shared<Account>();
        account->customerNumber = customer;
        accounts->addActiveAccount(account);
        NotificationCenter::getInstance()->postNotification(
            sessionnotify::kLoginSucceeded, QVariant::fromValue(account));
    }
    void status(qint32 value)
    {
        ASSERT_NE(statusObserver, nullptr);
        RDORiskAssessmentStatus s;
        s.status = value;
        statusObserver->queryRiskAssessmentStatus(nullptr, QString(), s);
    }
    void settle() { testsupport::spinFor(20ms); }
    // A fresh session open on one account, with its main window's screen
    // lock on the session's accounts and gate.
    std::unique_ptr<ScreenLockController> restartWithAScreenLock()
    {
        restart();
        ScreenLockController::Services s;
        s.accountManager = accounts.get();
        s.lockEndsTheSession = [this] { return controller->lockEndsTheSession(); };
        auto lock = std::make_unique<ScreenLockController>(s);
        mainWindow.screenLocked = [lock = lock.get()] { return lock->isLocked(); };
        loginReady();
        tradeLogin();
        status(0);
        return lock;
    }
    // A fresh session for the next row of a table.
    void restart()
    {
        TearDown();
        server = ScriptedServer();
        windows = FakeWindows();
        riskWindows = FakeRiskWindows();
        mainWindow = FakeMainWindow();
        SetUp();
    }

    FakeClock clock;
    ScriptedServer server;
    FakeWindows windows;
    FakeMainWindow mainWindow;
    FakeRiskWindows riskWindows;
    std::unique_ptr<AccountManager> accounts;
    std::unique_ptr<WindowController> controller;
    IQueryRiskAssessmentStatusDelegate* statusObserver = nullptr;
    int quits = 0;
};

TEST_F(SessionFlowTest, StartUpTimeOutOffersRetryAndExit)
{
    controller->launch();
    EXPECT_TRUE(windows.loginWindow);
    ASSERT_EQ(server.testRounds, 1);
    ASSERT_TRUE(clock.live());
    EXPECT_DOUBLE_EQ(clock.live()->seconds, 10.0);

    // No server answers: the alert, and the round's late results start nothing.
    ASSERT_TRUE(clock.fire());
    ASSERT_EQ(windows.boxes.size(), 1u);
    const AlertRequest& box = windows.boxes.back().request;
    EXPECT_EQ(box.title, "错误提示");
    EXPECT_EQ(box.text, "无法连接服务器或登录服务器失败。");
    EXPECT_EQ(box.defaultButton, "重试");
    EXPECT_EQ(box.alternateButton, "退出");
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    EXPECT_EQ(server.count("requestUtid"), 0);

    windows.answer(1); // 重试: a new round with a new timer
    EXPECT_EQ(server.testRounds, 2);
    ASSERT_TRUE(clock.live());
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    EXPECT_EQ(server.count("requestUtid"), 1);

    // A terminal-id failure waits for the time-out, which again offers both.
    server.utidObserver->queryUtid(nullptr, QString(), CSError { "无终端号", 7 });
    EXPECT_EQ(controller->state(), State::Stopped);
    ASSERT_TRUE(clock.fire());
    windows.answer(0); // 退出
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(windows.loginWindow);
    EXPECT_EQ(controller->state(), State::Ended);
}

TEST_F(SessionFlowTest, QuoteServerChosenAtOnceLoginStartsOnceWithTheTradeServer)
{
    controller->launch();
    controller->serverManagerDidFinishedTest(QStringLiteral("1000"), false);
    controller->serverManagerDidFinishedTest(QStringLiteral("1001"), true);
    EXPECT_TRUE(server.calls.contains("select 0 1001"));
    EXPECT_EQ(server.count("requestUtid"), 0);

    controller->serverManagerDidFinishedTest(QStringLiteral("2001"), true);
    EXPECT_TRUE(server.calls.contains("select 1 2001"));
    EXPECT_EQ(server.count("requestUtid"), 1);
    EXPECT_EQ(server.count("cancelTesting"), 1);
    // Results still in flight neither choose again nor start the login again.
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    controller->serverManagerDidFinishedTest(QStringLiteral("1000"), true);
    EXPECT_EQ(server.count("requestUtid"), 1);
    EXPECT_FALSE(server.calls.contains("select 1 2000"));
}

TEST_F(SessionFlowTest, RepeatedResultsWhileTheQuoteServerIsSearchedDoNotRestartTheLogin)
{
    server.utidStored = true;
    controller->launch();
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    controller->serverManagerDidFinishedTest(QStringLiteral("2001"), true);
    controller->serverManagerDidFinishedTest(QStringLiteral("1000"), false);
    EXPECT_EQ(server.count("requestAppLogin"), 1);
    EXPECT_EQ(server.count("requestUtid"), 0);
    EXPECT_EQ(server.count("cancelTesting"), 0);
}

TEST_F(SessionFlowTest, ThreeRestartsOn90001ThenTheError)
{
    controller->launch();
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    for (int i = 0; i < 4; ++i) {
        server.utid(QStringLiteral("U"));
        server.appLoginError(90001);
    }
    EXPECT_EQ(server.count("requestUtid"), 4); // the first and three restarts
    EXPECT_EQ(controller->appLoginRetryTime(), 3);
    ASSERT_EQ(windows.boxes.size(), 1u);
    EXPECT_EQ(windows.boxes.back().request.title, "错误");
    EXPECT_EQ(windows.boxes.back().request.text, "失败");
    EXPECT_FALSE(controller->isStartUpTimerRunning());
    windows.answer(1);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(windows.loginWindow);
}

TEST_F(SessionFlowTest, TimeOutAfterA90001IsNotA90001)
{
    controller->launch();
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    server.utid(QStringLiteral("U"));
    server.appLoginError(90001);
    server.utid(QStringLiteral("U"));
    server.appLoginError(CSErrorRequestTimeout);
    EXPECT_EQ(server.count("requestUtid"), 2);
    ASSERT_EQ(windows.boxes.size(), 1u);
    EXPECT_EQ(windows.boxes.back().request.title, "错误");
}

TEST_F(SessionFlowTest, AnApplicationLoginThatSucceedsAfterTheTimeOutAlertIsIgnored)
{
    controller->launch();
    controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
    server.utid(QStringLiteral("U"));
    ASSERT_EQ(controller->state(), State::ApplicationLogin);
    ASSERT_TRUE(clock.fire());
    ASSERT_EQ(windows.boxes.size(), 1u);
    windows.log.clear();

    // The reply of the abandoned round: no branch list, no menu, no usable form.
    server.appLoginOk();
    EXPECT_EQ(controller->state(), State::TimeOutAlert);
    EXPECT_EQ(server.count("requestOrgInfo"), 0);
    EXPECT_EQ(server.count("requestMenuInfo"), 0);
    EXPECT_FALSE(windows.log.contains("formEnabled"));
    EXPECT_EQ(windows.boxes.size(), 1u);

    // 重试 still starts a new round, which logs in as usual.
    windows.answer(1);
    EXPECT_EQ(server.testRounds, 2);
    EXPECT_EQ(controller->state(), State::TestingServers);
}

TEST_F(SessionFlowTest, BranchListAndMenuOnlyWhenTheirVersionsChanged)
{
    struct Case {
        bool org, menu;
    };
    for (const Case c :
        { Case { false, false }, Case { true, false }, Case { false, true }, Case { true, true } }) {
        SCOPED_TRACE(QStringLiteral("org %1 menu %2").arg(c.org).arg(c.menu).toStdString());
        TearDown();
        server = ScriptedServer();
        windows = FakeWindows();
        SetUp();
        server.orgChanged = c.org;
        server.menuChanged = c.menu;
        startUp();
        EXPECT_FALSE(controller->isStartUpTimerRunning());
        EXPECT_EQ(server.count("requestOrgInfo"), c.org ? 1 : 0);
        EXPECT_EQ(server.count("requestMenuInfo"), c.menu ? 1 : 0);
        if (c.org) {
            EXPECT_FALSE(windows.log.contains("formEnabled"));
            server.orgOk();
        }
        if (c.menu) {
            EXPECT_FALSE(windows.log.contains("formEnabled"));
            server.menuOk();
            EXPECT_EQ(server.count("setMenuInfo"), 1);
        }
        EXPECT_EQ(windows.log.count("formEnabled"), 1);
        EXPECT_EQ(controller->state(), State::LoginReady);
    }
}

TEST_F(SessionFlowTest, BranchListFailureLetsTheUserRetryAMenuFailureEnds)
{
    // A menu without entries is a failed fetch: nothing of it is kept.
    enum class Fails { OrgError, OrgRejected, MenuError, MenuNotSent, MenuEmpty };
    for (Fails f :
        { Fails::OrgError, Fails::OrgRejected, Fails::MenuError, Fails::MenuNotSent, Fails::MenuEmpty }) {
        SCOPED_TRACE(int(f));
        const bool menu = f == Fails::MenuError || f == Fails::MenuNotSent || f == Fails::MenuEmpty;
        TearDown();
        server = ScriptedServer();
        windows = FakeWindows();
        quits = 0;
        SetUp();
        server.orgAccepted = f != Fails::OrgRejected;
        server.menuRequestPossible = f != Fails::MenuNotSent;
        startUp();
        if (f == Fails::OrgError)
            server.orgObserver->queryOrganizationInfo(nullptr, QString(), CSError { "营业部失败", 5 });
        else
            server.orgOk();
        if (f == Fails::MenuError)
            server.menuObserver->queryMenuInfo(nullptr, QString(), CSError { "菜单失败", 5 });
        if (f == Fails::MenuEmpty)
            server.menuOk(false);
        ASSERT_EQ(windows.boxes.size(), 1u);
        EXPECT_EQ(windows.boxes.back().request.title, "错误");
        EXPECT_EQ(windows.boxes.back().request.defaultButton, "确认");
        if (f == Fails::MenuError)
            EXPECT_EQ(windows.boxes.back().request.text, "菜单失败");
        EXPECT_EQ(server.count("setMenuInfo"), 0);
        EXPECT_FALSE(windows.log.contains("formEnabled"));

        if (menu) {
            // No menu, nothing to trade with: dismissing the error ends
            // the application, with no retry offered.
            windows.answer(1);
            EXPECT_TRUE(windows.boxes.empty());
            EXPECT_EQ(quits, 1);
            EXPECT_FALSE(windows.loginWindow);
            EXPECT_EQ(controller->state(), State::Ended);
            EXPECT_EQ(server.testRounds, 1);
            continue;
        }
        // After the branch list's error the start-up alert; "重试" runs a
        // new round that ends with the form enabled.
        windows.answer(1);
        ASSERT_EQ(windows.boxes.size(), 1u);
        EXPECT_EQ(windows.boxes.back().request.defaultButton, "重试");
        windows.answer(1);
        EXPECT_EQ(server.testRounds, 2);
        server.orgAccepted = server.menuRequestPossible = true;
        controller->serverManagerDidFinishedTest(QStringLiteral("2000"), true);
        server.appLoginOk();
        server.orgOk();
        server.menuOk();
        EXPECT_EQ(windows.log.count("formEnabled"), 1);
        EXPECT_EQ(quits, 0);
    }
}

TEST_F(SessionFlowTest, RiskGateOutcomesAsTheSessionShowsThem)
{
    // status, answer to the notice (1 now, 0 later), questionnaire passed;
    // whether the session ends in the main window.
    struct Case {
        qint32 status;
        int notice;
        bool passed;
        bool mainWindow;
    };
    const Case cases[] = {
        { 0, -1, false, true },
        { 1, 0, false, true },
        { 1, 1, true, true },
        { 1, 1, false, false },
        { 2, 1, true, true },
        { 2, 1, false, false },
        // A required re-evaluation: closing or declining the notice (0)
        // still leads to the questionnaire.
        { 2, 0, true, true },
        { 2, 0, false, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("status %1 notice %2 passed %3")
                         .arg(c.status)
                         .arg(c.notice)
                         .arg(c.passed)
                         .toStdString());
        restart();
        loginReady();
        tradeLogin();
        status(c.status);
        settle();
        if (c.status != 0) {
            EXPECT_EQ(riskWindows.alterButton.isEmpty(), c.status == 2);
            ASSERT_TRUE(riskWindows.noticeDone);
            riskWindows.noticeDone(c.notice);
            settle();
            if (c.notice == 1 || c.status == 2) {
                EXPECT_FALSE(mainWindow.open_); // never opened on the notice alone
                ASSERT_TRUE(riskWindows.alertDone);
                riskWindows.alertDone();
                settle();
                EXPECT_FALSE(windows.loginWindow); // closed for the questionnaire
                ASSERT_NE(riskWindows.evaluation, nullptr);
                riskWindows.evaluation->riskEvaluationSucceed(c.passed, nullptr);
                settle();
            }
        }
        EXPECT_EQ(mainWindow.open_, c.mainWindow);
        EXPECT_EQ(windows.loginWindow, !c.mainWindow);
        if (c.mainWindow) {
            // The main window is up before the login window goes (the
            // questionnaire closed it already).
            if (c.notice != 1 && c.status != 2) {
                EXPECT_LT(windows.log.indexOf("mainWindow"), windows.log.indexOf("closeLogin"));
            }
            EXPECT_EQ(accounts->loginAccounts().size(), 1u);
        } else {
            EXPECT_TRUE(accounts->loginAccounts().empty());
            EXPECT_EQ(windows.log.last(), "formEnabled");
        }
        EXPECT_FALSE(windows.log.contains("lastLogin")); // no last-login text
        EXPECT_EQ(quits, 0);
    }
}

TEST_F(SessionFlowTest, RiskStatusFailureLogsTheAccountOutAndLeavesTheFormUsable)
{
    loginReady();
    tradeLogin();
    ASSERT_NE(statusObserver, nullptr);
    statusObserver->queryRiskAssessmentStatus(nullptr, QString(), CSError { "状态查询失败", 6 });
    settle();
    ASSERT_EQ(windows.boxes.size(), 1u);
    EXPECT_EQ(windows.boxes.back().request.text, "状态查询失败");
    EXPECT_TRUE(windows.log.contains("loginComplete"));
    EXPECT_TRUE(windows.log.contains("resetUI"));
    EXPECT_TRUE(windows.log.contains("refresh"));
    EXPECT_FALSE(mainWindow.open_);
    EXPECT_TRUE(windows.loginWindow);
    EXPECT_TRUE(accounts->loginAccounts().empty());
}

TEST_F(SessionFlowTest, LockDuringTheNoticeEndsInLogout)
{
    loginReady();
    tradeLogin();
    status(1);
    settle();
    ASSERT_TRUE(controller->isDoingRiskEvaluation());
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    settle();
    EXPECT_TRUE(riskWindows.noticeClosed);
    EXPECT_FALSE(controller->isDoingRiskEvaluation());
    EXPECT_TRUE(accounts->loginAccounts().empty());
    EXPECT_FALSE(mainWindow.open_);
    EXPECT_TRUE(windows.loginWindow);
    EXPECT_TRUE(windows.log.contains("formEnabled"));
    EXPECT_EQ(windows.log.count("stopModal"), 1); // once, by the gate
    EXPECT_EQ(quits, 0);
}

// A further login whose status comes while the screen is locked: the notice
// waits for the unlock; 退出 on the unlock window ends the session, and the
// status, held or still on its way, opens nothing on the fresh login window.
TEST_F(SessionFlowTest, ARiskStatusBehindTheLockWaitsForTheUnlockOrGoesWithTheLogout)
{
    enum Way { Unlock, ExitThenAnswer, AnswerThenExit };
    for (const Way way : { Unlock, ExitThenAnswer, AnswerThenExit }) {
        for (const qint32 value : { 0, 1 }) {
            SCOPED_TRACE(way * 10 + value);
            const std::unique_ptr<ScreenLockController> lock = restartWithAScreenLock();
            ASSERT_TRUE(mainWindow.open_);
            auto further = std::make_shared<Account>();
            further->customerNumber = QStringLiteral("010200000002");
            accounts->addActiveAccount(further);
            NotificationCenter::getInstance()->postNotification(
                sessionnotify::kLoginSucceeded, QVariant::fromValue(further));
            NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
            ASSERT_TRUE(lock->isLocked());
            windows.log.clear();
            if (way != ExitThenAnswer) {
                status(value);
                settle();
                EXPECT_FALSE(riskWindows.noticeDone); // nothing over the unlock window
            }
            const bool confirmed = way == Unlock;
            NotificationCenter::getInstance()->postNotification(
                sessionnotify::kUnlockResult, QVariant(qulonglong(confirmed)));
            if (way == ExitThenAnswer)
                status(value);
            settle();
            EXPECT_EQ(bool(riskWindows.noticeDone), confirmed && value == 1);
            EXPECT_EQ(mainWindow.open_, confirmed);
            EXPECT_EQ(windows.loginWindow, !confirmed);
            EXPECT_FALSE(windows.log.contains("mainWindow"));
            EXPECT_EQ(accounts->loginAccounts().size(), confirmed ? 2u : 0u);
            EXPECT_EQ(controller->gate().state(),
                !confirmed       ? RiskEvaluationGate::State::LoggedOut
                    : value == 1 ? RiskEvaluationGate::State::Notice
                                 : RiskEvaluationGate::State::SessionOpen);
        }
    }
}

// 张三, already in, logs in once more from the main window (a new account
// object under the same number replaces his) and does not pass: his status
// fails, his questionnaire is abandoned, or the screen locks while his
// notice, alert or questionnaire is up. He goes; the main window never stays
// open without an account: alone, he takes the session back to the login
// window (the status error shown on it); with 李四 in too, whichever of them
// was active, the session stays on 李四.
TEST_F(SessionFlowTest, AnAccountLoggingInAgainThatDoesNotPassNeverLeavesTheMainWindowWithoutAnAccount)
{
    enum Way { StatusFailed, Abandoned, LockOnNotice, LockOnAlert, LockOnQuestionnaire };
    enum In { Alone, WithAnotherActive, WithAnotherNotActive };
    for (const Way way : { StatusFailed, Abandoned, LockOnNotice, LockOnAlert, LockOnQuestionnaire }) {
        for (const In in : { Alone, WithAnotherActive, WithAnotherNotActive }) {
            SCOPED_TRACE(testing::Message() << "way " << way << " in " << in);
            const std::unique_ptr<ScreenLockController> lock = restartWithAScreenLock();
            ASSERT_TRUE(mainWindow.open_);
            if (in != Alone) {
                tradeLogin(QStringLiteral("010200000002"));
                status(0);
                ASSERT_EQ(accounts->loginAccounts().size(), 2u);
                // 张三 active, or 李四 (the one logged in last).
                if (in == WithAnotherActive)
                    accounts->setActiveLoginAccount(1);
            }
            tradeLogin();
            ASSERT_EQ(accounts->loginAccounts().size(), in == Alone ? 1u : 2u);
            windows.log.clear();
            if (way == StatusFailed) {
                statusObserver->queryRiskAssessmentStatus(nullptr, QString(), CSError { "状态查询失败", 6 });
            } else {
                status(way == LockOnNotice ? 1 : 2);
                settle();
                ASSERT_TRUE(riskWindows.noticeDone);
                if (way != LockOnNotice)
                    riskWindows.noticeDone(1000);
                if (way == Abandoned || way == LockOnQuestionnaire) {
                    ASSERT_TRUE(riskWindows.alertDone);
                    riskWindows.alertDone();
                    ASSERT_NE(riskWindows.evaluation, nullptr);
                }
                if (way != Abandoned)
                    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
                // The questionnaire reports NO itself at a lock.
                if (way == Abandoned || way == LockOnQuestionnaire)
                    riskWindows.evaluation->riskEvaluationSucceed(false, nullptr);
            }
            settle();

            const AccountManager::AccountPtr active = accounts->getActiveLoginAccount();
            if (in == Alone) {
                EXPECT_FALSE(mainWindow.open_);
                EXPECT_TRUE(windows.loginWindow);
                EXPECT_TRUE(windows.log.contains("formEnabled"));
                EXPECT_TRUE(accounts->loginAccounts().empty());
                EXPECT_EQ(controller->gate().state(), RiskEvaluationGate::State::LoggedOut);
            } else {
                EXPECT_TRUE(mainWindow.open_);
                EXPECT_FALSE(windows.log.contains("closeMain"));
                ASSERT_EQ(accounts->loginAccounts().size(), 1u);
                ASSERT_TRUE(active);
                EXPECT_EQ(active, accounts->loginAccounts().front());
                EXPECT_EQ(active->customerNumber, QStringLiteral("010200000002"));
                EXPECT_EQ(lock->isLocked(), way != StatusFailed && way != Abandoned);
                EXPECT_EQ(controller->gate().state(), RiskEvaluationGate::State::SessionOpen);
            }
            if (way == StatusFailed) {
                // On the window that stays: a box on a main window about to
                // close would go with it unread.
                ASSERT_EQ(windows.boxes.size(), 1u);
                EXPECT_EQ(windows.boxes.back().request.text, "状态查询失败");
                EXPECT_GT(windows.log.indexOf("box 错误"), windows.log.indexOf("closeMain"));
            }
            EXPECT_EQ(quits, 0);
        }
    }
}

TEST_F(SessionFlowTest, LogoutReturnsToAnEnabledLoginFormAndClosingTheLastWindowEnds)
{
    loginReady();
    tradeLogin();
    status(0);
    ASSERT_TRUE(mainWindow.open_);
    windows.log.clear();
    const int rounds = server.testRounds;

    NotificationCenter::getInstance()->postNotification(sessionnotify::kLogout);
    EXPECT_FALSE(mainWindow.open_);
    EXPECT_TRUE(windows.loginWindow);
    EXPECT_TRUE(windows.log.contains("formEnabled"));
    EXPECT_TRUE(windows.log.contains("closeLastLogin"));
    // The login window is there before the main window goes.
    EXPECT_LT(windows.log.indexOf("loginWindow"), windows.log.indexOf("closeMain"));
    EXPECT_EQ(server.testRounds, rounds); // no new test or application login
    EXPECT_EQ(quits, 0);

    windows.userClosesLoginWindow();
    EXPECT_EQ(quits, 1);
}

class IdleLockTest : public logintest::HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        NotificationCenter::resetForTesting();
        NotificationCenter::getInstance()->addObserver(
            static_cast<const void*>(this), [this] { ++locks; }, 3);
        idle = std::make_unique<IdleLock>(IdleLock::Services { nullptr, nullptr, clock.factory() });
    }
    void TearDown() override
    {
        idle.reset();
        NotificationCenter::resetForTesting();
        HomeFixture::TearDown();
    }
    FakeClock clock;
    std::unique_ptr<IdleLock> idle;
    int locks = 0;
};

TEST_F(IdleLockTest, LocksAfterOneToTwoIdleIntervalsAndNeverWhileLocked)
{
    EXPECT_FALSE(idle->isTimerRunning()); // waits for type 18
    NotificationCenter::getInstance()->postNotification(IdleLock::kSetLockScreenTime, 5);
    ASSERT_TRUE(clock.live());
    EXPECT_DOUBLE_EQ(clock.live()->seconds, 5.0);
    EXPECT_TRUE(clock.live()->repeats);
    EXPECT_EQ(clock.live()->modes, platform::RunLoopModes::common());

    // Input between ticks keeps it open; two idle ticks in a row lock.
    clock.fire();
    idle->userInput();
    clock.fire();
    EXPECT_EQ(locks, 0);
    clock.fire();
    EXPECT_EQ(locks, 1);
    EXPECT_FALSE(idle->isTimerRunning()); // a lock by the timer stops it

    // Locked from elsewhere (the lock button): the timer runs on but never
    // locks again until input comes.
    NotificationCenter::getInstance()->postNotification(IdleLock::kResetTimer);
    idle->userInput();
    NotificationCenter::getInstance()->postNotification(IdleLock::kLockScreen);
    EXPECT_EQ(locks, 2);
    for (int i = 0; i < 4; ++i)
        clock.fire();
    EXPECT_EQ(locks, 2);
    EXPECT_TRUE(idle->isTimerRunning());
    idle->userInput();
    clock.fire();
    clock.fire();
    EXPECT_EQ(locks, 3);

    // "Never" leaves no timer; the setting's index gives the interval.
    idle->setLockScreenTime(IdleLock::kNever);
    EXPECT_FALSE(idle->isTimerRunning());
    idle->resetTimer();
    EXPECT_TRUE(idle->isTimerRunning());
    EXPECT_DOUBLE_EQ(idle->interval(),
        UserDefaultConfig::getTimeIntervalForLock(UserDefaultConfig::getInstance()->lockScreenTime()));
}

} // namespace

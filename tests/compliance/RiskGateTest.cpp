#include "compliance/RiskEvaluationGate.h"
#include "core/NotificationCenter.h"
#include "login/LoginTestRig.h"
#include "platform/RunLoop.h"

namespace {

using namespace std::chrono_literals;

class FakeWindow : public IGateWindow {
public:
    FakeWindow(std::function<void()> onClose, bool* closed)
        : onClose(std::move(onClose))
        , closed(closed)
    {
    }
    void close() override
    {
        *closed = true;
        // Some platforms still run the completion of a window closed from outside.
        if (onClose)
            onClose();
    }
    std::function<void()> onClose;
    bool* closed;
};

struct FakeHost : IRiskGateHost {
    QStringList calls;
    bool mainWindow = false;
    bool screenLocked = false;
    bool hasMainWindow() const override { return mainWindow; }
    bool isScreenLocked() const override { return screenLocked; }
    void lockWindow(bool locked) override { calls << (locked ? "lock" : "unlock"); }
    void showMainWindow() override
    {
        if (!mainWindow)
            calls << "main";
        mainWindow = true;
    }
    void showLastLoginInfoWindow(const QString&, const QString& content) override
    {
        if (!content.isEmpty())
            calls << "lastLogin";
    }
    void logout() override
    {
        mainWindow = false;
        calls << "logout";
    }
    void loginComplete() override { calls << "loginComplete"; }
    void resetUI() override { calls << "resetUI"; }
    void closeLoginWindow() override { calls << "closeLogin"; }
    void showError(const QString& message) override { calls << "error:" + message; }
    void refreshAccountLists() override { calls << "refresh"; }
    void stopModal() override { calls << "stopModal"; }
};

struct FakeWindows : IRiskGateWindows {
    struct Notice {
        QString content, defaultButton, alterButton, title;
        std::function<void(int)> done;
        bool closed = false;
    };
    struct Alert {
        QString message, text;
        std::function<void()> done;
        bool closed = false;
    };
    std::vector<std::unique_ptr<Notice>> notices;
    std::vector<std::unique_ptr<Alert>> alerts;
    std::vector<RiskEvaluationWindowControllerDeleagate*> evaluations;
    bool evaluationClosed = false;
    bool completionsRunOnClose = true;

    std::unique_ptr<IGateWindow> showStatusNotice(const QString& content, const QString& defaultButton,
        const QString& alterButton, const QString& title, std::function<void(int)> done) override
    {
        notices.push_back(std::make_unique<Notice>(Notice { content, defaultButton, alterButton, title, done }));
        Notice* n = notices.back().get();
        return std::make_unique<FakeWindow>(
            completionsRunOnClose ? std::function<void()>([n] { n->done(0); }) : nullptr, &n->closed);
    }
    std::unique_ptr<IGateWindow> showFollowUpAlert(
        const QString& message, const QString& text, std::function<void()> done) override
    {
        alerts.push_back(std::make_unique<Alert>(Alert { message, text, done }));
        Alert* a = alerts.back().get();
        return std::make_unique<FakeWindow>(completionsRunOnClose ? a->done : nullptr, &a->closed);
    }
    std::unique_ptr<IGateWindow> showEvaluationWindow(RiskEvaluationWindowControllerDeleagate* delegate) override
    {
        evaluations.push_back(delegate);
        return std::make_unique<FakeWindow>(nullptr, &evaluationClosed);
    }
};

class RiskGateTest : public logintest::HomeFixture {
protected:
    void SetUp() override
    {
        HomeFixture::SetUp();
        NotificationCenter::resetForTesting();
        UserDefaultConfig::getInstance(); // its first start posts type 18 itself
        NotificationCenter::getInstance()->addObserver(
            static_cast<const void*>(this), [this] { ++activeChanged; }, 2);
        NotificationCenter::getInstance()->addObserver(
            static_cast<const void*>(this), [this] { ++lockTimerRestarts; }, 18);
        accounts = std::make_unique<AccountManager>();
        gate = std::make_unique<RiskEvaluationGate>(RiskEvaluationGate::Services { &host, &windows, accounts.get(),
            nullptr, [this](IQueryRiskAssessmentStatusDelegate*) { return handle(++statusRequests); },
            [this](const QString& handle) { cancelled << handle; } });
    }
    void TearDown() override
    {
        gate.reset();
        NotificationCenter::resetForTesting();
        platform::RunLoop::main()->resetForTesting();
        HomeFixture::TearDown();
    }

    AccountManager::AccountPtr addAccount(const QString& number)
    {
        auto account = std::make_shared<Account>();
        account->customerNumber = number;
        accounts->addActiveAccount(account);
        return account;
    }
    void login() { gate->loginSucceed(addAccount(QStringLiteral("010100000001"))); }
    // The answer to the status request numbered `ask` (the last one by default).
    void reply(qint32 status, int ask = 0)
    {
        RDORiskAssessmentStatus s;
        s.status = status;
        s.tips = QStringLiteral("评估已过期");
        s.fctipstitle = QStringLiteral("风险测评提示");
        s.fctips = QStringLiteral("请完成评估");
        gate->queryRiskAssessmentStatus(nullptr, handle(ask ? ask : statusRequests), s);
    }
    // Each login's prefix gives its status request a handle of its own.
    static QString handle(int ask) { return QStringLiteral("fixed-%1").arg(ask); }
    // Lets the calls the gate scheduled run.
    void settle() { testsupport::spinFor(20ms); }
    // A fresh gate for the next row of a table.
    void restart()
    {
        TearDown();
        host = FakeHost();
        windows.notices.clear();
        windows.alerts.clear();
        windows.evaluations.clear();
        statusRequests = lockTimerRestarts = 0;
        cancelled.clear();
        SetUp();
    }

    FakeHost host;
    FakeWindows windows;
    std::unique_ptr<AccountManager> accounts;
    std::unique_ptr<RiskEvaluationGate> gate;
    int statusRequests = 0;
    QStringList cancelled; // handles of status requests dropped
    int activeChanged = 0;
    int lockTimerRestarts = 0;
};

TEST_F(RiskGateTest, DecisionTable)
{
    enum Choice { None, Now, Later };
    struct Case {
        qint32 status;
        Choice choice;
        QString alterButton;
        QStringList calls; // up to the questionnaire window or the session
        bool questionnaire;
    };
    const Case cases[] = {
        { 0, None, {}, { "main" }, false },
        { 1, Later, QStringLiteral("稍后重新评估"), { "main" }, false },
        { 1, Now, QStringLiteral("稍后重新评估"), { "loginComplete", "closeLogin" }, true },
        { 2, Now, QString(), { "loginComplete", "closeLogin" }, true },
        { 2, Later, QString(), { "loginComplete", "closeLogin" }, true }, // no way to postpone a required one
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status * 10 + c.choice);
        restart();
        login();
        EXPECT_EQ(statusRequests, 1);
        reply(c.status);
        settle();
        if (c.status != 0) {
            ASSERT_EQ(windows.notices.size(), 1u);
            const auto& notice = *windows.notices[0];
            EXPECT_EQ(notice.content, QStringLiteral("评估已过期"));
            EXPECT_EQ(notice.defaultButton, QStringLiteral("马上重新评估"));
            EXPECT_EQ(notice.alterButton, c.alterButton);
            EXPECT_EQ(notice.title, QStringLiteral("风险评测提示"));
            EXPECT_EQ(lockTimerRestarts, 1);
            EXPECT_TRUE(gate->isDoingRiskEvaluation());
            notice.done(c.choice == Later ? 0 : 1000);
        }
        if (c.questionnaire) {
            ASSERT_EQ(windows.alerts.size(), 1u);
            EXPECT_EQ(windows.alerts[0]->message, QStringLiteral("风险测评提示"));
            EXPECT_EQ(windows.alerts[0]->text, QStringLiteral("请完成评估"));
            EXPECT_TRUE(windows.evaluations.empty());
            windows.alerts[0]->done();
            ASSERT_EQ(windows.evaluations.size(), 1u);
            EXPECT_EQ(gate->state(), RiskEvaluationGate::State::Questionnaire);
            EXPECT_FALSE(gate->isDoingRiskEvaluation());
        } else {
            EXPECT_TRUE(windows.alerts.empty());
            EXPECT_EQ(gate->state(), RiskEvaluationGate::State::SessionOpen);
            EXPECT_EQ(gate->account(), nullptr);
        }
        EXPECT_EQ(host.calls, c.calls);
    }
}

TEST_F(RiskGateTest, QuestionnaireOutcomeOpensTheSessionOrLogsEveryoneOut)
{
    for (bool passed : { true, false }) {
        restart();
        login();
        reply(2);
        settle();
        windows.notices[0]->done(1000);
        windows.alerts[0]->done();
        host.calls.clear();
        gate->riskEvaluationSucceed(passed, nullptr);
        // A second report (the lock answering too) changes nothing.
        gate->riskEvaluationSucceed(false, nullptr);
        EXPECT_TRUE(windows.evaluationClosed);
        EXPECT_EQ(host.calls, passed ? QStringList({ "main" }) : QStringList({ "logout" }));
        EXPECT_EQ(accounts->loginAccounts().size(), passed ? 1u : 0u);
    }
}

// A further login from the open session that does not pass (its
// questionnaire abandoned, or the screen locked while its notice, alert or
// questionnaire is up) takes only its own account out: the session stays on
// the account active before it, and the lock locks it as any other. When it
// is the only account in, the session ends as after a first login.
TEST_F(RiskGateTest, AFurtherLoginTurnedAwayTakesOnlyItsOwnAccountOut)
{
    enum Way { Abandoned, LockOnNotice, LockOnAlert, LockOnQuestionnaire };
    struct Case {
        Way way;
        qint32 status;
        bool othersIn;
    };
    const Case cases[] = {
        { Abandoned, 1, true },
        { Abandoned, 2, true },
        { LockOnNotice, 1, true },
        { LockOnNotice, 2, true },
        { LockOnAlert, 2, true },
        { LockOnQuestionnaire, 1, true },
        { Abandoned, 2, false },
        { LockOnNotice, 1, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(
            testing::Message() << c.way << " status " << c.status << (c.othersIn ? " others in" : ""));
        restart();
        host.mainWindow = true;
        const auto first = addAccount(QStringLiteral("010200000002"));
        if (c.othersIn) {
            addAccount(QStringLiteral("010300000003"));
            accounts->setActiveLoginAccount(0);
        }
        // Without others, the account in logs in once more.
        gate->loginSucceed(c.othersIn ? addAccount(QStringLiteral("010100000001")) : first);
        reply(c.status);
        settle();
        ASSERT_EQ(windows.notices.size(), 1u);
        if (c.way != LockOnNotice) {
            windows.notices[0]->done(1000);
            ASSERT_EQ(windows.alerts.size(), 1u);
        }
        if (c.way == Abandoned || c.way == LockOnQuestionnaire) {
            windows.alerts[0]->done();
            ASSERT_EQ(windows.evaluations.size(), 1u);
        }
        EXPECT_EQ(gate->lockEndsTheSession(), !c.othersIn);
        host.calls.clear();
        activeChanged = 0;
        if (c.way == Abandoned || c.way == LockOnQuestionnaire) // the window reports it itself at a lock
            gate->riskEvaluationSucceed(false, nullptr);
        else
            NotificationCenter::getInstance()->postNotification(3);
        settle();
        host.calls.removeAll(QStringLiteral("stopModal"));
        EXPECT_EQ(host.calls, c.othersIn ? QStringList({ "refresh" }) : QStringList({ "logout" }));
        EXPECT_FALSE(gate->isDoingRiskEvaluation());
        if (c.othersIn) {
            ASSERT_EQ(accounts->loginAccounts().size(), 2u);
            EXPECT_EQ(accounts->getActiveLoginAccount(), first);
            EXPECT_EQ(activeChanged, 1);
            EXPECT_EQ(gate->state(), RiskEvaluationGate::State::SessionOpen);
        } else {
            EXPECT_TRUE(accounts->loginAccounts().empty());
            EXPECT_EQ(gate->state(), RiskEvaluationGate::State::LoggedOut);
        }
    }
}

TEST_F(RiskGateTest, LockWhileTheNoticeIsOpenEndsInLogoutAndNothingElse)
{
    login();
    reply(1);
    settle();
    ASSERT_EQ(windows.notices.size(), 1u);
    NotificationCenter::getInstance()->postNotification(3);
    // The notice's completion ran as it closed, with "later" (0): no session.
    EXPECT_TRUE(windows.notices[0]->closed);
    EXPECT_EQ(host.calls, QStringList({ "logout" }));
    EXPECT_TRUE(accounts->loginAccounts().empty());
    EXPECT_EQ(gate->state(), RiskEvaluationGate::State::LoggedOut);
    settle();
    EXPECT_EQ(host.calls, QStringList({ "logout", "stopModal" }));
    EXPECT_TRUE(windows.alerts.empty());
}

TEST_F(RiskGateTest, LockWhileTheAlertIsOpenNeverOpensTheQuestionnaire)
{
    login();
    reply(2);
    settle();
    windows.notices[0]->done(1000);
    ASSERT_EQ(windows.alerts.size(), 1u);
    NotificationCenter::getInstance()->postNotification(3);
    EXPECT_TRUE(windows.alerts[0]->closed);
    windows.alerts[0]->done(); // a completion that runs late
    settle();
    EXPECT_TRUE(windows.evaluations.empty());
    EXPECT_EQ(host.calls, QStringList({ "logout", "stopModal" }));

    // A lock outside the gate only ends the modal session.
    host.calls.clear();
    NotificationCenter::getInstance()->postNotification(3);
    settle();
    EXPECT_EQ(host.calls, QStringList({ "stopModal" }));
}

TEST_F(RiskGateTest, FailedStatusLogsTheAccountOutResetsTheFormAndRefreshesTheLists)
{
    // First login: no main window opens, the form is usable again.
    login();
    gate->queryRiskAssessmentStatus(nullptr, handle(1), CSError { QStringLiteral("请求超时"), 6 });
    EXPECT_TRUE(host.calls.isEmpty()); // shown outside the reply's handling
    settle();
    EXPECT_EQ(host.calls, QStringList({ "error:请求超时", "loginComplete", "resetUI", "refresh" }));
    EXPECT_TRUE(accounts->loginAccounts().empty());
    EXPECT_EQ(accounts->activeAccountIndex(), -1);
    EXPECT_EQ(activeChanged, 0);

    // A further login from the open main window, with three accounts in and
    // the first of them active: the window is covered while the status is
    // asked and stays open; the account whose status failed, or whose login
    // was cancelled, goes and the one active before it is active again.
    // Alone, the account in logs in once more: with it the session ends, and
    // the error shows after the main window has gone.
    struct Case {
        const char* name;
        bool alone;
        bool cancelled;
        qint64 madeActive; // by the list meanwhile; -1 none
        const char* active; // afterwards
    };
    const Case cases[] = {
        { "status failed", false, false, -1, "010100000001" },
        { "login cancelled", false, true, -1, "010100000001" },
        // Made active again: the one whose status failed goes all the same.
        { "the list made the new one active", false, false, 3, "010100000001" },
        { "the list made another active", false, false, 1, "010200000002" },
        { "alone, status failed", true, false, -1, nullptr },
        { "alone, login cancelled", true, true, -1, nullptr },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        accounts->logoutAllAccount();
        host.calls.clear();
        host.mainWindow = true;
        activeChanged = 0;
        for (const char* number : { "010100000001", "010200000002", "010300000003" }) {
            addAccount(QString::fromLatin1(number));
            if (c.alone)
                break;
        }
        accounts->setActiveLoginAccount(0);
        gate->loginSucceed(addAccount(QString::fromLatin1(c.alone ? "010100000001" : "010400000004")));
        if (c.madeActive >= 0)
            accounts->setActiveLoginAccount(c.madeActive);
        if (c.cancelled)
            gate->loginCancelled();
        else
            gate->queryRiskAssessmentStatus(
                nullptr, handle(statusRequests), CSError { QStringLiteral("无法连接网络"), 300 });
        settle();
        QStringList calls { "lock", "unlock" };
        if (c.alone)
            calls << "logout";
        if (!c.cancelled)
            calls += QStringList({ "error:无法连接网络", "loginComplete", "resetUI" });
        if (!c.alone)
            calls << "refresh";
        EXPECT_EQ(host.calls, calls);
        if (c.alone) {
            EXPECT_TRUE(accounts->loginAccounts().empty());
            EXPECT_EQ(activeChanged, 0);
            EXPECT_EQ(gate->state(), RiskEvaluationGate::State::LoggedOut);
            continue;
        }
        ASSERT_EQ(accounts->loginAccounts().size(), 3u);
        ASSERT_TRUE(accounts->getActiveLoginAccount());
        EXPECT_EQ(accounts->getActiveLoginAccount()->customerNumber.toStdString(), c.active);
        EXPECT_EQ(activeChanged, 1);
        EXPECT_EQ(gate->state(), RiskEvaluationGate::State::SessionOpen);
    }
}

TEST_F(RiskGateTest, AnAnswerCountsOnlyForTheLoginItWasAskedForAndACancelLogsOut)
{
    gate->loginSucceed(addAccount(QStringLiteral("010200000002")));
    login();
    // The first login's late answers neither open the session for the second
    // nor log anybody out.
    reply(0, 1);
    gate->queryRiskAssessmentStatus(nullptr, handle(1), CSError { QStringLiteral("请求超时"), 6 });
    settle();
    EXPECT_TRUE(host.calls.isEmpty()) << qPrintable(host.calls.join('|'));
    EXPECT_EQ(accounts->loginAccounts().size(), 2u);
    // The customer cancels the second login: its request and its account go.
    gate->loginCancelled();
    EXPECT_EQ(cancelled, QStringList({ handle(2) }));
    EXPECT_EQ(accounts->loginAccounts().size(), 1u);
    reply(1, 2);
    gate->loginCancelled();
    settle();
    EXPECT_EQ(host.calls, QStringList({ "refresh" }));
    EXPECT_TRUE(windows.notices.empty());
    // Once the status came, a cancel is too late.
    login();
    reply(0);
    gate->loginCancelled();
    EXPECT_EQ(accounts->loginAccounts().size(), 2u);
    EXPECT_EQ(host.calls, QStringList({ "refresh", "main" }));
}

TEST_F(RiskGateTest, FurtherLoginCoversTheMainWindowAndOpensNoSecondOne)
{
    host.mainWindow = true;
    login();
    reply(0);
    EXPECT_EQ(host.calls, QStringList({ "lock", "unlock" }));
    // The notice of a further login does not restart the idle lock.
    login();
    reply(1);
    settle();
    EXPECT_EQ(lockTimerRestarts, 0);
}

} // namespace

namespace {

// A further login's status, answered behind the screen lock, for each way
// out of it: nothing opens while locked; the unlock lets the step go on, a
// refused unlock (退出) ends it with the session.
TEST_F(RiskGateTest, AStatusAnsweredBehindTheLockWaitsForTheUnlock)
{
    enum Answer { Status0, Status1, Status2, Failure };
    enum Way { Unlock, Exit };
    struct Case {
        Answer answer;
        Way way;
        bool lockAfterAnswer; // locked between the answer and its notice
        QStringList calls; // after the way out
        size_t notices;
    };
    const Case cases[] = {
        { Status0, Unlock, false, { "unlock" }, 0 },
        { Status1, Unlock, false, { "unlock" }, 1 },
        { Status2, Unlock, false, { "unlock" }, 1 },
        { Status2, Unlock, true, {}, 1 },
        { Failure, Unlock, false, { "unlock", "error:请求超时", "loginComplete", "resetUI", "refresh" }, 0 },
        { Status1, Exit, false, {}, 0 },
        { Status2, Exit, true, {}, 0 },
        { Failure, Exit, false, {}, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer * 10 + c.way);
        restart();
        host.mainWindow = true;
        addAccount(QStringLiteral("010200000002"));
        login();
        host.calls.clear();
        host.screenLocked = !c.lockAfterAnswer;
        if (c.answer == Failure)
            gate->queryRiskAssessmentStatus(nullptr, handle(1), CSError { QStringLiteral("请求超时"), 6 });
        else
            reply(qint32(c.answer));
        host.screenLocked = true;
        settle();
        EXPECT_TRUE(windows.notices.empty());
        host.calls.removeAll(QStringLiteral("unlock")); // the cover may go before the lock
        EXPECT_TRUE(host.calls.isEmpty()) << qPrintable(host.calls.join('|'));
        EXPECT_EQ(accounts->loginAccounts().size(), 2u);
        host.calls.clear();
        if (c.way == Exit) {
            accounts->logoutAllAccount();
            NotificationCenter::getInstance()->postNotification(RiskEvaluationGate::kUnlockResult, 0);
            NotificationCenter::getInstance()->postNotification(RiskEvaluationGate::kLogout);
        }
        host.screenLocked = false;
        if (c.way == Unlock)
            NotificationCenter::getInstance()->postNotification(RiskEvaluationGate::kUnlockResult, 1);
        settle();
        EXPECT_EQ(host.calls, c.calls);
        EXPECT_EQ(windows.notices.size(), c.notices);
        if (c.way == Exit)
            EXPECT_EQ(gate->state(), RiskEvaluationGate::State::LoggedOut);
    }
}

// Logged out before its status came (退出 on the unlock window, or the
// account gone by another way): the status opens nothing, neither the notice
// nor a main window without an account.
TEST_F(RiskGateTest, AStatusForAnAccountLoggedOutSinceOpensNothing)
{
    for (const bool told : { true, false }) {
        for (const qint32 status : { 0, 1, 2, -1 }) {
            SCOPED_TRACE(status * 10 + told);
            restart();
            login();
            accounts->logoutAllAccount();
            if (told) // the session's logout: the request is dropped too
                NotificationCenter::getInstance()->postNotification(RiskEvaluationGate::kLogout);
            EXPECT_EQ(cancelled, told ? QStringList { handle(1) } : QStringList());
            if (status < 0)
                gate->queryRiskAssessmentStatus(
                    nullptr, handle(1), CSError { QStringLiteral("请求超时"), 6 });
            else
                reply(status);
            settle();
            EXPECT_TRUE(host.calls.isEmpty()) << qPrintable(host.calls.join('|'));
            EXPECT_TRUE(windows.notices.empty());
            EXPECT_EQ(gate->account(), nullptr);
        }
    }
}

} // namespace

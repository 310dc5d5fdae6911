// The unlock window's controller against the simulator, and the locked state.
#include "WindowTestRig.h"

#include "shell/pages/MenuItemViewController.h"
#include "shell/windows/LoginViewController.h"
#include "shell/windows/ScreenLockController.h"
#include "shell/windows/SessionNotifications.h"
#include "shell/windows/UnlockScreenWindowController.h"

using namespace logintest;
using namespace windowtest;
using brokersim::kIdentityLoginFunction;
using testsupport::spinUntil;

namespace {

// Counts the posts of some notification types and keeps their objects.
struct Posts {
    std::map<int32_t, std::vector<QVariant>> seen;
    explicit Posts(std::initializer_list<int32_t> types)
    {
        for (int32_t type : types)
            NotificationCenter::getInstance()->addObserver(
                this, [this, type](const platform::Notification& n) { seen[type].push_back(n.object); }, type);
    }
    ~Posts() { NotificationCenter::getInstance()->removeObserver(this); }
    std::size_t count(int32_t type) { return seen[type].size(); }
};

class ScreenLockTest : public SimulatorFixture {
protected:
    void SetUp() override
    {
        SimulatorFixture::SetUp();
        StartUp().run();
    }
    void logIn(const QString& number, const QString& password)
    {
        ASSERT_TRUE(windowtest::logIn(broker(), number, password));
    }
    // A wrong password: the server's message in an error box.
    void wrongTry(UnlockScreenWindowController& unlock)
    {
        unlock.setAlertPresenter(&alerts);
        const std::size_t before = alerts.shown.size();
        unlock.setPassword(QStringLiteral("000000"));
        unlock.unlockButtonClicked(true);
        EXPECT_TRUE(unlock.isChecking());
        ASSERT_TRUE(spinUntil([&] { return alerts.shown.size() > before; }, 10s));
        EXPECT_EQ(alerts.shown.back().title, QStringLiteral("错误"));
        EXPECT_FALSE(unlock.isChecking());
    }
    RecordingAlerts alerts;
};

TEST_F(ScreenLockTest, UnlockChecksThePasswordOnTheServer)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    Posts posts { sessionnotify::kUnlockResult };
    UnlockScreenWindowController unlock;
    int closeRequests = 0;
    QObject::connect(&unlock, &UnlockScreenWindowController::closeRequested, [&] { ++closeRequests; });
    EXPECT_EQ(unlock.customerNumberText(), QStringLiteral("010******001"));
    EXPECT_EQ(unlock.configFlag(), 0u);

    // After a wrong password the window stays for another try.
    wrongTry(unlock);
    EXPECT_EQ(closeRequests, 0);

    // Pressing again while a check runs cancels it; its answer reaches nobody.
    sim.withholdNext(kIdentityLoginFunction);
    unlock.setPassword(QStringLiteral("111111"));
    const qsizetype sent = sim.receivedCount(kIdentityLoginFunction);
    unlock.unlockButtonClicked(true);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kIdentityLoginFunction) > sent; }, 10s));
    unlock.unlockButtonClicked(false);
    EXPECT_FALSE(unlock.isChecking());
    unlock.unlockButtonClicked(true);
    ASSERT_TRUE(spinUntil([&] { return closeRequests == 1; }, 10s));
    EXPECT_EQ(unlock.configFlag(), 1u);
    EXPECT_TRUE(unlock.password().isEmpty());
    EXPECT_EQ(unlock.windowWillClose(), 1u);
    unlock.windowWillClose();
    ASSERT_EQ(posts.count(sessionnotify::kUnlockResult), 1u);
    EXPECT_EQ(posts.seen[sessionnotify::kUnlockResult][0].toULongLong(), 1u);
}

TEST_F(ScreenLockTest, ACheckForThePreviousAccountNeverUnlocksTheNextOne)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    UnlockScreenWindowController unlock;
    unlock.setAlertPresenter(&alerts);
    int closeRequests = 0;
    QObject::connect(&unlock, &UnlockScreenWindowController::closeRequested, [&] { ++closeRequests; });
    sim.withholdNext(kIdentityLoginFunction);
    unlock.setPassword(QStringLiteral("111111"));
    unlock.unlockButtonClicked(true);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(kIdentityLoginFunction) == 1; }, 10s));

    // Another account becomes the active one while the check runs: the
    // check ends and the password typed for the first one goes.
    logIn(QStringLiteral("010200000002"), QStringLiteral("222222"));
    NotificationCenter::getInstance()->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_FALSE(unlock.isChecking());
    EXPECT_TRUE(unlock.password().isEmpty());
    EXPECT_EQ(unlock.customerNumberText(), QStringLiteral("010******002"));
    ASSERT_EQ(sim.releaseWithheld(), 1);

    // The first account's confirmed password closes nothing; the second
    // account's own does.
    unlock.setPassword(QStringLiteral("222222"));
    unlock.unlockButtonClicked(true);
    ASSERT_TRUE(spinUntil([&] { return !unlock.isChecking(); }, 10s));
    EXPECT_EQ(closeRequests, 1);
    EXPECT_EQ(unlock.configFlag(), 1u);
    EXPECT_TRUE(lastBody(kIdentityLoginFunction).contains(QStringLiteral("inputid=010200000002&")));
    EXPECT_TRUE(alerts.shown.empty());
}

TEST_F(ScreenLockTest, AnAnswerAfterTheCheckEndedCountsForNothing)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    for (const bool cancelled : { true, false }) {
        SCOPED_TRACE(cancelled ? "cancelled" : "window closed");
        UnlockScreenWindowController unlock;
        unlock.setAlertPresenter(&alerts);
        unlock.setPassword(QStringLiteral("111111"));
        unlock.unlockButtonClicked(true);
        if (cancelled)
            unlock.unlockButtonClicked(false);
        else
            unlock.windowWillClose();
        // The check's answers come anyway (a cancel drops only the check the
        // login sequence sent last, which may be another window's).
        unlock.identifyLogin(nullptr, QString(), CSError { QStringLiteral("密码错误"), 1 });
        unlock.identifyLogin(nullptr, QString(), RDOAccount());
        EXPECT_EQ(unlock.configFlag(), 0u);
        EXPECT_TRUE(alerts.shown.empty());
    }
}

TEST_F(ScreenLockTest, ExitAfterAFailedTryGivesZero)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    Posts posts { sessionnotify::kUnlockResult };
    UnlockScreenWindowController unlock;
    wrongTry(unlock);
    unlock.exitButtonClicked();
    EXPECT_EQ(unlock.windowWillClose(), 0u);
    ASSERT_EQ(posts.count(sessionnotify::kUnlockResult), 1u);
    EXPECT_EQ(posts.seen[sessionnotify::kUnlockResult][0].toULongLong(), 0u);
}

TEST_F(ScreenLockTest, AFailedUnlockLogsOutEveryAccount)
{
    logIn(QStringLiteral("010100000001"), QStringLiteral("111111"));
    logIn(QStringLiteral("010200000002"), QStringLiteral("222222"));
    ASSERT_EQ(AccountManager::getInstance()->loginAccounts().size(), 2u);
    Posts posts { sessionnotify::kCloseMessageBoxes, sessionnotify::kLogout, sessionnotify::kResetLockTimer };
    ScreenLockController lock;
    int lockedSignals = 0;
    QObject::connect(&lock, &ScreenLockController::locked, [&] {
        ++lockedSignals;
        // A settings check the lock closes answers its own caller, not the lock.
        NotificationCenter::getInstance()->postNotification(sessionnotify::kUnlockResult, QVariant(qulonglong(0)));
    });

    // A settings check's result while unlocked changes nothing.
    NotificationCenter::getInstance()->postNotification(sessionnotify::kUnlockResult, QVariant(qulonglong(0)));
    EXPECT_EQ(AccountManager::getInstance()->loginAccounts().size(), 2u);

    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen); // already locked
    EXPECT_TRUE(lock.isLocked());
    EXPECT_EQ(AccountManager::getInstance()->loginAccounts().size(), 2u);
    EXPECT_EQ(lockedSignals, 1);
    EXPECT_EQ(posts.count(sessionnotify::kCloseMessageBoxes), 1u);

    NotificationCenter::getInstance()->postNotification(sessionnotify::kUnlockResult, QVariant(qulonglong(0)));
    EXPECT_FALSE(lock.isLocked());
    EXPECT_TRUE(AccountManager::getInstance()->loginAccounts().empty());
    EXPECT_EQ(posts.count(sessionnotify::kLogout), 1u);
    EXPECT_EQ(posts.count(sessionnotify::kResetLockTimer), 0u);

    // A confirmed unlock keeps the session and restarts the idle timer.
    NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    NotificationCenter::getInstance()->postNotification(sessionnotify::kUnlockResult, QVariant(qulonglong(1)));
    EXPECT_EQ(posts.count(sessionnotify::kResetLockTimer), 1u);
    EXPECT_EQ(posts.count(sessionnotify::kLogout), 1u);
}

TEST(UnlockMaskTest, CustomerNumbersAreMaskedFromTheFourthCharacter)
{
    EXPECT_EQ(UnlockScreenWindowController::maskedCustomerNumber("010100000001"), "010******001");
    EXPECT_EQ(UnlockScreenWindowController::maskedCustomerNumber("123456789"), "123******");
    EXPECT_EQ(UnlockScreenWindowController::maskedCustomerNumber("12345"), "123**");
    EXPECT_EQ(UnlockScreenWindowController::maskedCustomerNumber("12"), "12");
}

} // namespace

// The message-centre and user-settings windows' controllers.
#include "MessageStoreRig.h"
#include "shell/windows/MessageCenterWindowController.h"
#include "shell/windows/SessionNotifications.h"
#include "shell/windows/UserSettingWindowController.h"
#include "tools/broker-sim/MessageFunctions.h"

using namespace shelltest;
using testsupport::spinUntil;
using Settings = UserSettingWindowController;

namespace {

// Counts the posts of some notification types.
struct Posts {
    std::map<int32_t, int> seen;
    explicit Posts(std::initializer_list<int32_t> types)
    {
        for (int32_t type : types)
            NotificationCenter::getInstance()->addObserver(
                this, [this, type] { ++seen[type]; }, type);
    }
    ~Posts() { NotificationCenter::getInstance()->removeObserver(this); }
};

class MessageWindowTest : public ShellSimulatorFixture, public FilledMessageStore {
protected:
    void SetUp() override
    {
        ShellSimulatorFixture::SetUp();
        ASSERT_TRUE(fill());
        ASSERT_EQ(store->getUnreadMessageCount(), 3);
    }
};

} // namespace

TEST_F(MessageWindowTest, FirstRowOpensAStaleBodyIsDroppedAndReadingCounts)
{
    Posts posts { MessageCenterWindowController::kMessageCountChanged };
    // The first row's body is on its way when the user opens the second.
    sim.withholdNext(brokersim::kMessageDetailFunction);
    MessageCenterWindowController window({ store.get(), nullptr });
    ASSERT_EQ(window.rows().size(), 3u);
    EXPECT_EQ(window.heightOfRow(0), MessageCenterWindowController::kExpandedRowHeight);
    EXPECT_EQ(window.heightOfRow(1), MessageCenterWindowController::kCollapsedRowHeight);
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMessageDetailFunction) == 1; }));

    window.tableViewItemClicked(1);
    EXPECT_EQ(window.lastClickedRow(), 1u);
    EXPECT_EQ(window.heightOfRow(0), MessageCenterWindowController::kCollapsedRowHeight);
    EXPECT_EQ(window.heightOfRow(1), MessageCenterWindowController::kExpandedRowHeight);
    sim.releaseWithheld();
    ASSERT_TRUE(spinUntil([&] { return !window.bodyOfRow(1).isEmpty(); }));
    EXPECT_TRUE(window.bodyOfRow(0).isEmpty());
    EXPECT_FALSE(window.rows()[0].readFlag);
    EXPECT_TRUE(window.rows()[1].readFlag);
    EXPECT_EQ(store->getUnreadMessageCount(), 2);

    // Clicking the open row closes it and sends nothing; a click outside
    // every row does nothing.
    const qsizetype sent = sim.receivedCount(brokersim::kMessageDetailFunction);
    window.tableViewItemClicked(1);
    window.tableViewItemClicked(-1);
    EXPECT_EQ(window.heightOfRow(1), MessageCenterWindowController::kCollapsedRowHeight);
    EXPECT_EQ(sim.receivedCount(brokersim::kMessageDetailFunction), sent);

    // The expand button opens its row alone.
    window.showHideButtonClicked(2, true);
    ASSERT_TRUE(spinUntil([&] { return !window.bodyOfRow(2).isEmpty(); }));
    EXPECT_EQ(store->getUnreadMessageCount(), 1);

    window.windowWillClose();
    window.windowWillClose();
    EXPECT_EQ(posts.seen[MessageCenterWindowController::kMessageCountChanged], 1);
}

TEST_F(MessageWindowTest, ARowClosedWhileItsBodyIsOnItsWayIsReadWhenItComes)
{
    sim.withholdNext(brokersim::kMessageDetailFunction);
    MessageCenterWindowController window({ store.get(), nullptr });
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMessageDetailFunction) == 1; }));
    // Closing the first row keeps it the last clicked one: its body is still its own.
    window.tableViewItemClicked(0);
    EXPECT_EQ(window.heightOfRow(0), MessageCenterWindowController::kCollapsedRowHeight);
    ASSERT_EQ(sim.releaseWithheld(), 1);
    ASSERT_TRUE(spinUntil([&] { return window.rows()[0].readFlag; }));
    EXPECT_FALSE(window.bodyOfRow(0).isEmpty());
    EXPECT_EQ(store->getUnreadMessageCount(), 2);
}

TEST_F(MessageWindowTest, ALateBodyOfTheFirstRowNeverShowsOnTheSecond)
{
    // Another reader of bodies on the same connection: its answer comes after
    // every reply sent before it.
    struct Reader final : IMessageCenterDetailDelegate {
        int answers = 0;
        void messageCenterDetail(DataModel*, const QString&, const QString&) override { ++answers; }
    } reader;

    sim.withholdNext(brokersim::kMessageDetailFunction);
    MessageCenterWindowController window({ store.get(), nullptr });
    ASSERT_TRUE(spinUntil([&] { return sim.receivedCount(brokersim::kMessageDetailFunction) == 1; }));
    window.tableViewItemClicked(1);
    ASSERT_TRUE(spinUntil([&] { return !window.bodyOfRow(1).isEmpty(); }));
    const QString own = window.bodyOfRow(1);

    // Row 0's body arrives after the move to row 1.
    ASSERT_EQ(sim.releaseWithheld(), 1);
    const MessageCenterInfo& third = window.rows()[2];
    ASSERT_FALSE(store->requestMessageInfoDetail(&reader, third.pd, third.pt).isEmpty());
    ASSERT_TRUE(spinUntil([&] { return reader.answers == 1; }));
    EXPECT_EQ(window.bodyOfRow(1), own);
    EXPECT_TRUE(window.bodyOfRow(0).isEmpty());
    EXPECT_FALSE(window.rows()[0].readFlag);

    // Row 0 opened again shows a text of its own.
    window.tableViewItemClicked(0);
    ASSERT_TRUE(spinUntil([&] { return !window.bodyOfRow(0).isEmpty(); }));
    EXPECT_NE(window.bodyOfRow(0), own);
    EXPECT_EQ(window.bodyOfRow(1), own);
}

TEST_F(MessageWindowTest, AMessageIsReadOnlyWhenItsBodyCame)
{
    // Another reader of the same body: it shares the window's answer.
    struct Reader final : IMessageCenterDetailDelegate {
        int answers = 0;
        void messageCenterDetail(DataModel*, const QString&, const QString&) override { ++answers; }
        bool messageCenterDetail(DataModel*, const QString&, const CSError&) override
        {
            ++answers;
            return true;
        }
    };
    struct Case {
        const char* what;
        std::function<void()> arm;
    };
    const Case cases[] = {
        { "no rows",
            [&] {
                sim.answerTablesNext(
                    brokersim::kMessageDetailFunction, { brokersim::Table().column(QStringLiteral("html")) });
            } },
        { "an error row", [&] { sim.answerErrorNext(brokersim::kMessageDetailFunction, -1); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reader reader;
        c.arm();
        MessageCenterWindowController window({ store.get(), nullptr });
        ASSERT_EQ(window.rows().size(), 3u);
        const MessageCenterInfo& first = window.rows()[0];
        store->requestMessageInfoDetail(&reader, first.pd, first.pt);
        ASSERT_TRUE(spinUntil([&] { return reader.answers == 1; }));
        EXPECT_EQ(sim.receivedCount(brokersim::kMessageDetailFunction), 1);
        EXPECT_FALSE(window.rows()[0].readFlag);
        EXPECT_TRUE(window.bodyOfRow(0).isEmpty());
        EXPECT_EQ(store->getUnreadMessageCount(), 3);
        sim.clearReceived();
    }
}

TEST_F(MessageWindowTest, AnAccountWithoutMessagesEmptiesTheTable)
{
    MessageCenterWindowController window({ store.get(), nullptr });
    ASSERT_EQ(window.rows().size(), 3u);
    auto other = std::make_shared<Account>();
    other->customerNumber = QStringLiteral("020100000003");
    accounts.addActiveAccount(other);
    accounts.setActiveLoginAccount(1);
    const qsizetype sent = sim.receivedCount(brokersim::kMessageDetailFunction);
    NotificationCenter::getInstance()->postNotification(MessageCenterWindowController::kActiveAccountChanged);
    EXPECT_TRUE(window.rows().empty());
    EXPECT_EQ(sim.receivedCount(brokersim::kMessageDetailFunction), sent);
}

using SettingsWindowTest = logintest::HomeFixture;

TEST_F(SettingsWindowTest, EachPopUpMapsToItsSettingOnApply)
{
    UserDefaultConfig* config = UserDefaultConfig::getInstance();
    Settings window;
    // The start-up defaults show "3秒" and "10秒".
    EXPECT_EQ(
        Settings::items(Settings::kQuoteRefreshTime).value(window.selectedIndex(Settings::kQuoteRefreshTime)),
        QStringLiteral("3秒"));
    EXPECT_EQ(
        Settings::items(Settings::kLockScreenTime).value(window.selectedIndex(Settings::kLockScreenTime)),
        QStringLiteral("10秒"));
    EXPECT_FALSE(window.applyEnabled());

    const struct {
        Settings::PopUp popUp;
        int index;
        std::function<int()> stored;
        int expected;
    } cases[] = {
        { Settings::kQuoteColor, 1, [&] { return config->quoteColorType(); }, 1 },
        { Settings::kOrderColor, 1, [&] { return config->orderColorType(); }, 1 },
        { Settings::kPlColor, 1, [&] { return config->plColorType(); }, 1 },
        { Settings::kBuyDefaultPrice, 6, [&] { return config->buyDefaultType(); }, 6 },
        { Settings::kSellDefaultPrice, 2, [&] { return config->sellDefaultType(); }, 2 },
        { Settings::kQuoteRefreshTime, 0, [&] { return config->quoteRefreshTime(); }, 1 },
        { Settings::kLockScreenTime, 13, [&] { return config->lockScreenTime(); }, 14 },
        { Settings::kProtectOption, 1, [&] { return int(config->accountProtectOption()); }, 1 },
    };
    Posts posts { 16, 17, 18, 19 };
    for (const auto& c : cases)
        window.select(c.popUp, c.index);
    for (const auto& c : cases)
        EXPECT_NE(c.stored(), c.expected) << "nothing is stored before Apply: " << c.popUp;
    EXPECT_TRUE(window.applyEnabled());
    window.applyButtonClicked();
    EXPECT_FALSE(window.applyEnabled());
    for (const auto& c : cases)
        EXPECT_EQ(c.stored(), c.expected) << c.popUp;
    // Each change posts once; the lock-time change is the idle timer's restart.
    window.applyButtonClicked();
    EXPECT_EQ(posts.seen, (std::map<int32_t, int> { { 16, 1 }, { 17, 1 }, { 18, 1 }, { 19, 1 } }));
    EXPECT_EQ(
        UserDefaultConfig::getTimeIntervalForRefresh(config->quoteRefreshTime()), UserDefaultConfig::kNever);

    // Default restores everything but the protection; only Apply stores it.
    Settings again;
    EXPECT_EQ(again.selectedIndex(Settings::kLockScreenTime), 13);
    again.defaultButtonClicked();
    EXPECT_EQ(config->lockScreenTime(), 14);
    again.applyButtonClicked();
    EXPECT_EQ(config->quoteColorType(), 0);
    EXPECT_EQ(config->buyDefaultType(), 0);
    EXPECT_EQ(config->quoteRefreshTime(), UserDefaultConfig::kDefaultQuoteRefreshTime);
    EXPECT_EQ(config->lockScreenTime(), UserDefaultConfig::kDefaultLockScreenTime);
    EXPECT_TRUE(config->accountProtectOption());
    EXPECT_EQ(posts.seen[18], 2);
}

TEST_F(SettingsWindowTest, TurningProtectionOffNeedsTheUnlock)
{
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    Settings window;
    QStringList asked;
    int answer = 0;
    window.setUnlockRunner([&](const QString& tip, const QString& title) {
        asked << tip << title;
        return answer;
    });
    window.select(Settings::kProtectOption, 0);
    EXPECT_EQ(asked, (QStringList { Settings::protectTip(), QStringLiteral("关闭") }));
    EXPECT_EQ(window.selectedIndex(Settings::kProtectOption), 1);
    EXPECT_FALSE(window.applyEnabled());

    answer = 1;
    window.select(Settings::kProtectOption, 0);
    EXPECT_TRUE(window.applyEnabled());
    // Closing without Apply leaves it on.
    window.windowWillClose();
    EXPECT_TRUE(UserDefaultConfig::getInstance()->accountProtectOption());
    window.applyButtonClicked();
    EXPECT_FALSE(UserDefaultConfig::getInstance()->accountProtectOption());

    // Switching it on asks nothing.
    asked.clear();
    window.select(Settings::kProtectOption, 1);
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(window.applyEnabled());
}

#include "AccountsTestRig.h"
#include "ShellTestRig.h"
#include "WindowTestRig.h"
#include "login/Account.h"
#include "platform/RunLoop.h"
#include "shell/pages/MenuItemViewManager.h"
#include "tools/broker-sim/MessageFunctions.h"

using namespace shelltest;
using testsupport::spinUntil;
using windowtest::RecordingAlerts;

namespace {

const QString kNotSupported = QString::fromUtf8(MenuItemViewManager::kNotSupportedMessage);

BaseNode::Ptr entry(qint64 linkType, qint64 linkId, const QString& title = QStringLiteral("条目"))
{
    auto node = ChildNode::initLeaf();
    node->nodeTitle = title;
    node->nodeLinkType = linkType;
    node->nodeLinkId = linkId;
    return node;
}

// A page that counts its set-ups, keeps a timer and a registration from its
// set-up, and asks for the message list there.
class CountingPage final : public MenuItemViewController, public IMessageCenterListDelegate {
public:
    CountingPage(BaseNode::Ptr node, NotificationCenter* centre, MessageCenterManager* store = nullptr)
        : MenuItemViewController(std::move(node), { centre })
        , store(store)
    {
    }
    int setups = 0;
    int initControls = 0;
    int heardType7 = 0;
    platform::RunLoopTimer* timer = nullptr;
    std::vector<QString> replies;
    MessageCenterManager* store;
    std::vector<QString> steps; // "clear" and "setup", in the order they ran
    quint64 codeAsk = 0;
    using MenuItemViewController::askedFor;

    void messageCenterList(DataModel*, const QString& handle, const std::vector<RDOMessageInfo>&) override
    {
        replies.push_back(handle);
    }
    QString lastHandle;

protected:
    void clearAccountFigures() override { steps.push_back(QStringLiteral("clear")); }
    void awakeFromNib() override
    {
        ++setups;
        steps.push_back(QStringLiteral("setup"));
        codeAsk = askedFor().ask(QStringLiteral("quote"), QStringLiteral("600000"));
        timer = schedulePageTimer(60, [] {});
        observePage(7, [this](const platform::Notification&) { ++heardType7; });
        if (store)
            lastHandle = store->requestMessageInfoList(this);
    }
    void initViewControls() override { ++initControls; }
};

class PageDispatchTest : public ShellHomeFixture {
protected:
    void SetUp() override
    {
        ShellHomeFixture::SetUp();
        manager = std::make_unique<MenuItemViewManager>();
        manager->setWindow(&alerts);
    }
    void TearDown() override
    {
        manager.reset();
        ShellHomeFixture::TearDown();
    }
    // Every page class of the table, as the libraries of a full build would.
    void registerAllPages()
    {
        for (qint64 type : { 0, 1, 2 })
            registerPage(MenuItemViewManager::pageClassName(type, 0));
        for (qint64 id = 0; id < 100000; ++id)
            if (const QString name = MenuItemViewManager::pageClassName(4, id); !name.isEmpty())
                registerPage(name);
    }
    void registerPage(const QString& name)
    {
        manager->registerPageClass(name, [](const BaseNode::Ptr& node) {
            return std::make_unique<CountingPage>(node, NotificationCenter::getInstance());
        });
    }

    RecordingAlerts alerts;
    std::unique_ptr<MenuItemViewManager> manager;
};

} // namespace

TEST_F(PageDispatchTest, PageClassByLinkTypeAndId)
{
    registerAllPages();
    struct Case {
        qint64 type;
        qint64 id;
        const char* page; // "" the not-supported message
    };
    const Case cases[] = {
        { 0, 10003, "CommonQueryViewController" }, // type 0 whatever the id
        { 0, 0, "CommonQueryViewController" },
        { 1, 7, "HistoricQueryViewController" },
        { 2, 7, "HistoricQueryViewControllerEx" },
        { 4, 10003, "AssetQueryViewController" },
        { 4, 10000, "TradeViewController" },
        { 4, 10001, "TradeViewController" },
        { 4, 10008, "AfTradeViewController" },
        { 4, 30013, "OpdQuoteViewController" },
        { 4, 40006, "FundCollectionViewController" },
        { 4, 50001, "RiskAssessmentViewController" },
        { 4, 60002, "ReservationInfoViewController" },
        { 4, 80000, "WarrantExerciseViewController" },
        // Links of no page: outside the link table, the dropped ones and the
        // Stock Connect pages.
        { 4, 0, "" },
        { 4, 1, "" },
        { 4, 30009, "" },
        { 4, 50002, "" },
        { 4, 60003, "" },
        { 4, 90000, "" },
        { 4, 90001, "" },
        { 4, 90009, "" },
        { 3, 10003, "" },
        { 5, 0, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.type << "/" << c.id);
        alerts.shown.clear();
        const auto page = manager->getViewController(entry(c.type, c.id, QStringLiteral("资金股份")));
        if (*c.page) {
            ASSERT_TRUE(page);
            EXPECT_EQ(page->pageClass(), QLatin1String(c.page));
            EXPECT_EQ(page->pageTitle(), QStringLiteral("资金股份"));
            EXPECT_EQ(static_cast<CountingPage&>(*page).setups, 1);
            EXPECT_EQ(static_cast<CountingPage&>(*page).initControls, 1);
            EXPECT_TRUE(alerts.shown.empty());
        } else {
            EXPECT_FALSE(page);
            ASSERT_EQ(alerts.shown.size(), 1u);
            EXPECT_EQ(alerts.shown[0].title, QStringLiteral("错误"));
            EXPECT_EQ(alerts.shown[0].text, kNotSupported);
        }
    }
}

TEST_F(PageDispatchTest, PageThisBuildDoesNotCarryAnswersNotSupported)
{
    registerPage(QStringLiteral("AssetQueryViewController"));
    EXPECT_TRUE(manager->getViewController(entry(4, 10003)));
    EXPECT_FALSE(manager->getViewController(entry(4, 10000)));
    EXPECT_EQ(alerts.texts(), QStringList { kNotSupported });
    EXPECT_FALSE(manager->getViewController(nullptr));
}

TEST_F(PageDispatchTest, ExitTradingAsksAndPostsOnlyOnConfirm)
{
    int exits = 0;
    QObject observer;
    NotificationCenter::getInstance()->addObserver(
        &observer, TypedNotificationCenter::PlainHandler([&] { ++exits; }), pagenotify::kExitTrading);
    registerAllPages();
    for (int answer : { 0, 1 }) {
        alerts.answer = answer;
        alerts.shown.clear();
        EXPECT_FALSE(manager->getViewController(entry(4, 60004)));
        ASSERT_EQ(alerts.shown.size(), 1u);
        EXPECT_EQ(alerts.shown[0].title, QStringLiteral("温馨提示"));
        EXPECT_EQ(alerts.shown[0].text, QStringLiteral("是否退出交易？"));
        EXPECT_EQ(alerts.shown[0].defaultButton, QStringLiteral("确认"));
        EXPECT_EQ(alerts.shown[0].alternateButton, QStringLiteral("取消"));
        EXPECT_EQ(exits, answer);
    }
}

TEST_F(PageDispatchTest, AccountChangeRerunsSetUpOnceWithoutDoubling)
{
    NotificationCenter* centre = NotificationCenter::getInstance();
    CountingPage page(entry(4, 10003), centre);
    page.load();
    const quint64 firstAsk = page.codeAsk;
    page.askedFor().ask(QStringLiteral("maximum"), QStringLiteral("600000"));
    centre->postNotification(pagenotify::kActiveAccountChanged);
    EXPECT_EQ(page.setups, 2);
    // The previous account's figures are cleared before the new set-up asks,
    // and nothing asked for under the previous account is awaited any more.
    EXPECT_EQ(page.steps, (std::vector<QString> { "setup", "clear", "setup" }));
    EXPECT_FALSE(page.askedFor().awaits(QStringLiteral("maximum"), QStringLiteral("600000")));
    EXPECT_FALSE(page.askedFor().awaitsAsk(QStringLiteral("quote"), firstAsk));
    EXPECT_TRUE(page.askedFor().awaitsAsk(QStringLiteral("quote"), page.codeAsk));
    EXPECT_EQ(page.initControls, 1);
    EXPECT_EQ(page.pageTimerCount(), 1u); // the first set-up's timer is gone
    ASSERT_TRUE(page.timer);
    EXPECT_TRUE(page.timer->isActive());
    centre->postNotification(7);
    EXPECT_EQ(page.heardType7, 1);

    page.unloadView();
    centre->postNotification(pagenotify::kActiveAccountChanged);
    centre->postNotification(7);
    EXPECT_EQ(page.setups, 2);
    EXPECT_EQ(page.heardType7, 1);
    EXPECT_EQ(page.pageTimerCount(), 0u);
}

namespace {

class PageRequestTest : public ShellSimulatorFixture {
protected:
    void SetUp() override
    {
        ShellSimulatorFixture::SetUp();
        brokersim::registerMessageFunctions(sim, std::make_shared<brokersim::MessageBoard>());
        addLoggedInAccounts(accounts, { "010100000001", "020100000003" });
        store = std::make_unique<MessageCenterManager>(nullptr, &accounts);
    }
    void TearDown() override
    {
        store.reset();
        ShellSimulatorFixture::TearDown();
    }
    AccountManager accounts;
    std::unique_ptr<MessageCenterManager> store;
};

// Asks for the same list as the page, so its answer tells the reply came.
struct Probe : IMessageCenterListDelegate {
    int replies = 0;
    void messageCenterList(DataModel*, const QString&, const std::vector<RDOMessageInfo>&) override
    {
        ++replies;
    }
};

} // namespace

TEST_F(PageRequestTest, ReplyAfterUnloadOrAccountChangeReachesNobody)
{
    NotificationCenter* centre = NotificationCenter::getInstance();
    {
        // Unloaded, then destroyed, before the reply: nobody hears it.
        auto page = std::make_unique<CountingPage>(entry(4, 10003), centre, store.get());
        page->load();
        Probe probe;
        store->requestMessageInfoList(&probe);
        page->unloadView();
        ASSERT_TRUE(spinUntil([&] { return probe.replies == 1; }));
        EXPECT_TRUE(page->replies.empty());
        page.reset();
        Probe again;
        store->requestMessageInfoList(&again);
        ASSERT_TRUE(spinUntil([&] { return again.replies == 1; }));
    }

    // The account changes while the first account's list is on its way: only
    // the new account's reply reaches the page.
    CountingPage page(entry(4, 10003), centre, store.get());
    page.load();
    const QString oldHandle = page.lastHandle;
    Probe probe;
    store->requestMessageInfoList(&probe);
    accounts.setActiveLoginAccount(1);
    centre->postNotification(pagenotify::kActiveAccountChanged);
    const QString newHandle = page.lastHandle;
    ASSERT_NE(oldHandle, newHandle);
    ASSERT_TRUE(spinUntil([&] { return probe.replies == 1 && !page.replies.empty(); }));
    EXPECT_EQ(page.replies, std::vector<QString> { newHandle });
}

TEST(AskedForTest, OnlyTheLatestAskOfAChannelIsAwaited)
{
    AskedFor asked;
    const quint64 first = asked.ask(QStringLiteral("quote"), QStringLiteral("600000"));
    const quint64 second = asked.ask(QStringLiteral("quote"), QStringLiteral("000001"));
    asked.ask(QStringLiteral("fund"), QStringLiteral("000011"));
    EXPECT_FALSE(asked.awaits(QStringLiteral("quote"), QStringLiteral("600000"))); // late
    EXPECT_FALSE(asked.awaitsAsk(QStringLiteral("quote"), first));
    EXPECT_TRUE(asked.awaits(QStringLiteral("quote"), QStringLiteral("000001")));
    EXPECT_TRUE(asked.awaitsAsk(QStringLiteral("quote"), second));
    EXPECT_FALSE(asked.awaits(QStringLiteral("fund"), QStringLiteral("000001"))); // channels apart
    asked.settle(QStringLiteral("quote"));
    EXPECT_FALSE(asked.awaits(QStringLiteral("quote"), QStringLiteral("000001")));
    EXPECT_EQ(asked.subject(QStringLiteral("fund")), QStringLiteral("000011"));
    asked.forgetAll();
    EXPECT_FALSE(asked.awaits(QStringLiteral("fund"), QStringLiteral("000011")));
}

#include "shell/windows/MainWindowController.h"

#include "AccountsTestRig.h"
#include "DeepMenu.h"
#include "ShellTestRig.h"
#include "SmallStack.h"
#include "WindowTestRig.h"
#include "login/Account.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/windows/MainWindowOutlineModel.h"
#include "shell/windows/SessionNotifications.h"

#include <QFileInfo>

using namespace shelltest;
using windowtest::RecordingAlerts;
using Path = MainWindowController::IndexPath;

namespace {

const QString kNotSupported = QString::fromUtf8(MenuItemViewManager::kNotSupportedMessage);

// Five roots, the fifth the trading root: a group with buy and sell, the
// funds page, a link of no page, exit trading and the Stock Connect group
// (dropped by the menu).
std::vector<RDOMenuInfo::Ptr> tradingMenu()
{
    return {
        node("1", "-1", "行情", "zshqpmd?code=1"),
        node("2", "-1", "资讯"),
        node("3", "-1", "开户"),
        node("4", "-1", "服务"),
        node("5", "-1", "网上交易", "trademenu"),
        node("51", "5", "股票交易"),
        node("11", "51", "买入", "buysale?MMLB=0"),
        node("12", "51", "卖出", "buysale?MMLB=1"),
        node("52", "5", "资金股份", "zccx?tc_mfuncno=500&tc_sfuncno=2"),
        node("53", "5", "新功能", "nosuchpage?"),
        node("54", "5", "退出交易", "tradeexit"),
        node("51877", "5", "沪港通"),
        node("61", "51877", "港股通买入", "hgtmr?"),
    };
}

struct PageLog {
    int made = 0;
    int unloaded = 0;
    int setups = 0;
};

class LoggedPage final : public MenuItemViewController {
public:
    LoggedPage(BaseNode::Ptr node, PageLog& log)
        : MenuItemViewController(std::move(node))
        , log(log)
    {
        ++log.made;
    }
    ~LoggedPage() override { ++log.unloaded; }
    PageLog& log;

protected:
    void awakeFromNib() override { ++log.setups; }
};

// Hears what the window posts.
struct Posts {
    QObject key;
    std::vector<int32_t> types;
    std::vector<platform::Notification> all;
    Posts()
    {
        for (int32_t type : { 1, 2, 3, 13, 14, 18 })
            NotificationCenter::getInstance()->addObserver(&key,
                TypedNotificationCenter::Handler([this, type](const platform::Notification& n) {
                    types.push_back(type);
                    all.push_back(n);
                }),
                type);
    }
    int count(int32_t type) const { return int(std::ranges::count(types, type)); }
};

class MainWindowControllerTest : public ShellHomeFixture {
protected:
    void SetUp() override
    {
        ShellHomeFixture::SetUp();
        menus = std::make_unique<MenuManager>();
        menus->setMenuInfo(std::make_shared<RDOMenuManager>(tradingMenu()));
        accounts = std::make_unique<AccountManager>();
        store = std::make_unique<MessageCenterManager>(nullptr, accounts.get());
        pages = std::make_unique<MenuItemViewManager>();
        for (const char* name : { "TradeViewController", "AssetQueryViewController" })
            pages->registerPageClass(QString::fromLatin1(name),
                [this](const BaseNode::Ptr& n) { return std::make_unique<LoggedPage>(n, log); });
    }
    void TearDown() override
    {
        window.reset();
        pages.reset();
        store.reset();
        accounts.reset();
        menus.reset();
        ShellHomeFixture::TearDown();
    }
    void login(std::initializer_list<const char*> numbers) { addLoggedInAccounts(*accounts, numbers); }
    MainWindowController& open()
    {
        MainWindowController::Services services;
        services.menuManager = menus.get();
        services.accountManager = accounts.get();
        services.menuItemViewManager = pages.get();
        services.messageCenterManager = store.get();
        window = std::make_unique<MainWindowController>(services);
        window->setAlertPresenter(&alerts);
        window->awakeFromNib();
        return *window;
    }
    QString pageTitle() const
    {
        return window->currentShow() ? window->currentShow()->pageTitle() : QStringLiteral("(none)");
    }

    std::unique_ptr<MenuManager> menus;
    std::unique_ptr<AccountManager> accounts;
    std::unique_ptr<MessageCenterManager> store;
    std::unique_ptr<MenuItemViewManager> pages;
    std::unique_ptr<MainWindowController> window;
    RecordingAlerts alerts;
    PageLog log;
};

} // namespace

TEST_F(MainWindowControllerTest, OutlineFromTheMenuAndPageSwitching)
{
    login({ "010100000001" });
    MainWindowController& w = open();
    EXPECT_EQ(w.menuTitles(), (QStringList { QStringLiteral("网上交易"), QStringLiteral("我的交易") }));
    EXPECT_EQ(w.selectedMenuTitle(), QStringLiteral("网上交易"));
    EXPECT_FALSE(w.isEditButtonVisible());

    // The outline shows the menu in its order, without the Stock Connect group.
    MainWindowOutlineModel model;
    model.setNodes(w.treeContent());
    ASSERT_EQ(model.rowCount(), 4);
    QStringList titles;
    for (int row = 0; row < 4; ++row)
        titles << model.index(row, 0).data().toString();
    EXPECT_EQ(titles.join(u','), QStringLiteral("股票交易,资金股份,新功能,退出交易"));
    const QModelIndex sell = model.index(1, 0, model.index(0, 0));
    EXPECT_EQ(sell.data().toString(), QStringLiteral("卖出"));
    EXPECT_EQ(model.indexPath(sell), (Path { 0, 1 }));
    EXPECT_EQ(model.indexOfPath({ 0, 1 }), sell);
    EXPECT_FALSE(model.flags(model.index(0, 0)) & Qt::ItemIsSelectable); // a group only opens

    // The first row is a group: no page, no message.
    EXPECT_EQ(w.currentShow(), nullptr);
    EXPECT_TRUE(alerts.shown.empty());

    w.outlineViewSelectionDidChange({ 0, 1 });
    EXPECT_EQ(pageTitle(), QStringLiteral("卖出"));
    EXPECT_EQ(w.currentShow()->pageClass(), QStringLiteral("TradeViewController"));
    w.outlineViewSelectionDidChange({ 1 });
    EXPECT_EQ(pageTitle(), QStringLiteral("资金股份"));
    EXPECT_EQ(log.unloaded, 1); // the sell page went

    // A link of no page and exit trading keep the page and the selection.
    int restored = 0;
    QObject::connect(&w, &MainWindowController::selectionRestored, [&] { ++restored; });
    alerts.answer = 0;
    for (const Path& path : { Path { 2 }, Path { 3 } }) {
        w.outlineViewSelectionDidChange(path);
        EXPECT_EQ(pageTitle(), QStringLiteral("资金股份"));
        EXPECT_EQ(w.selectedMenuItemIndex(), Path { 1 });
    }
    EXPECT_EQ(restored, 2);
    EXPECT_EQ(alerts.texts(), (QStringList { kNotSupported, QStringLiteral("是否退出交易？") }));

    // The user's menu without the funds entry: its page goes with it.
    menus->setMenuItemVisible(false, QStringLiteral("52"));
    w.functionButtonSelected(1);
    EXPECT_TRUE(w.isEditButtonVisible());
    EXPECT_EQ(UserDefaultConfig::getInstance()->selectedMenuTitle(), QStringLiteral("我的交易"));
    EXPECT_EQ(findNodeWithLinkId(w.treeContent(), 10003), nullptr);
    EXPECT_EQ(w.currentShow(), nullptr);
    EXPECT_EQ(log.unloaded, 2);

    // A menu change keeps a page whose entry is still there.
    w.outlineViewSelectionDidChange({ 0, 0 });
    menus->setMenuItemVisible(true, QStringLiteral("52"));
    NotificationCenter::getInstance()->postNotification(pagenotify::kMenuChanged);
    EXPECT_EQ(pageTitle(), QStringLiteral("买入"));
    EXPECT_EQ(w.treeContent().size(), 4u);

    // Closing unloads the page and ends every observation.
    w.windowWillClose();
    EXPECT_EQ(w.currentShow(), nullptr);
    EXPECT_EQ(log.made, log.unloaded);
    NotificationCenter::getInstance()->postNotification(pagenotify::kMenuChanged);
    EXPECT_TRUE(w.treeContent().empty());
}

TEST_F(MainWindowControllerTest, HiddenEntriesShowUnderTheTradingRootsOwnTitle)
{
    login({ "010100000001" });
    menus->setMenuItemVisible(false, QStringLiteral("52"));
    menus->setMenuItemVisible(false, QStringLiteral("51"));
    MainWindowController& w = open();
    // Title, then whether the hidden group and entry show.
    const std::pair<int, bool> cases[] = { { 0, true }, { 1, false }, { 0, true } };
    for (const auto& [title, shown] : cases) {
        w.functionButtonSelected(title);
        SCOPED_TRACE(w.selectedMenuTitle().toStdString());
        EXPECT_EQ(findNodeWithLinkId(w.treeContent(), 10003) != nullptr, shown);
        EXPECT_EQ(findNodeWithLinkId(w.treeContent(), 10000) != nullptr, shown); // under the hidden group
        EXPECT_NE(findNodeWithLinkId(w.treeContent(), 60004), nullptr); // visible ones always
    }
}

TEST_F(MainWindowControllerTest, LogoutWithTwoAccountsThenWithOne)
{
    login({ "010100000001", "020100000003" });
    Posts posts;
    MainWindowController& w = open();
    w.outlineViewSelectionDidChange({ 1 });
    ASSERT_EQ(w.accountTitles().size(), 2);

    // Switching re-runs the page's set-up once and stores the branch.
    w.acitiveAccountChanged(1);
    EXPECT_EQ(accounts->activeAccountIndex(), 1);
    EXPECT_EQ(UserDefaultConfig::getInstance()->orgId(), QStringLiteral("0201"));
    EXPECT_EQ(log.setups, 2);
    EXPECT_EQ(posts.count(pagenotify::kActiveAccountChanged), 1);

    // Two accounts: the active one goes without a question, the first stays.
    w.accountPButtonSelected(MainWindowController::kLogoutCurrentUser);
    EXPECT_TRUE(alerts.shown.empty());
    ASSERT_EQ(accounts->loginAccounts().size(), 1u);
    EXPECT_EQ(accounts->getActiveLoginAccount()->customerNumber, QStringLiteral("010100000001"));
    EXPECT_EQ(w.accountTitles().size(), 1);
    EXPECT_EQ(w.selectedAccountIndex(), 0);
    EXPECT_EQ(posts.count(pagenotify::kActiveAccountChanged), 2);
    EXPECT_EQ(posts.count(sessionnotify::kLogout), 0);
    EXPECT_EQ(pageTitle(), QStringLiteral("资金股份"));

    // One account: asked first; "取消" changes nothing.
    alerts.answer = 0;
    w.accountPButtonSelected(MainWindowController::kLogoutCurrentUser);
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].title, QStringLiteral("温馨提示"));
    EXPECT_EQ(alerts.shown[0].text, QString::fromUtf8(MainWindowController::kLogoutLastAccountText));
    EXPECT_EQ(alerts.shown[0].alternateButton, QStringLiteral("取消"));
    EXPECT_EQ(accounts->loginAccounts().size(), 1u);
    EXPECT_EQ(posts.count(sessionnotify::kLogout), 0);

    alerts.answer = 1;
    w.accountPButtonSelected(MainWindowController::kLogoutCurrentUser);
    EXPECT_TRUE(accounts->loginAccounts().empty());
    EXPECT_EQ(w.currentShow(), nullptr);
    ASSERT_EQ(posts.count(sessionnotify::kLogout), 1);
    EXPECT_EQ(posts.all.back().object.value<QObject*>(), &w);
}

TEST_F(MainWindowControllerTest, FurtherLoginAndTradeJumps)
{
    login({ "010100000001" });
    Posts posts;
    MainWindowController& w = open();

    // A further account logged in from the panel becomes the selected one.
    auto added = std::make_shared<Account>();
    added->name = QStringLiteral("新户");
    added->customerNumber = QStringLiteral("020100000003");
    accounts->addActiveAccount(added);
    NotificationCenter::getInstance()->postNotification(
        sessionnotify::kLoginSucceeded, QVariant::fromValue(added));
    EXPECT_EQ(w.accountTitles().size(), 2);
    EXPECT_EQ(w.selectedAccountIndex(), 1);
    EXPECT_EQ(accounts->activeAccountIndex(), 1);
    ASSERT_EQ(posts.count(pagenotify::kActiveAccountChanged), 1);
    EXPECT_EQ(posts.all.back().object.value<std::shared_ptr<Account>>(), added);

    // With account protection on, another number of the same customer at
    // the same branch shows the same line: the account that logged in is
    // the active one all the same.
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    auto twin = std::make_shared<Account>();
    twin->name = added->name;
    twin->customerNumber = QStringLiteral("020100001003");
    ASSERT_EQ(twin->getAccountInfo(), added->getAccountInfo());
    accounts->addActiveAccount(twin);
    NotificationCenter::getInstance()->postNotification(
        sessionnotify::kLoginSucceeded, QVariant::fromValue(twin));
    EXPECT_EQ(w.selectedAccountIndex(), 2);
    EXPECT_EQ(accounts->getActiveLoginAccount(), twin);

    // Sell a Shanghai position: the sell page, then type 13 with the position.
    const QVariantMap shanghai { { QString::fromLatin1(pagenotify::kPositionDetailKey),
        QVariantMap { { QStringLiteral("marketCode"), 1 },
            { QStringLiteral("stkcode"), QStringLiteral("600000") } } } };
    // The asking page is still inside its handler: the jump waits for it.
    // The highlight then moves with the page, not on a later pass.
    int moved = 0;
    QObject::connect(&w, &MainWindowController::selectionMoved, [&] { ++moved; });
    const QString before = pageTitle();
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kSellPosition, QVariant(), shanghai);
    EXPECT_EQ(pageTitle(), before);
    EXPECT_EQ(posts.count(pagenotify::kFillTradePage), 0);
    ASSERT_TRUE(testsupport::spinUntil([&] { return posts.count(pagenotify::kFillTradePage) == 1; }));
    EXPECT_EQ(pageTitle(), QStringLiteral("卖出"));
    EXPECT_EQ(w.selectedMenuItemIndex(), (Path { 0, 1 }));
    EXPECT_EQ(moved, 1);
    ASSERT_EQ(posts.count(pagenotify::kFillTradePage), 1);
    EXPECT_EQ(posts.all.back().userInfo, shanghai);
    EXPECT_EQ(posts.all.back().object.value<QObject*>(), &w);

    // A Stock Connect position, also with the server's code as a decimal:
    // no menu entry opens its page, so nothing happens and nothing is posted.
    for (const QVariant& code : { QVariant(5), QVariant(QStringLiteral("5.000")) }) {
        SCOPED_TRACE(code.toString().toStdString());
        const QVariantMap connect { { QString::fromLatin1(pagenotify::kPositionDetailKey),
            QVariantMap { { QStringLiteral("marketCode"), code } } } };
        const std::size_t postedBefore = posts.types.size();
        NotificationCenter::getInstance()->postNotificationName(
            pagenotify::kBuyPosition, QVariant(), connect);
        testsupport::spinFor(std::chrono::milliseconds(20));
        EXPECT_EQ(pageTitle(), QStringLiteral("卖出"));
        EXPECT_TRUE(alerts.shown.empty());
        EXPECT_EQ(posts.types.size(), postedBefore);
    }

    // A buy page missing from the menu: nothing happens.
    menus->setMenuItemVisible(false, QStringLiteral("11"));
    w.functionButtonSelected(1);
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kBuyPosition, QVariant(), shanghai);
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_EQ(posts.count(pagenotify::kFillTradePage), 1);
    EXPECT_TRUE(alerts.shown.empty());

    // Exit trading closes the window.
    int closes = 0;
    QObject::connect(&w, &MainWindowController::closeWindow, [&] { ++closes; });
    NotificationCenter::getInstance()->postNotification(pagenotify::kExitTrading);
    EXPECT_EQ(closes, 1);

    // A jump asked for just before the window closes never runs.
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kSellPosition, QVariant(), shanghai);
    w.windowWillClose();
    testsupport::spinFor(std::chrono::milliseconds(20));
    EXPECT_EQ(posts.count(pagenotify::kFillTradePage), 1);
    EXPECT_EQ(w.currentShow(), nullptr);
}

TEST_F(MainWindowControllerTest, MessageBadge)
{
    struct Case {
        qint64 count;
        const char* text;
        const char* image;
    };
    const Case cases[] = {
        { 0, "", "" },
        { 9, "9", "titleBar_Image_public_notification@16*16.png" },
        { 10, "10", "titleBar_Image_public_notification@20*16.png" },
        { 99, "99", "titleBar_Image_public_notification@20*16.png" },
        { 100, "99+", "titleBar_Image_public_notification@24*16.png" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MainWindowController::badgeText(c.count), QLatin1String(c.text)) << c.count;
        EXPECT_EQ(MainWindowController::badgeImage(c.count), QLatin1String(c.image)) << c.count;
    }

    // A list reply counts what is unread once it is filed; a failure keeps it.
    login({ "010100000001" });
    MainWindowController& w = open();
    std::vector<RDOMessageInfo> reply(3);
    for (int i = 0; i < 3; ++i) {
        reply[size_t(i)].title = QStringLiteral("消息%1").arg(i);
        reply[size_t(i)].pd = QStringLiteral("pd%1").arg(i);
        reply[size_t(i)].pt = QString::number(i);
        reply[size_t(i)].date = QStringLiteral("2024-06-01 09:00:00");
        reply[size_t(i)].endDate = QStringLiteral("2099-01-01 00:00:00");
        reply[size_t(i)].updateKey = QStringLiteral("%1|0").arg(3 - i);
    }
    w.messageCenterList(nullptr, QString(), reply);
    EXPECT_EQ(w.messageCount(), 3);
    w.messageCenterList(nullptr, QString(), CSError());
    EXPECT_EQ(w.messageCount(), 3);
    store->updateReadFlagToRead(QStringLiteral("pd1"), QStringLiteral("1"));
    NotificationCenter::getInstance()->postNotification(pagenotify::kMessageCountChanged);
    EXPECT_EQ(w.messageCount(), 2);

    // Another account's badge counts its own messages from the switch on,
    // whatever its list request does; back again, the first one's.
    auto other = std::make_shared<Account>();
    other->customerNumber = QStringLiteral("020100000003");
    accounts->addActiveAccount(other);
    NotificationCenter::getInstance()->postNotification(
        sessionnotify::kLoginSucceeded, QVariant::fromValue(other));
    ASSERT_EQ(w.selectedAccountIndex(), 1);
    EXPECT_EQ(w.messageCount(), 0);
    w.messageCenterList(nullptr, QString(), CSError());
    EXPECT_EQ(w.messageCount(), 0);
    w.acitiveAccountChanged(0);
    EXPECT_EQ(w.messageCount(), 2);
}

TEST_F(MainWindowControllerTest, AMenuOfAnyDepthIsShownSelectedChangedAndJumpedTo)
{
    // Groups nested far deeper than the small stack below allows one call a
    // level (16 bytes at least), with buy and sell at the bottom.
    constexpr int kDepth = 40000;
    menus->setMenuInfo(std::make_shared<RDOMenuManager>(deepTradingMenu(kDepth)));
    login({ "010100000001" });
    Posts posts;

    runOnSmallStack(512 * 1024, [&] {
        MainWindowController& w = open();
        MainWindowOutlineModel model;
        model.setNodes(w.treeContent());

        // Down the outline to the deepest entry and back to its path.
        QModelIndex at;
        for (int level = 0; level <= kDepth; ++level) {
            ASSERT_EQ(model.rowCount(at), level == kDepth ? 2 : 1) << level;
            at = model.index(0, 0, at);
        }
        EXPECT_EQ(at.data().toString(), QStringLiteral("买入"));
        const Path buy = model.indexPath(at);
        ASSERT_EQ(buy.size(), kDepth + 1);
        EXPECT_EQ(model.indexOfPath(buy), at);
        EXPECT_EQ(model.parent(at).data().toString(), QStringLiteral("第%1层").arg(kDepth - 1));

        w.outlineViewSelectionDidChange(buy);
        EXPECT_EQ(pageTitle(), QStringLiteral("买入"));
        // A menu change finds the page's entry again.
        NotificationCenter::getInstance()->postNotification(pagenotify::kMenuChanged);
        EXPECT_EQ(pageTitle(), QStringLiteral("买入"));
        EXPECT_EQ(w.selectedMenuItemIndex(), buy);
        model.setNodes(w.treeContent());

        // Sell, then buy again, from a position.
        Path sell = buy;
        sell.back() = 1;
        const QVariantMap position { { QString::fromLatin1(pagenotify::kPositionDetailKey),
            QVariantMap { { QStringLiteral("marketCode"), 1 } } } };
        const std::pair<int32_t, Path> jumps[]
            = { { pagenotify::kSellPosition, sell }, { pagenotify::kBuyPosition, buy } };
        for (const auto& [type, path] : jumps) {
            const int before = posts.count(pagenotify::kFillTradePage);
            NotificationCenter::getInstance()->postNotificationName(type, QVariant(), position);
            ASSERT_TRUE(
                testsupport::spinUntil([&] { return posts.count(pagenotify::kFillTradePage) > before; }));
            EXPECT_EQ(w.selectedMenuItemIndex(), path);
            EXPECT_EQ(model.nodeAt(model.indexOfPath(path))->nodeTitle, pageTitle());
        }

        // A window shows the upper levels only.
        model.setShownDepth(3);
        model.setNodes(w.treeContent());
        const QModelIndex third = model.index(0, 0, model.index(0, 0, model.index(0, 0)));
        EXPECT_TRUE(third.isValid());
        EXPECT_EQ(model.rowCount(third), 0);
        EXPECT_FALSE(model.indexOfPath(buy).isValid());
    });
}

TEST_F(MainWindowControllerTest, AMenuRepeatingIdsOnEveryLevelIsShownWithinBoundsAndJumpedTo)
{
    // Two groups of one id on each level, each under both groups above:
    // opened under every parent, the outline would double at each level.
    constexpr int kLevels = 40;
    menus->setMenuInfo(std::make_shared<RDOMenuManager>(deepTradingMenu(kLevels, 2)));
    // The stored menu is the flat list, read back to the same links.
    EXPECT_LT(QFileInfo(menus->menuLocalPath()).size(), 64 * 1024);
    MenuManager reloaded;
    ASSERT_TRUE(reloaded.getMenuInfoFromLocal(reloaded.menuLocalPath()));
    EXPECT_EQ(reloaded.getTradeMenuInfo(QStringLiteral("我的交易"))->childArray.size(), 2u);
    login({ "010100000001" });
    Posts posts;
    MainWindowController& w = open();
    MainWindowOutlineModel model;
    model.setNodes(w.treeContent());

    // The first entries go all the way down; the outline stops growing
    // near the budget.
    QModelIndex at;
    for (int level = 0; level <= kLevels; ++level) {
        ASSERT_EQ(model.rowCount(at), 2) << level;
        at = model.index(0, 0, at);
    }
    EXPECT_EQ(at.data().toString(), QStringLiteral("买入"));
    std::size_t entries = 0;
    for (const BaseNode::Ptr& top : w.treeContent())
        entries += 1 + top->descendants().size();
    EXPECT_GE(entries, kMenuPlacementBudget);
    EXPECT_LT(entries, kMenuPlacementBudget + 1000);

    // A jump from a position finds its entry.
    Path sell(kLevels + 1, 0);
    sell.back() = 1;
    const QVariantMap position { { QString::fromLatin1(pagenotify::kPositionDetailKey),
        QVariantMap { { QStringLiteral("marketCode"), 1 } } } };
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kSellPosition, QVariant(), position);
    ASSERT_TRUE(testsupport::spinUntil([&] { return posts.count(pagenotify::kFillTradePage) > 0; }));
    EXPECT_EQ(pageTitle(), QStringLiteral("卖出"));
    EXPECT_EQ(w.selectedMenuItemIndex(), sell);
}

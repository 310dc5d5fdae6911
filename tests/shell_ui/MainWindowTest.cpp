// The main window against the in-process simulator: a real trade login, the
// served menu in the outline, a page or the not-supported message from a
// click, the index ticker, the add-account panel, and the lock.
#include "shell/ui/MainWindow.h"

#include "compliance/ui/RiskGateWindows.h"
#include "quotes/QuoteTestRig.h"
#include "session/WindowController.h"
#include "session/ui/IdleInputFilter.h"
#include "session/ui/SessionWindows.h"
#include "shell/DeepMenu.h"
#include "shell/MainWindowRig.h"
#include "shell/SessionTestRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/MessageCenterWindow.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/UserSettingWindow.h"
#include "shell/ui/menueditor/MenuEditorWindow.h"
#include "shell/ui/pages/AccountPageViews.h"
#include "shell/ui/statusbar/BottomInfoView.h"
#include "shell/windows/LoginViewController.h"
#include "shell/windows/SessionNotifications.h"
#include "support_gui/ModalGuard.h"
#include "support_gui/OverTheLock.h"
#include "tools/broker-sim/LoginFunctions.h"
#include "tools/broker-sim/MessageFunctions.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace windowtest;
using testsupport::spinUntil;

namespace {

QMessageBox* openBox()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            return box;
    return nullptr;
}

template <class W> bool madeIn(MainWindow* window)
{
    return !window->findChildren<W*>().isEmpty();
}

// A stand-in for the query pages of the trading library.
class FundsPage final : public MenuItemViewController {
public:
    using MenuItemViewController::MenuItemViewController;
};

class MainWindowTest : public MainWindowRig {
protected:
    void SetUp() override
    {
        MarketFixture::SetUp();
        registerShellDataModels();
        StartUp().run();
        startTradeServer();
        for (const char* name : { "AssetQueryViewController", "CommonQueryViewController" })
            MenuItemViewManager::getInstance()->registerPageClass(QString::fromLatin1(name),
                [](const BaseNode::Ptr& node) { return std::make_unique<FundsPage>(node); });
    }
    void TearDown() override
    {
        closeWindows();
        resetShell();
        serverManager.reset();
        MarketFixture::TearDown();
    }
    // What the session flow opens as its main window: the rig's, whose lock
    // asks `session` whether its gate would end the session instead.
    std::function<ui::Window*()> sessionWindow(const std::unique_ptr<WindowController>& session)
    {
        return [this, &session] {
            MainWindowServices services = windowServices();
            services.screenLock.lockEndsTheSession
                = [&session] { return session && session->lockEndsTheSession(); };
            window = new MainWindow(services);
            return window.data();
        };
    }
};

} // namespace

TEST_F(MainWindowTest, LoginOutlinePagesAndTicker)
{
    logInThroughTheForm();
    fetchMenu();
    int resets = 0;
    QObject counter;
    NotificationCenter::getInstance()->addObserver(
        &counter, TypedNotificationCenter::PlainHandler([&] { ++resets; }), sessionnotify::kResetLockTimer);
    openWindow();
    EXPECT_EQ(resets, 1); // the idle lock starts with the window

    // The outline holds the served trading menu, without the Stock Connect group.
    MainWindowController& controller = window->controller();
    EXPECT_EQ(controller.menuTitles().back(), QStringLiteral("我的交易"));
    ASSERT_FALSE(controller.treeContent().empty());
    EXPECT_FALSE(rowTitled(QStringLiteral("沪港通")).isValid());
    EXPECT_EQ(findNodeWithLinkId(controller.treeContent(), 90000), nullptr);
    auto* accounts = window->findChild<QComboBox*>(QStringLiteral("activedAccountsButton"));
    ASSERT_EQ(accounts->count(), 1);
    EXPECT_TRUE(accounts->itemText(0).contains(QStringLiteral("张三")));

    // A click on the funds entry opens its page in the page area.
    const BaseNode::Ptr funds = findNodeWithLinkId(controller.treeContent(), 10003);
    ASSERT_TRUE(funds);
    const QModelIndex fundsRow = rowTitled(funds->nodeTitle);
    ASSERT_TRUE(fundsRow.isValid());
    window->outlineView()->setCurrentIndex(fundsRow);
    ASSERT_TRUE(window->currentPageView());
    const QString fundsClass = MenuItemViewManager::pageClassName(funds->nodeLinkType, funds->nodeLinkId);
    EXPECT_EQ(window->currentPageView()->objectName(), fundsClass);
    EXPECT_EQ(
        window->currentPageView()->findChild<QLabel*>(QStringLiteral("pageTitle"))->text(), funds->nodeTitle);

    // An entry of a page this build lacks: the message, and the page stays.
    const BaseNode::Ptr buy = findNodeWithLinkId(controller.treeContent(), 10000);
    ASSERT_TRUE(buy);
    window->outlineView()->setCurrentIndex(rowTitled(buy->nodeTitle));
    ASSERT_TRUE(spinUntil([] { return openBox() != nullptr; }));
    EXPECT_EQ(openBox()->informativeText(), QString::fromUtf8(MenuItemViewManager::kNotSupportedMessage));
    openBox()->done(0);
    EXPECT_EQ(window->currentPageView()->objectName(), fundsClass);
    EXPECT_TRUE(spinUntil([&] { return window->outlineView()->currentIndex() == fundsRow; }));

    // The ticker shows the three indexes.
    auto* bottom = window->bottomInfoView();
    QLabel* lines[] = { bottom->findChild<QLabel*>("indexInfo1Text"),
        bottom->findChild<QLabel*>("indexInfo2Text"), bottom->findChild<QLabel*>("indexInfo3Text") };
    ASSERT_TRUE(spinUntil([&] { return !lines[2]->text().isEmpty(); }, 10s));
    EXPECT_TRUE(lines[0]->text().startsWith(QStringLiteral("上证指数")));
    EXPECT_TRUE(lines[1]->text().startsWith(QStringLiteral("深证成指")));
    EXPECT_TRUE(lines[2]->text().startsWith(QStringLiteral("创业板指")));

    // The message poll ran at the start: the unread count on the badge.
    auto* badge = window->findChild<QToolButton*>(QStringLiteral("messageNotification"));
    ASSERT_TRUE(spinUntil([&] { return badge->isVisible(); }, 10s));
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("messageCount"))->text(),
        QString::number(window->controller().messageCount()));
    EXPECT_GT(window->controller().messageCount(), 0);

    // The add-account panel runs modally over the window; closing it ends the run.
    bool wasModal = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (LoginPanel* panel = window->loginPanel()) {
            wasModal = panel->isRunningModal() && panel->parentWidget() == window;
            panel->close();
            poll.stop();
        }
    });
    poll.start(10);
    testsupport::ExpectModalDialogs answeredHere;
    window->controller().accountPButtonSelected(MainWindowController::kNewUserLogin);
    ASSERT_TRUE(spinUntil([&] { return !poll.isActive() && window->loginPanel() == nullptr; }));
    EXPECT_TRUE(wasModal);
}

TEST_F(MainWindowTest, TitleBarAccountsReadableAndTheHighlightFollowsThePageShown)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow();
    // The size the window takes on the 1280 x 800 screen it is made for
    // (the test's screen is smaller).
    window->resize(MainWindow::kDefaultSize);
    testsupport::spinFor(20ms);

    // The closed box shows the whole account line, kind included, also for
    // a branch with a long name.
    auto* accounts = window->findChild<QComboBox*>(QStringLiteral("activedAccountsButton"));
    ASSERT_EQ(accounts->count(), 1);
    EXPECT_TRUE(accounts->currentText().endsWith(QStringLiteral("普通交易登陆")));
    accounts->addItem(QStringLiteral("李四    0101****0002    上海浦东新区世纪大道第一营业部        普通交易登陆"));
    for (int item : { 0, 1 }) {
        accounts->setCurrentIndex(item);
        testsupport::spinFor(20ms);
        QStyleOptionComboBox option;
        option.initFrom(accounts);
        option.editable = false;
        const QRect field = accounts->style()->subControlRect(
            QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, accounts);
        EXPECT_GE(field.width(), accounts->fontMetrics().horizontalAdvance(accounts->currentText())) << item;
    }
    accounts->setCurrentIndex(0);

    // An entry of the open list that is not under the mouse is dark on light.
    accounts->showPopup();
    QAbstractItemView* list = accounts->view();
    ASSERT_TRUE(spinUntil([&] { return list->isVisible(); }));
    const QImage image = list->viewport()->grab().toImage();
    const QRect second = list->visualRect(list->model()->index(1, 0)) & image.rect();
    ASSERT_FALSE(second.isEmpty());
    // Text pixels stand out from the entry's ground, which is light.
    const int ground = qGray(image.pixel(second.left() + 1, second.center().y()));
    int text = 0;
    for (int y = second.top(); y <= second.bottom(); ++y)
        for (int x = second.left(); x <= second.right(); ++x)
            text += std::abs(qGray(image.pixel(x, y)) - ground) > 100 ? 1 : 0;
    EXPECT_GT(ground, 200);
    EXPECT_GT(text, 30) << "no readable text in the entry";
    accounts->hidePopup();

    // A refused entry (not supported; 退出交易 then 取消) leaves the
    // highlight on the entry whose page is shown, after a real click.
    const BaseNode::Ptr funds = findNodeWithLinkId(window->controller().treeContent(), 10003);
    const BaseNode::Ptr buy = findNodeWithLinkId(window->controller().treeContent(), 10000);
    const BaseNode::Ptr exit = findNodeWithLinkId(window->controller().treeContent(), 60004);
    ASSERT_TRUE(funds && buy && exit);
    QWidget* page = clickEntry(funds->nodeTitle);
    ASSERT_TRUE(page);
    const QModelIndex fundsRow = rowTitled(funds->nodeTitle);
    for (const BaseNode::Ptr& refused : { buy, exit }) {
        SCOPED_TRACE(refused->nodeTitle.toStdString());
        clickEntry(refused->nodeTitle);
        ASSERT_TRUE(spinUntil([] { return openBox() != nullptr; }));
        QMessageBox* box = openBox();
        QAbstractButton* cancel = box->buttons().size() > 1 ? box->buttons()[1] : box->buttons()[0];
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("取消"))
                cancel = b;
        QTest::mouseClick(cancel, Qt::LeftButton);
        ASSERT_TRUE(spinUntil([] { return openBox() == nullptr; }));
        testsupport::spinFor(20ms);
        EXPECT_EQ(window->currentPageView(), page);
        EXPECT_EQ(window->outlineView()->currentIndex(), fundsRow);
        EXPECT_EQ(window->outlineView()->selectionModel()->selectedIndexes(), QModelIndexList { fundsRow });
    }
    EXPECT_TRUE(window->isVisible());
}

// An arrow key over the closed account box opens its list and switches
// nobody; the account chosen in the list becomes the active one.
TEST_F(MainWindowTest, ArrowKeysOverTheAccountBoxOpenItsListAndSwitchNobody)
{
    logInThroughTheForm();
    logInThroughTheForm(QStringLiteral("010200000002"), QStringLiteral("222222"));
    AccountManager::getInstance()->setActiveLoginAccount(0);
    fetchMenu();
    openWindow();
    auto* accounts = window->findChild<QComboBox*>(QStringLiteral("activedAccountsButton"));
    ASSERT_EQ(accounts->count(), 2);
    accounts->setFocus();
    QTest::keyClick(accounts, Qt::Key_Down);
    EXPECT_TRUE(accounts->view()->isVisible());
    EXPECT_EQ(AccountManager::getInstance()->activeAccountIndex(), 0);
    QTest::keyClick(accounts->view(), Qt::Key_Down);
    QTest::keyClick(accounts->view(), Qt::Key_Return);
    EXPECT_EQ(AccountManager::getInstance()->activeAccountIndex(), 1);
}

TEST_F(MainWindowTest, AJumpToTheTradingPageMovesTheHighlightWithThePage)
{
    logInThroughTheForm();
    fetchMenu();
    // The buy entry opens a stand-in page here.
    MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("TradeViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<FundsPage>(node); });
    openWindow();
    const BaseNode::Ptr funds = findNodeWithLinkId(window->controller().treeContent(), 10003);
    const BaseNode::Ptr buy = findNodeWithLinkId(window->controller().treeContent(), 10000);
    ASSERT_TRUE(funds && buy);
    QPointer<QWidget> fundsPage = clickEntry(funds->nodeTitle);
    ASSERT_TRUE(fundsPage);

    // A page asks to buy a position: when the buy page is filled, the
    // customer already sees its entry highlighted, not the asking page's.
    QModelIndex highlightedAtFill;
    QPointer<QWidget> pageAtFill;
    QObject observer;
    NotificationCenter::getInstance()->addObserver(&observer,
        TypedNotificationCenter::PlainHandler([&] {
            highlightedAtFill = window->outlineView()->currentIndex();
            pageAtFill = window->currentPageView();
        }),
        pagenotify::kFillTradePage);
    const QVariantMap position { { QString::fromLatin1(pagenotify::kPositionDetailKey),
        QVariantMap { { QStringLiteral("marketCode"), 1 },
            { QStringLiteral("stkcode"), QStringLiteral("600000") } } } };
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kBuyPosition, QVariant(), position);
    ASSERT_TRUE(spinUntil([&] { return !pageAtFill.isNull(); }));
    EXPECT_TRUE(fundsPage.isNull());
    const QModelIndex buyRow = rowTitled(buy->nodeTitle);
    EXPECT_EQ(highlightedAtFill, buyRow);
    EXPECT_EQ(window->outlineView()->selectionModel()->selectedIndexes(), QModelIndexList { buyRow });

    // The entry of the asking page opens it again at once.
    QWidget* again = clickEntry(funds->nodeTitle);
    ASSERT_TRUE(again);
    EXPECT_TRUE(pageAtFill.isNull());
    EXPECT_EQ(again->findChild<QLabel*>(QStringLiteral("pageTitle"))->text(), funds->nodeTitle);
    EXPECT_EQ(window->outlineView()->currentIndex(), rowTitled(funds->nodeTitle));
}

TEST_F(MainWindowTest, LockHidesEveryWindowAndUnlockRestoresThem)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow();
    // Never taller than the screen's usable height, its frame included.
    EXPECT_LE(window->height(), window->screen()->availableGeometry().height());
    EXPECT_TRUE(window->screen()->availableGeometry().contains(window->frameGeometry()))
        << qPrintable(QDebug::toString(window->frameGeometry()));
    window->setGeometry(40, 50, 1200, 760);
    testsupport::spinFor(std::chrono::milliseconds(50));
    const QRect before = window->geometry();

    // The cover while the session asks for the risk status.
    window->lockWindow(true);
    window->lockWindow(true);
    EXPECT_EQ(window->findChildren<LockScreenWindow*>().size(), 1);
    window->lockWindow(false);
    ASSERT_TRUE(spinUntil([&] { return !window->isCovered(); }));

    auto* other = new ui::Window();
    other->setObjectName(QStringLiteral("lastLogin"));
    other->show();
    window->controller().editButtonClicked();
    ASSERT_TRUE(window->menuEditor());
    QPointer<MenuEditorWindow> editor = window->menuEditor();
    // Each press makes a new editor, centred on the screen, not over the window.
    window->controller().editButtonClicked();
    QPointer<MenuEditorWindow> second = window->menuEditor();
    ASSERT_TRUE(second);
    EXPECT_NE(second.data(), editor.data());
    EXPECT_TRUE(editor->isVisible());
    const QPoint screenCentre = second->screen()->availableGeometry().center();
    EXPECT_LE((second->frameGeometry().center() - screenCentre).manhattanLength(), 2);

    window->findChild<QToolButton*>(QStringLiteral("lockScreenButton"))->click();
    // The child windows close, every editor among them.
    ASSERT_TRUE(spinUntil([&] { return editor.isNull() && second.isNull(); }));
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(other->isVisible());
    EXPECT_TRUE(window->windowIsLocked());
    ASSERT_TRUE(window->screenLocker().unlockWindow());
    EXPECT_TRUE(window->screenLocker().unlockWindow()->isVisible());

    NotificationCenter::getInstance()->postNotification(
        sessionnotify::kUnlockResult, QVariant(qulonglong(1)));
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(other->isVisible());
    EXPECT_EQ(window->geometry(), before);
    other->close();
}

// Turning account protection off asks for the trade password in an unlock
// window run as a check. The lock closes that check as cancelled, which is
// no answer to the lock's own unlock window: nobody is logged out and the
// screen stays locked; after the unlock the settings work as before.
// A window that opens partly below or right of the screen's usable area
// moves up and left into it, its frame included; one opening above or
// left of it moves down and right.
TEST_F(MainWindowTest, AWindowOpeningPartlyOffTheScreenMovesOntoIt)
{
    logInThroughTheForm();
    fetchMenu();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint places[] = { { screen.left() + 10, screen.bottom() - 120 },
        { screen.right() - 150, screen.top() + 10 }, { screen.left() - 80, screen.top() - 60 } };
    for (const QPoint& at : places) {
        SCOPED_TRACE(qPrintable(QDebug::toString(at)));
        QPointer<MainWindow> low = new MainWindow(windowServices());
        low->resize(600, 400);
        low->move(at);
        low->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(low));
        EXPECT_TRUE(spinUntil([&] { return screen.contains(low->frameGeometry()); }))
            << qPrintable(QDebug::toString(low->frameGeometry()));
        EXPECT_EQ(low->size(), QSize(600, 400));
        low->close();
        delete low.data();
    }
}

// A click that reaches the hidden window under the lock opens none of its
// child windows: none is made, and nothing it would read as it opens (the add
// account form's captcha, the first message's body) is sent from the locked
// screen.
TEST_F(MainWindowTest, NoChildWindowIsMadeUnderTheLock)
{
    logInThroughTheForm();
    openWindow();
    installAccountWindows(*window);
    ASSERT_TRUE(spinUntil([&] { return window->controller().messageCount() > 0; }, 10s));
    struct Row {
        const char* name;
        std::function<void(MainWindowController&)> click;
        std::function<bool(MainWindow*)> made;
        brokersim::Function read; // sent as it opens; {0, 0}: none
    };
    const Row rows[] = {
        { "新用户登录",
            [](MainWindowController& c) { c.accountPButtonSelected(MainWindowController::kNewUserLogin); },
            madeIn<LoginPanel>, brokersim::kCaptchaFunction },
        { "消息中心", &MainWindowController::messageCenterButtonClicked, madeIn<MessageCenterWindow>,
            brokersim::kMessageDetailFunction },
        { "用户设置", &MainWindowController::userSettingButtonClicked, madeIn<UserSettingWindow>, {} },
        { "自定义菜单", &MainWindowController::editButtonClicked, madeIn<MenuEditorWindow>, {} },
    };
    ScreenLocker& locker = window->screenLocker();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const qsizetype reads = row.read.main ? receivedOf(row.read).size() : 0;
        NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
        ASSERT_TRUE(locker.controller().isLocked());
        row.click(window->controller());
        testsupport::spinFor(50ms);
        EXPECT_FALSE(row.made(window));
        if (row.read.main)
            EXPECT_EQ(receivedOf(row.read).size(), reads);
        testsupport::endTheLock(locker, true);
        ASSERT_TRUE(spinUntil([&] { return !locker.controller().isLocked() && window->isVisible(); }));
    }
}

TEST_F(MainWindowTest, ALockClosingTheSettingsCheckLogsNobodyOut)
{
    logInThroughTheForm();
    openWindow();
    installAccountWindows(*window);
    UserDefaultConfig::getInstance()->setAccountProtectOption(true);
    ScreenLocker& locker = window->screenLocker();
    const auto check = [&]() -> UnlockScreenWindow* {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* unlock = qobject_cast<UnlockScreenWindow*>(w);
                unlock && unlock->isVisible() && unlock != locker.unlockWindow())
                return unlock;
        return nullptr;
    };
    const auto shownSettings = [&]() -> UserSettingWindow* {
        for (UserSettingWindow* settings : window->findChildren<UserSettingWindow*>())
            if (settings->isVisible())
                return settings;
        return nullptr;
    };
    // Chooses 关 in a newly opened settings window while `duringCheck` runs in the check.
    const auto switchOff = [&](const std::function<void()>& duringCheck) {
        window->findChild<QToolButton*>(QStringLiteral("userSettingButton"))->click();
        UserSettingWindow* settings = shownSettings();
        QPointer<QComboBox> protect
            = settings ? settings->findChild<QComboBox*>(QStringLiteral("protectOptionPButton")) : nullptr;
        if (!protect)
            return protect;
        EXPECT_EQ(protect->currentText(), QStringLiteral("开"));
        // The arrow opens the list; the choice is made in it.
        protect->setFocus();
        QTest::keyClick(protect, Qt::Key_Up);
        EXPECT_TRUE(protect->view()->isVisible());
        EXPECT_FALSE(check());
        QTest::keyClick(protect->view(), Qt::Key_Up);
        QTimer::singleShot(0, settings, duringCheck);
        QTest::keyClick(protect->view(), Qt::Key_Return);
        return protect;
    };
    testsupport::ExpectModalDialogs checksAnsweredHere;

    bool checkShown = false;
    switchOff([&] {
        checkShown = check() != nullptr;
        NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
    });
    EXPECT_TRUE(checkShown);
    EXPECT_TRUE(locker.controller().isLocked());
    EXPECT_FALSE(AccountManager::getInstance()->loginAccounts().empty());
    ASSERT_TRUE(locker.unlockWindow());
    EXPECT_TRUE(locker.unlockWindow()->isVisible());
    EXPECT_FALSE(check());
    EXPECT_TRUE(UserDefaultConfig::getInstance()->accountProtectOption());

    locker.unlockWindow()->controller().identifyLogin(nullptr, QString(), RDOAccount());
    ASSERT_TRUE(spinUntil([&] { return !locker.controller().isLocked() && window->isVisible(); }));
    const QPointer<QComboBox> protect = switchOff([&] {
        if (UnlockScreenWindow* open = check())
            open->controller().identifyLogin(nullptr, QString(), RDOAccount());
    });
    ASSERT_TRUE(protect);
    EXPECT_EQ(protect->currentText(), QStringLiteral("关"));
    shownSettings()->findChild<QPushButton*>(QStringLiteral("applyButton"))->click();
    EXPECT_FALSE(UserDefaultConfig::getInstance()->accountProtectOption());
    EXPECT_FALSE(AccountManager::getInstance()->loginAccounts().empty());
}

TEST_F(MainWindowTest, LockDuringAFurtherLoginsRiskNoticeLogsOutOnceWithoutAnUnlockWindow)
{
    logInThroughTheForm();
    fetchMenu();
    const AccountManager::AccountPtr account = AccountManager::getInstance()->loginAccounts().front();
    // Whether the session flow exists before the main window (as in the
    // application, where it opens it) or after: the lock's observers run in
    // the other order, and the outcome must not depend on it.
    for (const bool sessionFirst : { true, false }) {
        SCOPED_TRACE(sessionFirst ? "session first" : "window first");
        if (AccountManager::getInstance()->loginAccounts().empty())
            AccountManager::getInstance()->addActiveAccount(account);
        sessiontest::FakeClock clock;
        sessiontest::ScriptedServer server;
        sessiontest::FakeWindows windows;
        sessiontest::FakeRiskWindows riskWindows;
        IQueryRiskAssessmentStatusDelegate* statusObserver = nullptr;
        std::unique_ptr<WindowController> session;
        WidgetMainWindowOpener opener(sessionWindow(session));
        const auto startSession = [&] {
            session = std::make_unique<WindowController>(
                sessiontest::sessionServices(windows, opener, riskWindows, server, clock, statusObserver));
        };
        const auto riskStatus = [&](qint32 value) {
            ASSERT_NE(statusObserver, nullptr);
            RDORiskAssessmentStatus status;
            status.status = value;
            statusObserver->queryRiskAssessmentStatus(nullptr, QString(), status);
            testsupport::spinFor(20ms);
        };
        NotificationCenter* centre = NotificationCenter::getInstance();
        if (sessionFirst) {
            startSession();
            centre->postNotification(sessionnotify::kLoginSucceeded, QVariant::fromValue(account));
            riskStatus(0);
        } else {
            opener.open({});
            startSession();
        }
        ASSERT_TRUE(opener.isOpen());
        QPointer<MainWindow> main = window;

        // A further account logs in from the main window; its risk notice shows.
        statusObserver = nullptr;
        centre->postNotification(sessionnotify::kLoginSucceeded, QVariant::fromValue(account));
        riskStatus(2);
        ASSERT_TRUE(session->isDoingRiskEvaluation());
        auto* other = new ui::Window();
        other->setAttribute(Qt::WA_DeleteOnClose);
        other->show();

        int unlockResults = 0, logoutPosts = 0;
        QObject counter;
        centre->addObserver(&counter, TypedNotificationCenter::PlainHandler([&] { ++unlockResults; }),
            sessionnotify::kUnlockResult);
        centre->addObserver(
            &counter, TypedNotificationCenter::PlainHandler([&] { ++logoutPosts; }), sessionnotify::kLogout);
        windows.log.clear();
        centre->postNotification(sessionnotify::kLockScreen);
        const auto unlockWindowShown = [] {
            const QWidgetList all = QApplication::topLevelWidgets();
            return std::any_of(all.begin(), all.end(),
                [](QWidget* w) { return qobject_cast<UnlockScreenWindow*>(w) && w->isVisible(); });
        };
        EXPECT_FALSE(unlockWindowShown());
        testsupport::spinFor(20ms);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        testsupport::spinFor(20ms);

        // Not passed: every account out, the main window closed, back to the
        // login window once; the screen is not locked behind it.
        EXPECT_TRUE(riskWindows.noticeClosed);
        EXPECT_FALSE(session->isDoingRiskEvaluation());
        EXPECT_TRUE(AccountManager::getInstance()->loginAccounts().empty());
        EXPECT_FALSE(opener.isOpen());
        EXPECT_TRUE(main.isNull());
        EXPECT_TRUE(windows.loginWindow);
        EXPECT_EQ(windows.log.count("closeLastLogin"), 1); // one logout
        EXPECT_EQ(logoutPosts, 0);
        EXPECT_EQ(unlockResults, 0);
        EXPECT_FALSE(unlockWindowShown());
        EXPECT_TRUE(other->isVisible());
        other->close();
        session.reset();
    }
}

namespace {

// A stand-in for the buy page's widget: the code and price fields, a field
// of each kind the wheel could step, and a minimum size larger than any
// screen.
class LargeFormView final : public MenuItemView {
public:
    static constexpr QSize kMinimum { 2600, 1900 };
    LargeFormView(MenuItemViewController& controller, QWidget* parent)
        : MenuItemView(controller, parent)
    {
        auto* layout = new QVBoxLayout(this);
        for (const char* name : { "stockCodeText", "priceText" }) {
            auto* field = new QLineEdit(this);
            field->setObjectName(QLatin1String(name));
            layout->addWidget(field);
        }
        auto* combo = new QComboBox(this);
        for (int day = 1; day <= 26; ++day)
            combo->addItem(QStringLiteral("每月%1号").arg(day));
        auto* date = new QDateEdit(QDate(2026, 12, 9), this);
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        auto* spin = new QSpinBox(this);
        spin->setValue(5);
        auto* doubleSpin = new QDoubleSpinBox(this);
        doubleSpin->setValue(5);
        auto* segments = new QTabBar(this);
        segments->addTab(QStringLiteral("行情"));
        segments->addTab(QStringLiteral("交易"));
        const std::pair<QWidget*, const char*> fields[] = { { combo, "comboField" }, { date, "dateField" },
            { spin, "spinField" }, { doubleSpin, "doubleSpinField" }, { segments, "segmentsField" } };
        for (const auto& [field, name] : fields) {
            field->setObjectName(QLatin1String(name));
            layout->addWidget(field);
        }
        // A list that scrolls by itself, a pop-up in its last row.
        auto* list = new QListWidget(this);
        list->setObjectName(QStringLiteral("innerList"));
        for (int row = 1; row <= 30; ++row)
            list->addItem(QStringLiteral("第%1行").arg(row));
        auto* inList = new QComboBox;
        inList->setObjectName(QStringLiteral("listComboField"));
        inList->addItems({ QStringLiteral("买入"), QStringLiteral("卖出") });
        list->setItemWidget(list->item(list->count() - 1), inList);
        list->setFixedHeight(120);
        layout->addWidget(list);
        layout->addStretch(1);
        setMinimumSize(kMinimum);
    }
};

// The buy entry opens the stand-in for as long as it lives.
struct LargeBuyPage {
    LargeBuyPage()
    {
        MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("TradeViewController"),
            [](const BaseNode::Ptr& node) { return std::make_unique<FundsPage>(node); });
        MenuItemViewCatalogue::shared().registerView(QStringLiteral("TradeViewController"),
            [](MenuItemViewController& c, QWidget* parent) { return new LargeFormView(c, parent); });
    }
    ~LargeBuyPage()
    {
        MenuItemViewCatalogue::shared().registerView(
            QStringLiteral("TradeViewController"), [](MenuItemViewController&, QWidget*) { return nullptr; });
    }
};

} // namespace

namespace {

template <class W> W* shownTopLevel(const char* name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<W*>(w);
            found && found->isVisible() && w->objectName() == QLatin1String(name))
            return found;
    return nullptr;
}

} // namespace

// 账户 › 新用户登录 from a main window open on 买入 for 张三, for 李四, whose
// evaluation has expired (status 1), with the session flow, the simulator's
// status and the gate's own windows. 稍后重新评估 keeps the main window and
// both accounts. The screen lock while the notice is up (the idle lock, after
// one to two of its intervals without input: ten seconds by default) turns
// 李四 away alone: 张三 stays logged in and active behind the locked screen.
TEST_F(MainWindowTest, AFurtherLoginsNoticeEndsWithoutTouchingTheSession)
{
    fetchMenu();
    LargeBuyPage standIn;
    AccountManager* accounts = AccountManager::getInstance();
    for (const bool locked : { false, true }) {
        SCOPED_TRACE(locked ? "locked while the notice is up" : "稍后重新评估");
        accounts->logoutAllAccount();
        sessiontest::FakeClock clock;
        sessiontest::ScriptedServer server;
        sessiontest::FakeWindows windows;
        RiskGateWindows riskWindows([]() -> QWidget* { return nullptr; });
        std::unique_ptr<WindowController> session;
        WidgetMainWindowOpener opener(sessionWindow(session));
        session = std::make_unique<WindowController>(
            sessiontest::sessionServices(windows, opener, riskWindows, server, clock));
        logInThroughTheForm();
        ASSERT_TRUE(spinUntil([&] { return opener.isOpen(); }, 10s));
        ASSERT_TRUE(clickEntryOfPage(10000));

        testsupport::ExpectModalDialogs panelAnsweredHere;
        bool typed = false;
        QTimer customer;
        customer.setInterval(10);
        QObject::connect(&customer, &QTimer::timeout, [&] {
            auto* panel = shownTopLevel<LoginPanel>("loginPanel");
            auto* image = panel ? panel->findChild<QPushButton*>("identifyingCodeImage") : nullptr;
            if (typed || !image || image->icon().isNull())
                return;
            typed = true;
            QTest::keyClicks(panel->findChild<QComboBox*>("accountText")->lineEdit(), "010200000002");
            QTest::keyClicks(panel->findChild<QLineEdit*>("passwordText"), "222222");
            QTest::keyClicks(panel->findChild<QLineEdit*>("identifyingCodeText"), broker().lastCaptchaCode());
            panel->findChild<QPushButton*>("loginButton")->click();
        });
        customer.start();
        window->controller().accountPButtonSelected(MainWindowController::kNewUserLogin);
        QWidget* notice = nullptr;
        ASSERT_TRUE(spinUntil(
            [&] { return (notice = shownTopLevel<QWidget>("businessContractWindow")) != nullptr; }, 20s));
        customer.stop();
        auto* later = notice->findChild<QPushButton*>("cancelButton");
        ASSERT_TRUE(later && later->isVisible());
        EXPECT_EQ(later->text(), QStringLiteral("稍后重新评估"));
        ASSERT_EQ(accounts->loginAccounts().size(), 2u);
        windows.log.clear();
        if (locked)
            NotificationCenter::getInstance()->postNotification(sessionnotify::kLockScreen);
        else
            QTest::mouseClick(later, Qt::LeftButton);
        testsupport::spinFor(50ms);

        EXPECT_TRUE(opener.isOpen());
        EXPECT_FALSE(windows.loginWindow);
        EXPECT_FALSE(windows.log.contains("closeMain")) << qPrintable(windows.log.join('|'));
        EXPECT_EQ(accounts->loginAccounts().size(), locked ? 1u : 2u);
        ASSERT_TRUE(accounts->getActiveLoginAccount());
        EXPECT_EQ(accounts->getActiveLoginAccount()->customerNumber,
            locked ? QStringLiteral("010100000001") : QStringLiteral("010200000002"));
        EXPECT_EQ(window && window->windowIsLocked(), locked);
        session.reset();
        opener.close();
    }
}

TEST_F(MainWindowTest, APageLargerThanTheScreenScrollsInsideTheWindow)
{
    logInThroughTheForm();
    fetchMenu();
    LargeBuyPage standIn;
    // A window smaller than the screen, as a customer may leave it.
    openWindow(QSize(700, 450));
    const QRect screen = window->screen()->availableGeometry();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    const QSize before = window->size();
    QWidget* page = clickEntryOfPage(10000);
    ASSERT_TRUE(page);
    // The status bar's index lines are in too: on a narrow screen they give
    // way as well.
    auto* lastIndex = window->bottomInfoView()->findChild<QLabel*>("indexInfo3Text");
    ASSERT_TRUE(spinUntil([&] { return !lastIndex->text().isEmpty(); }, 10s));
    testsupport::spinFor(50ms);

    EXPECT_EQ(window->size(), before);
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
    // The whole page is there, and the area scrolls to every part of it.
    EXPECT_GE(page->width(), LargeFormView::kMinimum.width());
    EXPECT_GE(page->height(), LargeFormView::kMinimum.height());
    QScrollArea* area = window->pageArea();
    EXPECT_TRUE(area->isAncestorOf(page));
    EXPECT_GT(area->verticalScrollBar()->maximum(), 0);
    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    EXPECT_LT(page->mapTo(area->viewport(), QPoint(0, 0)).y(), 0);
}

// Scrolling never changes a value: the wheel over a combo box or a date,
// focused or not, or over a spin box without the focus scrolls the page
// instead (a list it sits in first, until the list is at its end); once a
// spin box has the focus (a click or Tab gives it, the wheel never does) the
// wheel steps it.
TEST_F(MainWindowTest, TheWheelOverAFieldWithoutTheFocusScrollsThePage)
{
    logInThroughTheForm();
    logInThroughTheForm(QStringLiteral("010200000002"), QStringLiteral("222222"));
    AccountManager::getInstance()->setActiveLoginAccount(0);
    fetchMenu();
    LargeBuyPage standIn;
    openWindow(QSize(700, 450));
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* page = clickEntryOfPage(10000);
    ASSERT_TRUE(page);
    QScrollBar* bar = window->pageArea()->verticalScrollBar();
    QScrollBar* listBar = page->findChild<QListWidget*>("innerList")->verticalScrollBar();
    const auto shown = [](QWidget* field) {
        if (auto* segments = qobject_cast<QTabBar*>(field))
            return segments->tabText(segments->currentIndex());
        auto* combo = qobject_cast<QComboBox*>(field);
        return combo ? combo->currentText() : static_cast<QAbstractSpinBox*>(field)->text();
    };
    // Outside the page (the title bar's accounts, the menu box's menus) the
    // wheel changes nothing at all and goes on to the window under the field,
    // so the idle lock still hears it.
    int windowInputs = 0;
    IdleInputFilter heard([&] { ++windowInputs; });
    window->installEventFilter(&heard);
    enum class List { None, Top, End }; // where the list the field sits in is scrolled to
    const struct {
        const char* field;
        bool focused;
        bool steps = false; // the wheel changes the value
        bool inPage = true;
        List list = List::None;
    } rows[] = {
        { "comboField", false },
        { "dateField", false },
        { "spinField", false },
        { "doubleSpinField", false },
        { "comboField", true },
        { "dateField", true },
        { "segmentsField", false },
        { "segmentsField", true },
        { "spinField", true, true },
        { "doubleSpinField", true, true },
        { "activedAccountsButton", false, false, false },
        { "activedAccountsButton", true, false, false },
        { "itemSelectButton", false, false, false },
        { "itemSelectButton", true, false, false },
        { "listComboField", false, false, true, List::Top },
        { "listComboField", false, false, true, List::End },
        { "listComboField", true, false, true, List::End },
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(
            testing::Message() << r.field << (r.focused ? " focused" : "") << " list " << int(r.list));
        auto* field = window->findChild<QWidget*>(QLatin1String(r.field));
        ASSERT_TRUE(field);
        EXPECT_NE(field->focusPolicy(), Qt::WheelFocus);
        page->findChild<QLineEdit*>("stockCodeText")->setFocus();
        if (r.focused)
            field->setFocus(Qt::MouseFocusReason);
        ASSERT_EQ(field->hasFocus(), r.focused);
        bar->setValue(0);
        listBar->setValue(r.list == List::End ? listBar->maximum() : 0);
        const int listBefore = listBar->value();
        const QString before = shown(field);
        windowInputs = 0;
        const QPoint at = field->rect().center();
        QWheelEvent down(at, field->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
            Qt::NoScrollPhase, false);
        QApplication::sendEvent(field, &down);
        EXPECT_EQ(shown(field) != before, r.steps) << qPrintable(shown(field));
        EXPECT_EQ(listBar->value() != listBefore, r.list == List::Top) << listBar->value();
        EXPECT_EQ(bar->value() > 0, !r.steps && r.inPage && r.list != List::Top) << bar->value();
        EXPECT_EQ(AccountManager::getInstance()->activeAccountIndex(), 0);
        EXPECT_EQ(windowInputs, r.inPage ? 0 : 1);
    }
}

TEST_F(MainWindowTest, TabFromTheMenuGoesToThePagesFirstField)
{
    logInThroughTheForm();
    fetchMenu();
    LargeBuyPage standIn;
    openWindow();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    QWidget* page = clickEntryOfPage(10000);
    ASSERT_TRUE(page);
    ASSERT_TRUE(window->outlineView()->hasFocus());

    // The customer tabs from the menu and types the code: it lands in the
    // code field, and the next Tab goes on within the page.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* code = page->findChild<QLineEdit*>(QStringLiteral("stockCodeText"));
    ASSERT_TRUE(code->hasFocus()) << qPrintable(QApplication::focusWidget()->objectName());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("600000"));
    EXPECT_EQ(code->text(), QStringLiteral("600000"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_TRUE(page->findChild<QLineEdit*>(QStringLiteral("priceText"))->hasFocus());
    // And back again to the menu.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_TRUE(window->outlineView()->hasFocus());
}

TEST_F(MainWindowTest, AMenuDeeperThanTheOutlineShowsStillOpensItsPages)
{
    constexpr int kDepth = 40000;
    MenuManager::getInstance()->setMenuInfo(std::make_shared<RDOMenuManager>(shelltest::deepTradingMenu(kDepth)));
    MenuItemViewManager::getInstance()->registerPageClass(QStringLiteral("TradeViewController"),
        [](const BaseNode::Ptr& node) { return std::make_unique<FundsPage>(node); });
    openWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));

    // The outline shows the upper levels, open.
    QTreeView* outline = window->outlineView();
    QModelIndex at;
    for (int level = 1; level <= kShownMenuLevels; ++level) {
        at = outline->model()->index(0, 0, at);
        ASSERT_TRUE(at.isValid()) << level;
    }
    EXPECT_TRUE(outline->isExpanded(at.parent()));
    EXPECT_EQ(outline->model()->rowCount(at), 0);

    // A jump to the buy page at the bottom opens it.
    const QVariantMap position { { QString::fromLatin1(pagenotify::kPositionDetailKey),
        QVariantMap { { QStringLiteral("marketCode"), 1 } } } };
    NotificationCenter::getInstance()->postNotificationName(pagenotify::kBuyPosition, QVariant(), position);
    ASSERT_TRUE(spinUntil([&] { return window->currentPageView() != nullptr; }));
    EXPECT_EQ(window->controller().currentShow()->pageTitle(), QStringLiteral("买入"));
    EXPECT_EQ(window->controller().selectedMenuItemIndex()->size(), kDepth + 1);
    testsupport::spinFor(20ms);
    EXPECT_TRUE(window->isVisible());
}

// The outline scrolled to its end, by its scroll bar and by the End key, in
// windows of 1280x720 and 1600x1000 and of those screens at 144 dots per
// inch (853x480, 1067x667), with the menu bar the application adds: the
// last entry lies whole inside the outline.
TEST_F(MainWindowTest, TheOutlineScrolledToItsEndShowsTheLastEntryWhole)
{
    logInThroughTheForm();
    fetchMenu();
    for (const QSize size : { QSize(1240, 720), QSize(1600, 1000), QSize(853, 480), QSize(1067, 667) }) {
        for (const bool byKey : { false, true }) {
            SCOPED_TRACE(
                testing::Message() << size.width() << "x" << size.height() << (byKey ? " End" : " bar"));
            closeWindows();
            openWindow(size);
            auto* bar = new QMenuBar(window);
            bar->addMenu(QStringLiteral("链接"));
            window->layout()->setMenuBar(bar);
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            QTreeView* outline = window->outlineView();
            const QAbstractItemModel* model = outline->model();
            QModelIndex last = model->index(model->rowCount() - 1, 0);
            while (model->rowCount(last) > 0 && outline->isExpanded(last))
                last = model->index(model->rowCount(last) - 1, 0, last);
            if (byKey) {
                outline->setFocus();
                QTest::keyClick(outline, Qt::Key_End);
            } else {
                outline->verticalScrollBar()->setValue(outline->verticalScrollBar()->maximum());
            }
            QApplication::processEvents();
            ASSERT_GT(outline->verticalScrollBar()->maximum(), 0);
            const QRect row = outline->visualRect(last);
            EXPECT_TRUE(outline->viewport()->rect().contains(row))
                << "row " << row.top() << " to " << row.bottom() << " in " << outline->viewport()->height();
        }
    }
}

// The main window against the in-process simulator: a real trade login, the
// served menu in the outline, a page or the not-supported message from a
// click, the index ticker, the add-account panel, and the lock.
#include "shell/ui/MainWindow.h"

#include "quotes/QuoteTestRig.h"
#include "shell/StatusBarTestRig.h"
#include "shell/MainWindowRig.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/ui/LoginPanel.h"
#include "shell/ui/MenuItemView.h"
#include "shell/ui/UnlockScreenWindow.h"
#include "shell/ui/menueditor/MenuEditorWindow.h"
#include "shell/ui/statusbar/BottomInfoView.h"
#include "shell/windows/LoginViewController.h"
#include "shell/windows/SessionNotifications.h"
#include "trading/security/StockManager.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

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
    EXPECT_EQ(window->outlineView()->currentIndex(), fundsRow);

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
    window->controller().accountPButtonSelected(MainWindowController::kNewUserLogin);
    ASSERT_TRUE(spinUntil([&] { return !poll.isActive() && window->loginPanel() == nullptr; }));
    EXPECT_TRUE(wasModal);
}

TEST_F(MainWindowTest, LockHidesEveryWindowAndUnlockRestoresThem)
{
    logInThroughTheForm();
    fetchMenu();
    openWindow();
    // Never taller than the screen's usable height.
    EXPECT_LE(window->height(), window->screen()->availableGeometry().height());
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
    window->controller().editButtonClicked(); // one of a kind
    EXPECT_EQ(window->menuEditor(), editor.data());

    window->findChild<QToolButton*>(QStringLiteral("lockScreenButton"))->click();
    ASSERT_TRUE(spinUntil([&] { return editor.isNull(); })); // the child windows close
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

#pragma once

#include "shell/ShellDataModels.h"
#include "shell/menu/BaseNode.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/windows/AlertPresenter.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

class AccountManager;
class MenuItemViewManager;
class MenuManager;
class MessageCenterManager;
class NotificationCenter;
class UserDefaultConfig;
namespace platform {
struct Notification;
class RunLoopTimer;
} // namespace platform

// What MainWindowController works with; null ones are the shared instances.
struct MainWindowControllerServices {
    MenuManager* menuManager = nullptr;
    AccountManager* accountManager = nullptr;
    MenuItemViewManager* menuItemViewManager = nullptr;
    NotificationCenter* notificationCenter = nullptr;
    UserDefaultConfig* userDefaultConfig = nullptr;
    MessageCenterManager* messageCenterManager = nullptr;
    // Seconds between two polls of the message centre.
    double messagePollInterval = 60.0;
};

// The window of a logged-in session without its widgets: the menu titles
// and the outline of the chosen one, the page of the selected entry, the
// logged-in accounts and the switch between them, logging out one or every
// account, the message poll and its badge, and the jumps to the trading page
// for a position. The screen lock itself is ScreenLockController's (the
// view's ScreenLocker); at a lock this controller closes the child windows.
// Main thread only.
class MainWindowController final : public QObject, public IMessageCenterListDelegate {
    Q_OBJECT
public:
    using Services = MainWindowControllerServices;
    using IndexPath = QList<qsizetype>;

    static constexpr qint64 kBuyLinkId = 10000;
    static constexpr qint64 kSellLinkId = 10001;
    static constexpr qint64 kConnectBuyLinkId = 90000;
    static constexpr qint64 kConnectSellLinkId = 90001;
    static constexpr qint64 kConnectMarketCode = 5;
    static constexpr char kLogoutLastAccountText[] = "当前只有一个登录账户，注销此账户程序将返回登录界面。";
    // The items of the account pull-down.
    enum AccountItem { kAccountIcon = 0, kNewUserLogin = 1, kLogoutCurrentUser = 2 };

    // init: takes the services; registers nothing until awakeFromNib.
    explicit MainWindowController(Services services = Services(), QObject* parent = nullptr);
    ~MainWindowController() override; // dealloc

    // Message boxes over the main window; the view gives its own.
    void setAlertPresenter(AlertPresenter* alerts);

    // awakeFromNib: the dispatcher's window, the accounts, the observers,
    // the outline.
    void awakeFromNib();
    // windowDidLoad: type 18 (the idle lock starts), the message poll now and
    // every interval.
    void windowDidLoad();
    // windowWillClose: the poll stops, every observation ends, the child
    // windows close and the page is unloaded. Runs once.
    void windowWillClose();
    bool isClosed() const { return closed_; }

    // --- Menu and outline ---
    const QStringList& menuTitles() const { return menuTitles_; }
    const QString& selectedMenuTitle() const { return selectedMenuTitle_; }
    bool isEditButtonVisible() const;
    // functionButtonSelected: the outline of the title at that index.
    void functionButtonSelected(int index);
    // updateOutlineContents (type 7 as well): rebuilds from the current title.
    void updateOutlineContents();
    const BaseNode::List& treeContent() const { return treeContent_; }
    bool isBuildMenu() const { return isBuildMenu_; }
    // outlineView:shouldSelectItem: a node that is no group and has a title.
    static bool shouldSelectItem(const BaseNode& node);
    // findNode:linkId:
    static BaseNode::Ptr findNode(const BaseNode::Ptr& node, qint64 linkId);

    // --- Pages ---
    // outlineViewSelectionDidChange: the outline selected this node (by its
    // index path in treeContent). A node that opens no page leaves the page
    // and the remembered selection as they were; the view then selects
    // selectedMenuItemIndex again.
    void outlineViewSelectionDidChange(const IndexPath& indexPath);
    MenuItemViewController* currentShow() const { return currentShow_.get(); }
    const std::optional<IndexPath>& selectedMenuItemIndex() const { return selectedMenuItemIndex_; }
    BaseNode::Ptr nodeAt(const IndexPath& indexPath) const;

    // --- Accounts ---
    const QStringList& accountTitles() const { return accountTitles_; }
    qint64 selectedAccountIndex() const { return selectedAccountIndex_; }
    // acitiveAccountChanged: the account at that index becomes the active one.
    void acitiveAccountChanged(qint64 index);
    // accountPButtonSelected: 1 the add-account panel, 2 logout.
    void accountPButtonSelected(int item);
    void lockScreenButtonClicked();
    void editButtonClicked() { emit openMenuEditor(); }
    void userSettingButtonClicked() { emit openUserSettings(); }
    void messageCenterButtonClicked() { emit openMessageCenter(); }

    // --- Messages ---
    qint64 messageCount() const { return messageCount_; }
    // The badge's text: "" for none, "99+" above 99.
    static QString badgeText(qint64 count);
    // The badge's image: by the number of digits shown.
    static QString badgeImage(qint64 count);
    void refreshMessageCenterInfo();
    bool isMessagePollActive() const;
    void messageCenterList(DataModel* request, const QString& requestHandle,
        const std::vector<RDOMessageInfo>& messages) override;
    bool messageCenterList(DataModel* request, const QString& requestHandle, const CSError& error) override;

    // --- Notification handlers ---
    void loginSucceed(const platform::Notification& notification);
    void loginAccountChanged();
    void lockScreen();
    void updateMessageCenterCount();
    // switchToTradeBuy / switchToTradeSell (types 11 and 12): the jump runs
    // on a later pass of the run loop, after the asking page's handler.
    void switchToTradeLater(const QVariantMap& userInfo, bool buy);
    void switchToTrade(const QVariantMap& userInfo, bool buy);
    void appExit();
    void updateForAccountProtectOptionChange();

signals:
    // The view shows the titles, the outline and the selection again.
    void outlineChanged();
    // The page area shows currentShow (none: empty).
    void pageChanged();
    // The view selects selectedMenuItemIndex again (a node opened no page).
    // Emitted from inside the view's own click handling: the view acts on it
    // once that handling is over.
    void selectionRestored();
    // The view selects selectedMenuItemIndex at once: the controller moved
    // to another entry by itself (a jump to the trading page), and the
    // highlight changes together with the page.
    void selectionMoved();
    void accountsChanged();
    void messageCountChanged();
    // Child windows, each at most once.
    void runLoginPanel();
    void openMenuEditor();
    void openUserSettings();
    void openMessageCenter();
    void closeChildWindow();
    // The window closes (exit trading).
    void closeWindow();

private:
    void observeNotifications();
    void populateOutlineContents();
    void fillAccounts(std::optional<qint64> keepIndex);
    // The new page replaces the shown one, which is unloaded.
    void showPage(std::unique_ptr<MenuItemViewController> page, const IndexPath& indexPath);
    void unloadCurrentPage();
    void setMessageCount(qint64 count);
    void logoutCurrentUser();

    MenuManager* menuManager;
    AccountManager* accountManager;
    MenuItemViewManager* menuItemViewManager;
    NotificationCenter* notificationCenter;
    UserDefaultConfig* userDefaultConfig;
    MessageCenterManager* messageCenterManager;
    double messagePollInterval;
    AlertPresenter* alerts_ = AlertPresenter::headless();

    QStringList menuTitles_;
    QString selectedMenuTitle_;
    BaseNode::List treeContent_;
    bool isBuildMenu_ = false;
    std::unique_ptr<MenuItemViewController> currentShow_;
    std::optional<IndexPath> selectedMenuItemIndex_;
    QStringList accountTitles_;
    qint64 selectedAccountIndex_ = -1;
    qint64 messageCount_ = 0;
    std::unique_ptr<platform::RunLoopTimer> messageCenterTimer_;
    bool closed_ = false;
};

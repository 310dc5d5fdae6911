#include "shell/windows/MainWindowController.h"

#include "comm/recordset/ServerNumber.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaultConfig.h"
#include "login/AccountManager.h"
#include "platform/RunLoop.h"
#include "shell/menu/MenuManager.h"
#include "shell/messages/MessageCenterManager.h"
#include "shell/pages/MenuItemViewManager.h"
#include "shell/windows/SessionNotifications.h"

#include <QPointer>
#include <algorithm>
#include <unordered_set>

namespace {

// The market code of the position record a page hands over: a map with
// "marketCode", or an object with that property. The code is the server's
// text, read by its value ("5.000" is 5); none reads as 0.
qint64 marketCodeOf(const QVariant& position)
{
    QVariant code;
    if (position.canConvert<QVariantMap>())
        code = position.toMap().value(QStringLiteral("marketCode"));
    if (!code.isValid()) {
        if (const QObject* object = position.value<QObject*>())
            code = object->property("marketCode");
    }
    return servernumber::wholeValueOf(code).value_or(0);
}

} // namespace

MainWindowController::MainWindowController(Services services, QObject* parent)
    : QObject(parent)
    , menuManager(services.menuManager ? services.menuManager : MenuManager::getInstance())
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , menuItemViewManager(
          services.menuItemViewManager ? services.menuItemViewManager : MenuItemViewManager::getInstance())
    , notificationCenter(
          services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , userDefaultConfig(
          services.userDefaultConfig ? services.userDefaultConfig : UserDefaultConfig::getInstance())
    , messageCenterManager(
          services.messageCenterManager ? services.messageCenterManager : MessageCenterManager::getInstance())
    , messagePollInterval(services.messagePollInterval)
{
}

MainWindowController::~MainWindowController()
{
    notificationCenter->removeObserver(static_cast<QObject*>(this));
    platform::RunLoop::main()->cancelAll(this);
    if (menuItemViewManager->window() == alerts_)
        menuItemViewManager->setWindow(nullptr);
    if (currentShow_)
        currentShow_->unloadView();
}

void MainWindowController::setAlertPresenter(AlertPresenter* alerts)
{
    const bool dispatcherHadOurs = menuItemViewManager->window() == alerts_;
    alerts_ = alerts ? alerts : AlertPresenter::headless();
    if (dispatcherHadOurs)
        menuItemViewManager->setWindow(alerts_);
}

void MainWindowController::awakeFromNib()
{
    menuItemViewManager->setWindow(alerts_);
    setMessageCount(0);
    fillAccounts(std::nullopt);
    observeNotifications();
    populateOutlineContents();
}

void MainWindowController::observeNotifications()
{
    NotificationCenter* centre = notificationCenter;
    centre->removeObserver(static_cast<QObject*>(this));
    centre->addObserver(this, &MainWindowController::loginSucceed, sessionnotify::kLoginSucceeded);
    centre->addObserver(this, &MainWindowController::loginAccountChanged, pagenotify::kActiveAccountChanged);
    centre->addObserver(this, &MainWindowController::lockScreen, sessionnotify::kLockScreen);
    centre->addObserver(this, &MainWindowController::updateOutlineContents, pagenotify::kMenuChanged);
    centre->addObserver(
        this, &MainWindowController::updateMessageCenterCount, pagenotify::kMessageCountChanged);
    for (const bool buy : { true, false }) {
        centre->addObserver(static_cast<QObject*>(this),
            TypedNotificationCenter::Handler(
                [this, buy](const platform::Notification& n) { switchToTradeLater(n.userInfo, buy); }),
            buy ? pagenotify::kBuyPosition : pagenotify::kSellPosition);
    }
    centre->addObserver(this, &MainWindowController::appExit, pagenotify::kExitTrading);
    centre->addObserver(this, &MainWindowController::updateForAccountProtectOptionChange,
        pagenotify::kAccountProtectOptionChanged);
}

void MainWindowController::windowDidLoad()
{
    notificationCenter->postNotification(sessionnotify::kResetLockTimer);
    messageCenterTimer_ = std::make_unique<platform::RunLoopTimer>(messagePollInterval, true,
        platform::RunLoopModes::defaultMode(), [this] { refreshMessageCenterInfo(); });
    messageCenterTimer_->start();
    refreshMessageCenterInfo();
}

void MainWindowController::windowWillClose()
{
    if (closed_)
        return;
    closed_ = true;
    platform::RunLoop::main()->cancelAll(this);
    if (messageCenterTimer_)
        messageCenterTimer_->stop();
    notificationCenter->removeObserver(static_cast<QObject*>(this));
    emit closeChildWindow();
    unloadCurrentPage();
    treeContent_.clear();
    selectedMenuItemIndex_.reset();
    if (menuItemViewManager->window() == alerts_)
        menuItemViewManager->setWindow(nullptr);
}

// --- Menu and outline ---

bool MainWindowController::isEditButtonVisible() const
{
    return selectedMenuTitle_ == QString::fromUtf8(MenuManager::kMyTradeTitle);
}

bool MainWindowController::shouldSelectItem(const BaseNode& node)
{
    return !node.isGroup && !node.nodeTitle.isEmpty();
}

BaseNode::Ptr MainWindowController::findNode(const BaseNode::Ptr& node, qint64 linkId)
{
    // Depth first, each child before its own entries, entering groups only;
    // with a stack of its own, as a menu of any depth must not exhaust the
    // call stack, and entering each group once.
    std::vector<BaseNode::Ptr> pending { node };
    std::unordered_set<const BaseNode*> entered;
    while (!pending.empty()) {
        const BaseNode::Ptr next = std::move(pending.back());
        pending.pop_back();
        if (!next)
            continue;
        if (next->nodeLinkId == linkId)
            return next;
        if (!next->isGroup || next->isLeaf() || !entered.insert(next.get()).second)
            continue;
        const BaseNode::List children = next->children();
        pending.insert(pending.end(), children.rbegin(), children.rend());
    }
    return nullptr;
}

BaseNode::Ptr MainWindowController::nodeAt(const IndexPath& indexPath) const
{
    const BaseNode::List* level = &treeContent_;
    BaseNode::Ptr node;
    BaseNode::List children;
    for (qsizetype index : indexPath) {
        if (index < 0 || size_t(index) >= level->size())
            return nullptr;
        node = (*level)[size_t(index)];
        if (!node)
            return nullptr;
        children = node->isLeaf() ? BaseNode::List() : node->children();
        level = &children;
    }
    return node;
}

void MainWindowController::functionButtonSelected(int index)
{
    if (index < 0 || index >= menuTitles_.size())
        return;
    selectedMenuTitle_ = menuTitles_[index];
    userDefaultConfig->setSelectedMenuTitle(selectedMenuTitle_);
    updateOutlineContents();
}

void MainWindowController::populateOutlineContents()
{
    menuTitles_ = menuManager->menuItemsArray();
    const std::optional<QString> stored = userDefaultConfig->selectedMenuTitle();
    if (stored && menuTitles_.contains(*stored)) {
        selectedMenuTitle_ = *stored;
    } else if (!menuTitles_.isEmpty()) {
        selectedMenuTitle_ = menuTitles_.front();
        userDefaultConfig->setSelectedMenuTitle(selectedMenuTitle_);
    } else {
        selectedMenuTitle_.clear();
    }
    updateOutlineContents();
}

void MainWindowController::updateOutlineContents()
{
    if (closed_)
        return;
    isBuildMenu_ = true;
    treeContent_.clear();
    if (!menuTitles_.contains(selectedMenuTitle_))
        menuTitles_ = menuManager->menuItemsArray();
    // Hidden entries are left out of the user's own menu only.
    const bool userMenu = !menuTitles_.isEmpty() && selectedMenuTitle_ == menuTitles_.back();
    if (const RDOMenuInfo::Ptr menu = menuManager->getTradeMenuInfo(selectedMenuTitle_))
        treeContent_ = buildMenuOutline(*menu, userMenu, *menuManager);
    isBuildMenu_ = false;

    // The page shown stays when its entry is still in the outline.
    if (currentShow_ && currentShow_->menuInfo()) {
        const QString& shownId = currentShow_->menuInfo()->nodeId;
        if (auto path = findIndexPath(treeContent_, [&](const BaseNode& n) { return n.nodeId == shownId; })) {
            selectedMenuItemIndex_ = path;
            emit outlineChanged();
            return;
        }
    }
    unloadCurrentPage();
    selectedMenuItemIndex_.reset();
    emit outlineChanged();
    if (!treeContent_.empty())
        outlineViewSelectionDidChange(IndexPath { 0 });
}

// --- Pages ---

void MainWindowController::outlineViewSelectionDidChange(const IndexPath& indexPath)
{
    if (isBuildMenu_ || closed_ || indexPath == selectedMenuItemIndex_)
        return;
    const BaseNode::Ptr node = nodeAt(indexPath);
    if (!node)
        return;
    if (!shouldSelectItem(*node)) {
        emit selectionRestored();
        return;
    }
    // The exit question, the not-supported message, or a new page.
    std::unique_ptr<MenuItemViewController> page = menuItemViewManager->getViewController(node);
    if (!page) {
        emit selectionRestored();
        return;
    }
    showPage(std::move(page), indexPath);
}

void MainWindowController::showPage(std::unique_ptr<MenuItemViewController> page, const IndexPath& indexPath)
{
    std::unique_ptr<MenuItemViewController> previous = std::move(currentShow_);
    currentShow_ = std::move(page);
    selectedMenuItemIndex_ = indexPath;
    if (previous)
        previous->unloadView();
    emit pageChanged();
}

void MainWindowController::unloadCurrentPage()
{
    if (!currentShow_)
        return;
    std::unique_ptr<MenuItemViewController> previous = std::move(currentShow_);
    previous->unloadView();
    emit pageChanged();
}

void MainWindowController::switchToTradeLater(const QVariantMap& userInfo, bool buy)
{
    // The page that asks is still inside its own handler (a combo box, a
    // double click): it is replaced once that handler has returned.
    platform::RunLoop::main()->perform(
        platform::RunLoopModes::defaultMode(),
        [this, userInfo, buy] {
            if (!closed_)
                switchToTrade(userInfo, buy);
        },
        this, this);
}

void MainWindowController::switchToTrade(const QVariantMap& userInfo, bool buy)
{
    const bool connect = marketCodeOf(userInfo.value(QString::fromLatin1(pagenotify::kPositionDetailKey)))
        == kConnectMarketCode;
    const qint64 linkId
        = connect ? (buy ? kConnectBuyLinkId : kConnectSellLinkId) : (buy ? kBuyLinkId : kSellLinkId);
    BaseNode::Ptr node;
    for (const BaseNode::Ptr& top : treeContent_) {
        if ((node = findNode(top, linkId)))
            break;
    }
    // No entry of the menu opens that page (the Stock Connect pages have
    // none): nothing happens.
    if (!node)
        return;
    const std::optional<IndexPath> path = node->indexPathInArray(treeContent_);
    if (!path)
        return;
    std::unique_ptr<MenuItemViewController> page = menuItemViewManager->getViewController(node);
    if (!page)
        return;
    // The highlight follows the page in the same pass: left for later, a
    // click that comes first would land on the old entry, which the outline
    // still shows as selected, and open nothing.
    showPage(std::move(page), *path);
    emit selectionMoved();
    notificationCenter->postNotificationName(
        pagenotify::kFillTradePage, QVariant::fromValue(static_cast<QObject*>(this)), userInfo);
}

// --- Accounts ---

void MainWindowController::fillAccounts(std::optional<qint64> keepIndex)
{
    accountTitles_ = accountManager->getActiveAccountsInfo();
    qint64 index = keepIndex ? *keepIndex : accountManager->activeAccountIndex();
    if (index < 0 || index >= accountTitles_.size())
        index = accountTitles_.isEmpty() ? -1 : 0;
    selectedAccountIndex_ = index;
    emit accountsChanged();
}

void MainWindowController::acitiveAccountChanged(qint64 index)
{
    if (index < 0 || index >= accountTitles_.size())
        return;
    accountManager->setActiveLoginAccount(index);
    selectedAccountIndex_ = index;
    if (const auto account = accountManager->getActiveLoginAccount(); account && account->organizationCode)
        userDefaultConfig->setOrgId(*account->organizationCode);
    emit accountsChanged();
    notificationCenter->postNotification(pagenotify::kActiveAccountChanged);
}

void MainWindowController::accountPButtonSelected(int item)
{
    if (item == kNewUserLogin)
        emit runLoginPanel();
    else if (item == kLogoutCurrentUser)
        logoutCurrentUser();
}

void MainWindowController::logoutCurrentUser()
{
    if (accountTitles_.size() > 1) {
        accountManager->logoutCurrentActiveAccount();
        fillAccounts(0);
        acitiveAccountChanged(0);
        return;
    }
    if (accountTitles_.isEmpty())
        return;
    AlertRequest request = AlertRequest::tip(QString::fromUtf8(kLogoutLastAccountText));
    request.alternateButton = QStringLiteral("取消");
    alerts_->runAlert(request, [self = QPointer<MainWindowController>(this)](int answer) {
        if (answer != 1 || !self || self->closed_)
            return;
        self->unloadCurrentPage();
        self->accountManager->logoutCurrentActiveAccount();
        self->notificationCenter->postNotification(
            sessionnotify::kLogout, QVariant::fromValue(static_cast<QObject*>(self.data())));
    });
}

void MainWindowController::lockScreenButtonClicked()
{
    notificationCenter->postNotification(sessionnotify::kLockScreen);
}

void MainWindowController::loginSucceed(const platform::Notification& notification)
{
    const auto account = notification.object.value<std::shared_ptr<Account>>();
    if (!account)
        return;
    // By the account itself, not its line: two numbers of one customer at
    // one branch show the same line while account protection is on.
    const auto& accounts = accountManager->loginAccounts();
    const auto at = std::ranges::find(accounts, account);
    const qint64 index = at != accounts.end() ? qint64(at - accounts.begin()) : -1;
    if (index >= 0)
        accountManager->setActiveLoginAccount(index);
    fillAccounts(index >= 0 ? std::optional<qint64>(index) : std::nullopt);
    notificationCenter->postNotification(pagenotify::kActiveAccountChanged, QVariant::fromValue(account));
}

void MainWindowController::loginAccountChanged()
{
    fillAccounts(std::nullopt);
    // The badge counts the new account's messages before its list is asked
    // for: a list that fails or is slow leaves nothing of the previous one.
    setMessageCount(messageCenterManager->getUnreadMessageCount());
    refreshMessageCenterInfo();
}

void MainWindowController::updateForAccountProtectOptionChange()
{
    fillAccounts(selectedAccountIndex_);
}

void MainWindowController::lockScreen()
{
    // The screen lock hides what is left; the child windows do not outlive it.
    emit closeChildWindow();
}

void MainWindowController::appExit()
{
    emit closeWindow();
}

// --- Messages ---

QString MainWindowController::badgeText(qint64 count)
{
    if (count <= 0)
        return QString();
    return count > 99 ? QStringLiteral("99+") : QString::number(count);
}

QString MainWindowController::badgeImage(qint64 count)
{
    if (count <= 0)
        return QString();
    if (count <= 9)
        return QStringLiteral("titleBar_Image_public_notification@16*16.png");
    if (count <= 99)
        return QStringLiteral("titleBar_Image_public_notification@20*16.png");
    return QStringLiteral("titleBar_Image_public_notification@24*16.png");
}

void MainWindowController::setMessageCount(qint64 count)
{
    messageCount_ = count;
    emit messageCountChanged();
}

void MainWindowController::refreshMessageCenterInfo()
{
    if (!closed_)
        messageCenterManager->requestMessageInfoList(this);
}

bool MainWindowController::isMessagePollActive() const
{
    return messageCenterTimer_ && messageCenterTimer_->isActive();
}

void MainWindowController::messageCenterList(
    DataModel*, const QString& requestHandle, const std::vector<RDOMessageInfo>& messages)
{
    // Counted after the merge: the reply is filed under the customer who
    // asked, who may no longer be the active one.
    messageCenterManager->updateMessageCenterInfo(messages, requestHandle);
    setMessageCount(messageCenterManager->getUnreadMessageCount());
}

bool MainWindowController::messageCenterList(DataModel*, const QString& requestHandle, const CSError&)
{
    // The badge stays; the store forgets the request.
    messageCenterManager->updateMessageCenterInfo(std::nullopt, requestHandle);
    return true;
}

void MainWindowController::updateMessageCenterCount()
{
    setMessageCount(messageCenterManager->getUnreadMessageCount());
}

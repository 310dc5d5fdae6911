#include "shell/session/ui/PlaceholderMainWindow.h"

#include "core/NotificationCenter.h"
#include "login/AccountManager.h"
#include "shell/windows/SessionNotifications.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PlaceholderMainWindow::PlaceholderMainWindow(AccountManager* accounts, NotificationCenter* center)
    : accountManager(accounts ? accounts : AccountManager::getInstance())
    , notificationCenter(center ? center : NotificationCenter::getInstance())
    , locker_(ScreenLockController::Services { accountManager, notificationCenter })
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(QStringLiteral("Lumora"));
    accounts_ = new QLabel(this);
    accounts_->setObjectName(QStringLiteral("accounts"));
    auto* logout = new QPushButton(QStringLiteral("注销当前用户"), this);
    logout->setObjectName(QStringLiteral("logoutButton"));
    auto* lock = new QPushButton(QStringLiteral("锁定"), this);
    lock->setObjectName(QStringLiteral("lockButton"));
    auto* exit = new QPushButton(QStringLiteral("退出交易"), this);
    exit->setObjectName(QStringLiteral("exitButton"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(logout);
    buttons->addWidget(lock);
    buttons->addStretch();
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(accounts_, 1);
    layout->addLayout(buttons);
    setMinimumSize(860, 560);

    connect(logout, &QPushButton::clicked, this, &PlaceholderMainWindow::logoutCurrent);
    connect(lock, &QPushButton::clicked, this,
        [this] { notificationCenter->postNotification(sessionnotify::kLockScreen); });
    connect(exit, &QPushButton::clicked, this, &PlaceholderMainWindow::exitTradingRequested);
    for (int32_t type : { sessionnotify::kLoginSucceeded, int32_t(2) })
        notificationCenter->addObserver(static_cast<QObject*>(this), [this] { refresh(); }, type);
    refresh();
}

PlaceholderMainWindow::~PlaceholderMainWindow() = default;

void PlaceholderMainWindow::showEvent(QShowEvent* event)
{
    ui::Window::showEvent(event);
    if (loaded_)
        return;
    loaded_ = true;
    // The idle lock starts with the session's first window.
    notificationCenter->postNotification(sessionnotify::kResetLockTimer);
}

void PlaceholderMainWindow::refresh()
{
    QStringList lines;
    for (const AccountManager::AccountPtr& account : accountManager->loginAccounts())
        lines << QStringLiteral("%1  %2").arg(account->customerNumber, account->name);
    accounts_->setText(lines.isEmpty() ? QString() : QStringLiteral("已登录：\n") + lines.join('\n'));
}

void PlaceholderMainWindow::logoutCurrent()
{
    accountManager->logoutCurrentActiveAccount();
    if (accountManager->loginAccounts().empty()) {
        notificationCenter->postNotification(sessionnotify::kLogout);
        return;
    }
    accountManager->setActiveLoginAccount(qint64(accountManager->loginAccounts().size()) - 1);
    notificationCenter->postNotification(2);
    refresh();
}

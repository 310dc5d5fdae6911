#include "shell/windows/ScreenLockController.h"

#include "core/NotificationCenter.h"
#include "login/AccountManager.h"
#include "shell/windows/SessionNotifications.h"

ScreenLockController::ScreenLockController(Services services, QObject* parent)
    : QObject(parent)
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , lockEndsTheSession(std::move(services.lockEndsTheSession))
{
    notificationCenter->addObserver(this, &ScreenLockController::lockScreen, sessionnotify::kLockScreen);
    notificationCenter->addObserver(
        static_cast<QObject*>(this),
        [this](const platform::Notification& n) { doUnLockScreen(n.object.toULongLong() == 1); },
        sessionnotify::kUnlockResult);
}

ScreenLockController::~ScreenLockController() { notificationCenter->removeObserver(this); }

void ScreenLockController::windowWillClose() { notificationCenter->removeObserver(this); }

void ScreenLockController::lockScreen()
{
    if (locked_ || (lockEndsTheSession && lockEndsTheSession()))
        return;
    locked_ = true;
    notificationCenter->postNotification(sessionnotify::kCloseMessageBoxes);
    // The lock closes the modal windows it finds, among them an unlock window
    // run as a check by the settings: its result answers its own caller, not
    // this lock, whose unlock window has only just opened.
    lockingDown_ = true;
    emit locked();
    lockingDown_ = false;
}

void ScreenLockController::doUnLockScreen(bool confirmed)
{
    if (!locked_ || lockingDown_)
        return;
    locked_ = false;
    if (confirmed) {
        emit unlocked();
        notificationCenter->postNotification(sessionnotify::kResetLockTimer);
        return;
    }
    // Every account, not only the active one: the session ends here and no
    // logged-in account may outlive a failed unlock.
    accountManager->logoutAllAccount();
    emit loggedOut();
    notificationCenter->postNotification(sessionnotify::kLogout);
}

#include "shell/windows/UnlockScreenWindowController.h"

#include "core/NotificationCenter.h"
#include "login/AccountManager.h"
#include "login/LoginManager.h"
#include "shell/pages/MenuItemViewController.h"
#include "shell/windows/PasswordFormatter.h"
#include "shell/windows/SessionNotifications.h"

#include <QPointer>

namespace {

const QString kIdentifyChannel = QStringLiteral("identify");

} // namespace

UnlockScreenWindowController::UnlockScreenWindowController(Services services, QObject* parent)
    : QObject(parent)
    , accountManager(services.accountManager ? services.accountManager : AccountManager::getInstance())
    , loginManager(services.loginManager ? services.loginManager : LoginManager::getInstance())
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
    , formatter_(new PasswordFormatter(this))
{
    notificationCenter->addObserver(
        static_cast<QObject*>(this), [this] { loginAccountChanged(); }, pagenotify::kActiveAccountChanged);
    // The window is open to confirm the shown account's password, so its
    // confirmation counts from the start; once a check ended (cancelled,
    // refused, the window closed, another account shown) no answer counts
    // until the next press.
    askedFor_.ask(kIdentifyChannel, activeCustomerNumber());
}

UnlockScreenWindowController::~UnlockScreenWindowController()
{
    notificationCenter->removeObserver(static_cast<QObject*>(this));
    if (checking_)
        loginManager->cancelIdentifyLogin();
    wipeText(passwordText_);
}

QString UnlockScreenWindowController::maskedCustomerNumber(const QString& number)
{
    if (number.size() >= 9)
        return number.left(3) + QStringLiteral("******") + number.mid(9);
    // Shorter numbers keep their first three characters only.
    if (number.size() > 3)
        return number.left(3) + QString(number.size() - 3, QLatin1Char('*'));
    return number;
}

QValidator* UnlockScreenWindowController::passwordFormatter() const
{
    return formatter_;
}

QString UnlockScreenWindowController::customerNumberText() const
{
    const AccountManager::AccountPtr account = accountManager->getActiveLoginAccount();
    return account ? maskedCustomerNumber(account->customerNumber) : QString();
}

QString UnlockScreenWindowController::activeCustomerNumber() const
{
    const AccountManager::AccountPtr account = accountManager->getActiveLoginAccount();
    return account ? account->customerNumber : QString();
}

void UnlockScreenWindowController::loginAccountChanged()
{
    // The window now shows another account: a check running for the previous
    // one ends unanswered, and its password goes.
    if (closed_)
        return;
    askedFor_.forgetAll();
    if (checking_)
        loginManager->cancelIdentifyLogin();
    wipeText(passwordText_);
    stopProgress();
}

void UnlockScreenWindowController::setPassword(const QString& password)
{
    wipeText(passwordText_);
    passwordText_ = password;
}

void UnlockScreenWindowController::unlockButtonClicked(bool on)
{
    if (!on) {
        askedFor_.settle(kIdentifyChannel);
        loginManager->cancelIdentifyLogin();
        stopProgress();
        return;
    }
    if (checking_)
        return;
    const AccountManager::AccountPtr account = accountManager->getActiveLoginAccount();
    if (!account) {
        alerts_->runAlert(AlertRequest::error(QStringLiteral("没有已登录的账户")), nullptr);
        emit changed();
        return;
    }
    startProgress();
    askedFor_.ask(kIdentifyChannel, account->customerNumber);
    loginManager->requestIdentifyLogin(
        this, account->customerNumber, passwordText_, account->getOrgIdFromCommonUrl().value_or(QString()));
}

void UnlockScreenWindowController::startProgress()
{
    checking_ = true;
    emit changed();
}

void UnlockScreenWindowController::stopProgress()
{
    checking_ = false;
    emit changed();
}

void UnlockScreenWindowController::exitButtonClicked()
{
    configFlag_ = 0;
    emit closeRequested();
}

quint64 UnlockScreenWindowController::windowWillClose()
{
    if (closed_)
        return configFlag_;
    closed_ = true;
    askedFor_.forgetAll();
    if (checking_) {
        loginManager->cancelIdentifyLogin();
        checking_ = false;
    }
    wipeText(passwordText_);
    notificationCenter->postNotification(sessionnotify::kUnlockResult, QVariant(qulonglong(configFlag_)));
    return configFlag_;
}

void UnlockScreenWindowController::identifyLogin(DataModel*, const QString&, const RDOAccount&)
{
    // Only the answer to the check still running, for the account shown.
    if (!askedFor_.take(kIdentifyChannel, activeCustomerNumber()))
        return;
    stopProgress();
    wipeText(passwordText_);
    configFlag_ = 1;
    emit closeRequested();
}

bool UnlockScreenWindowController::identifyLogin(DataModel*, const QString&, const CSError& error)
{
    if (!askedFor_.take(kIdentifyChannel, activeCustomerNumber()))
        return true;
    stopProgress();
    // Another try starts in the password field once the box is read.
    alerts_->runAlert(AlertRequest::error(error.domain), [self = QPointer(this)](int) {
        if (self)
            emit self->passwordFocusRequested();
    });
    return true;
}

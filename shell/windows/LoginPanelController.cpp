#include "shell/windows/LoginPanelController.h"

#include "core/NotificationCenter.h"
#include "shell/windows/SessionNotifications.h"

LoginPanelController::LoginPanelController(LoginViewControllerServices services, QObject* parent)
    : QObject(parent)
    , form_(std::make_unique<LoginViewController>(services))
    , notificationCenter(services.notificationCenter ? services.notificationCenter : NotificationCenter::getInstance())
{
    notificationCenter->addObserver(this, &LoginPanelController::loginSucceed, sessionnotify::kLoginSucceeded);
    // The session is up, so the form is usable at once.
    form_->appLoginComplete();
}

LoginPanelController::~LoginPanelController() { notificationCenter->removeObserver(this); }

void LoginPanelController::loginSucceed()
{
    if (stopped_)
        return;
    stopped_ = true;
    form_->LoginComplete();
    emit stopModal(form_->loginSucceeded() ? 1 : 0);
}

void LoginPanelController::windowWillClose()
{
    if (form_->isBusy())
        form_->cancelLogin();
    if (stopped_)
        return;
    stopped_ = true;
    emit stopModal(0);
}
